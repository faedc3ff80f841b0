// The native host's event sources: every descriptor the program waits on (the teardown
// signal's pipe, and whatever a feature registers, such as a netlink socket) is watched
// by one poll beside the timers, in the event loop and in DoEvents alike, in the spirit
// of libuv's uv_poll_start. The logic never sees a descriptor: a source's callback turns
// what it reads into one of the program's own events.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace vt::posix {

class EventLoop {
 public:
  using SourceId = int;

  // From now on `onReady` runs whenever `fd` is readable or has hung up; it must read
  // what is there, or it runs again at once.
  SourceId Watch(int fd, std::function<void()> onReady);
  void Unwatch(SourceId source);

  // Waits at most `timeoutMs` (0: only looks) for a source to become ready, then runs
  // the callback of each one that is. A callback may watch and unwatch sources.
  void Serve(std::int64_t timeoutMs);

 private:
  struct Source {
    SourceId id;
    int fd;
    std::function<void()> onReady;
  };
  std::vector<Source> sources_;
  SourceId nextId_ = 1;
};

}  // namespace vt::posix
