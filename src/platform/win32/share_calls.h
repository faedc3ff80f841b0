// The Windows host's calls that may reach a share's server (the listing of a drive's
// root, the connect), each on a thread of its own: a server that stops answering holds
// up that thread for the SMB client's timeouts, never the window's. The window's thread
// waits for the call's end beside its messages and event sources, so it repaints,
// answers and runs its timers meanwhile. A call past its deadline is left to return by
// itself; until it has, the drive takes no other call.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/share_call_answer.h"
#include "platform/win32/event_sources.h"

namespace vt::win32 {

class ShareCalls {
 public:
  using Answer = ShareCallAnswer;

  explicit ShareCalls(EventSources& sources) : sources_(sources) {}

  // Runs `work` on a thread of its own for `drive` and calls `serve(maxMs)` (which
  // waits at most that long for a message or a source and serves what came) until the
  // answer comes or `deadlineMs` has passed. Nothing when it did not answer in time, or
  // when an earlier call on the drive has not returned yet (then `work` is not run).
  std::optional<Answer> Run(const std::wstring& drive, std::int64_t deadlineMs,
                            std::function<Answer()> work, const std::function<void(DWORD)>& serve);

  // Whether a call past its deadline has still not returned.
  bool AnyOutstanding() const;

 private:
  struct Call;
  static DWORD WINAPI CallThread(void* call);
  EventSources& sources_;
  std::map<std::wstring, std::shared_ptr<Call>> calls_;  // by drive, upper case
};

}  // namespace vt::win32
