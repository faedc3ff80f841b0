#include "platform/posix/system/event_loop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/system/system_error.h"

namespace vt::posix {

EventLoop::SourceId EventLoop::Watch(int fd, std::function<void()> onReady) {
  sources_.push_back({nextId_, fd, std::move(onReady)});
  return nextId_++;
}

void EventLoop::Unwatch(SourceId source) {
  sources_.erase(std::remove_if(sources_.begin(), sources_.end(),
                                [source](const Source& s) { return s.id == source; }),
                 sources_.end());
}

void EventLoop::Serve(std::int64_t timeoutMs) {
  std::vector<pollfd> watched;
  std::vector<SourceId> ids;
  for (const Source& source : sources_) {
    watched.push_back({source.fd, POLLIN, 0});
    ids.push_back(source.id);
  }
  const int ready = ::poll(watched.data(), watched.size(),
                           static_cast<int>(std::clamp<std::int64_t>(timeoutMs, 0, INT32_MAX)));
  if (ready < 0 && errno == EINTR) return;  // a signal: its own source tells
  ThrowErrnoIf(ready < 0, L"poll");
  for (std::size_t i = 0; i < watched.size(); ++i) {
    if (watched[i].revents == 0) continue;
    // A descriptor closed behind the loop's back is a fault of the program's own.
    if ((watched[i].revents & POLLNVAL) != 0) {
      errno = EBADF;
      ThrowErrnoIf(true, L"poll");
    }
    // Looked up again: an earlier callback may have unwatched this source.
    auto source = std::find_if(sources_.begin(), sources_.end(),
                               [&](const Source& s) { return s.id == ids[i]; });
    if (source == sources_.end()) continue;
    const std::function<void()> onReady = source->onReady;
    onReady();
  }
}

}  // namespace vt::posix
