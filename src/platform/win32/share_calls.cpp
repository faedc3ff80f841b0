#include "platform/win32/share_calls.h"

#include <algorithm>

#include "platform/win32/system_error.h"
#include "portable/case_fold.h"

namespace vt::win32 {

struct ShareCalls::Call {
  std::function<Answer()> work;
  Answer answer;          // set by the call's thread before it signals `done`
  KernelObject done;      // manual reset: signalled for good once the call returned
  bool returned = false;  // the window's thread has seen `done`
};

namespace {

bool Signalled(HANDLE event) {
  return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
}

}  // namespace

DWORD WINAPI ShareCalls::CallThread(void* parameter) {
  // The thread's own share of the call, handed over by Run.
  const std::unique_ptr<std::shared_ptr<Call>> owner(
      static_cast<std::shared_ptr<Call>*>(parameter));
  Call& call = **owner;
  try {
    call.answer = call.work();
  } catch (...) {  // a call that cannot be made reads as unreadable, or failed
    call.answer = {DriveRoot::Unreadable, {GeneralFailure, L"the call could not be made"}};
  }
  ::SetEvent(call.done.get());
  return 0;
}

std::optional<ShareCalls::Answer> ShareCalls::Run(const std::wstring& drive,
                                                  std::int64_t deadlineMs,
                                                  std::function<Answer()> work,
                                                  const std::function<void(DWORD)>& serve) {
  const std::wstring key = UpperCaseText(drive);
  if (auto earlier = calls_.find(key); earlier != calls_.end()) {
    if (!Signalled(earlier->second->done.get())) return std::nullopt;
    calls_.erase(earlier);
  }

  auto call = std::make_shared<Call>();
  call->work = std::move(work);
  call->done.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ThrowLastErrorIf(!call->done.valid(), L"CreateEventW");
  auto* threadShare = new std::shared_ptr<Call>(call);
  const KernelObject thread(::CreateThread(nullptr, 0, &CallThread, threadShare, 0, nullptr));
  if (!thread.valid()) {
    const DWORD error = ::GetLastError();
    delete threadShare;
    ThrowSystemError(L"CreateThread", error);
  }
  calls_[key] = call;

  // The end of the call is a source of the wait for as long as the window's thread
  // waits for it.
  const HANDLE done = call->done.get();
  sources_.Watch(done, [call] { call->returned = true; });
  struct Unwatch {
    EventSources& sources;
    HANDLE done;
    ~Unwatch() { sources.Unwatch(done); }
  } unwatch{sources_, done};
  const DWORD deadline = static_cast<DWORD>(std::clamp<std::int64_t>(deadlineMs, 0, INFINITE - 1));
  const DWORD start = ::GetTickCount();  // differences stay right across its wrap
  while (!call->returned && !Signalled(done)) {
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= deadline) return std::nullopt;
    serve(deadline - elapsed);
  }
  calls_.erase(key);
  return call->answer;
}

bool ShareCalls::AnyOutstanding() const {
  return std::any_of(calls_.begin(), calls_.end(),
                     [](const auto& entry) { return !Signalled(entry.second->done.get()); });
}

}  // namespace vt::win32
