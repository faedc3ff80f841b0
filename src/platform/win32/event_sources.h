// The Windows host's event sources: event handles the message loop waits for beside its
// messages (MsgWaitForMultipleObjectsEx), served in the loop and in DoEvents alike, in
// the spirit of Chromium's ObjectWatcher. The logic never sees a handle: a source's
// callback turns what happened into one of the program's own events.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <functional>
#include <vector>

namespace vt::win32 {

class EventSources {
 public:
  // From now on `onReady` runs whenever `event` is signalled. An auto-reset event is
  // reset by the wait; any other handle must be made unsignalled by the callback (or
  // unwatched), or it runs again at once.
  void Watch(HANDLE event, std::function<void()> onReady);
  void Unwatch(HANDLE event);

  // Waits until a message comes or a source is signalled (at most `timeoutMs`), and
  // serves that source.
  void WaitForMessageOrSource(DWORD timeoutMs = INFINITE);
  // Serves every source that is signalled now, without waiting.
  void ServeSignalled();

 private:
  void Serve(HANDLE event);

  std::vector<HANDLE> handles_;
  std::vector<std::function<void()>> callbacks_;
};

}  // namespace vt::win32
