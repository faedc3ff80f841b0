// The native host's calls that may reach a share's server (the listing of a drive's
// root, the connect), each on a thread of its own so that a server that never answers
// (a hard or FUSE mount whose server has gone) holds up only that thread. Its end is
// told through a pipe the event loop watches, so the window's events, timers and
// signals are served while it runs. A call past its deadline is left to return by
// itself; until it has, the drive takes no other call.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/posix/system/event_loop.h"
#include "platform/share_call_answer.h"

namespace vt::posix {

class ShareCalls {
 public:
  using Answer = ShareCallAnswer;

  explicit ShareCalls(EventLoop& loop) : loop_(loop) {}

  // Runs `work` on a thread of its own for `drive` and calls `serve(maxMs)` (which
  // waits at most that long for events and serves them) until the answer comes or
  // `deadlineMs` has passed. Nothing when it did not answer in time, or when an earlier
  // call on the drive has not returned yet (then `work` is not run at all).
  std::optional<Answer> Run(const std::wstring& drive, std::int64_t deadlineMs,
                            std::function<Answer()> work,
                            const std::function<void(std::int64_t)>& serve);

 private:
  struct Call;
  EventLoop& loop_;
  std::map<std::wstring, std::shared_ptr<Call>> calls_;  // by drive, upper case
};

}  // namespace vt::posix
