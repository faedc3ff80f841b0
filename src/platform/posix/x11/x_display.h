// The X server the visualisation's windows are on (DISPLAY, XAUTHORITY), as the native
// host's window lookup needs it: a plain XCB client, connected once and kept. A lookup
// finds a top-level window by its whole title, compared without regard to letter case
// as FindWindow compares titles; its requests go in a few batches, each sent together
// and waited for once, and never longer than a deadline. A busy or stopped server holds
// up nothing: the connection is made in the background, and while a batch is not
// answered no lookup writes another (so no write can wait on a full socket).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace vt::posix {

class XDisplay {
 public:
  // The display DISPLAY names, connected in the background; nothing when there is none
  // to open, and then `problem` says why (empty when DISPLAY is not set at all).
  static std::unique_ptr<XDisplay> Open(std::string& problem);
  ~XDisplay();
  XDisplay(const XDisplay&) = delete;
  XDisplay& operator=(const XDisplay&) = delete;

  // The display's name, as DISPLAY gives it.
  const std::string& Name() const;
  // The connection's descriptor, to watch: it becomes readable when the server sends
  // something or goes away; -1 while the connection is being made.
  int Descriptor();
  // Takes what the server sent; false once the connection has broken (the server went
  // away), from then on for good.
  bool Serve();

  // A top-level window whose title is `title`; none, also once the connection broke (the
  // server went away); or no answer (the connection is not made yet, or the server did
  // not answer this lookup or an earlier one by the deadline). Top-level windows
  // are the root's children (Wine's unmanaged and hidden windows among them), the window
  // manager's clients (_NET_CLIENT_LIST, or else the windows with WM_STATE at most two
  // levels under the root, as ICCCM finds them), and the children of Wine's virtual
  // desktop ("NAME - Wine desktop"). A window's title is its _NET_WM_NAME, else its
  // WM_NAME.
  WindowSearch FindTopLevel(const std::wstring& title);

 private:
  struct Connection;
  explicit XDisplay(std::unique_ptr<Connection> connection);
  std::unique_ptr<Connection> connection_;
};

}  // namespace vt::posix
