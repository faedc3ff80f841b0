#include "platform/win32/event_sources.h"

#include <algorithm>

#include "platform/win32/system_error.h"

namespace vt::win32 {

void EventSources::Watch(HANDLE event, std::function<void()> onReady) {
  // One place of the wait is the message queue's.
  if (handles_.size() + 1 >= MAXIMUM_WAIT_OBJECTS)
    ThrowSystemError(L"EventSources::Watch", ERROR_TOO_MANY_POSTS);
  handles_.push_back(event);
  callbacks_.push_back(std::move(onReady));
}

void EventSources::Unwatch(HANDLE event) {
  const auto found = std::find(handles_.begin(), handles_.end(), event);
  if (found == handles_.end()) return;
  callbacks_.erase(callbacks_.begin() + (found - handles_.begin()));
  handles_.erase(found);
}

void EventSources::Serve(HANDLE event) {
  const auto found = std::find(handles_.begin(), handles_.end(), event);
  if (found == handles_.end()) return;  // unwatched by an earlier callback
  const std::function<void()> onReady =
      callbacks_[static_cast<std::size_t>(found - handles_.begin())];
  onReady();
}

void EventSources::WaitForMessageOrSource(DWORD timeoutMs) {
  const DWORD count = static_cast<DWORD>(handles_.size());
  const DWORD woke =
      ::MsgWaitForMultipleObjectsEx(count, handles_.empty() ? nullptr : handles_.data(), timeoutMs,
                                    QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  ThrowLastErrorIf(woke == WAIT_FAILED, L"MsgWaitForMultipleObjectsEx");
  // The wait has reset an auto-reset event it reports: that source is served now.
  if (woke < WAIT_OBJECT_0 + count) Serve(handles_[woke - WAIT_OBJECT_0]);
}

void EventSources::ServeSignalled() {
  const std::vector<HANDLE> watched = handles_;
  for (HANDLE event : watched) {
    const DWORD state = ::WaitForSingleObject(event, 0);
    ThrowLastErrorIf(state == WAIT_FAILED, L"WaitForSingleObject");
    if (state == WAIT_OBJECT_0) Serve(event);
  }
}

}  // namespace vt::win32
