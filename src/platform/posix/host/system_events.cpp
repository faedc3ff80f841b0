#include "platform/posix/host/posix_platform.h"

namespace vt::posix {

// The network's changes and the resumes from sleep, told as the program's own events.
SystemResult PosixPlatform::WatchNetworkAndPower() {
  return watch_.Start(loop_, [this](SystemEvent event) { events_->OnSystemEvent(event); });
}

}  // namespace vt::posix
