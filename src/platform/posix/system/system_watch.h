// What the native host watches for the program once it asks: network changes on a
// NETLINK_ROUTE socket, and resumes from sleep by the kernel's clocks. Both are sources
// of the event loop; what they see reaches the program as its own events. No D-Bus, no
// library.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/posix/system/descriptor.h"
#include "platform/posix/system/event_loop.h"

namespace vt::posix {

// What the network leaves after a change, as one text: the addresses, the links that
// are up, the default routes. Two changes that leave the same text changed nothing that
// matters (an address announced again, an IPv6 lifetime refreshed).
std::string NetworkSnapshot();

class SystemWatch {
 public:
  // Starts both watches; `tell` gets each network change that changes the snapshot and
  // each resume. What cannot be set up is said, naming the call (the other watch runs).
  SystemResult Start(EventLoop& loop, std::function<void(SystemEvent)> tell);

 private:
  SystemResult StartNetwork(EventLoop& loop);
  SystemResult StartResume(EventLoop& loop);
  void OnNetworkReady();
  void OnClockReady();
  bool ArmClock();

  std::function<void(SystemEvent)> tell_;
  Descriptor netlink_;
  Descriptor clock_;
  std::string network_;
  long long suspendedNs_ = 0;
};

}  // namespace vt::posix
