// Address changes on Windows: an overlapped WSAIoctl(SIO_ADDRESS_LIST_CHANGE) on a socket
// of each address family, its event a source of the message loop, armed again after
// each completion. A completion that leaves the list of addresses as it was (an address
// announced again) is not told. Calls that exist on Windows XP only.
#pragma once

#include <winsock2.h>

#include <functional>
#include <string>

#include "platform/platform.h"
#include "platform/win32/event_sources.h"

namespace vt::win32 {

class NetworkWatch {
 public:
  NetworkWatch() = default;
  NetworkWatch(const NetworkWatch&) = delete;
  NetworkWatch& operator=(const NetworkWatch&) = delete;
  ~NetworkWatch();

  // Starts watching; `changed` runs on each change that changes the address list. A
  // failure names the call (the IPv6 socket may be missing, as on XP without IPv6: no
  // failure).
  SystemResult Start(EventSources& sources, std::function<void()> changed);

 private:
  struct Family {
    SOCKET socket = INVALID_SOCKET;
    WSAEVENT event = WSA_INVALID_EVENT;
    WSAOVERLAPPED overlapped{};
    std::string addresses;
  };

  SystemResult Open(Family& family, int addressFamily);
  SystemResult Arm(Family& family);
  void OnCompleted(Family& family);

  bool started_ = false;
  Family families_[2];
  std::function<void()> changed_;
};

}  // namespace vt::win32
