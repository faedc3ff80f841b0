// The one interface between the program's logic and the operating system.
//
// Every operation is one call the program relies on, with the outcome the logic tests.
// Texts are wide inside the program; each implementation converts to and from the
// system's 8-bit code page where the underlying call is an 8-bit one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vt {

// A top-level window of the window system; 0 is "no window".
using WindowHandle = std::uintptr_t;

enum class TimerId { TimerStart, TimerUpdate, TimerWebBrowser };
enum class ControlId { List1, CommandEnde };
enum class StackDirection { Next, Previous };  // GW_HWNDNEXT (below), GW_HWNDPREV (above)

struct TwipsRect {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
};

struct TwipsSize {
  double width = 0;
  double height = 0;
};

struct TimerSetting {
  TimerId id;
  unsigned intervalMs;
};

// What the main window looks like when it is created; the platform realises it.
struct WindowProperties {
  std::wstring caption;
  std::uint32_t backgroundRgb = 0;
  TwipsSize clientSize;
  TwipsRect listRect;
  TwipsRect buttonRect;
  std::wstring buttonCaption;
  TimerSetting timers[3];
};

// The notifications the window system delivers to the program, one at a time, on the
// user-interface thread (or inside DoEvents).
class WindowEvents {
 public:
  virtual void OnTimer(TimerId timer) = 0;
  virtual void OnButtonClick() = 0;
  virtual void OnResize() = 0;
  virtual void OnTeardown() = 0;

 protected:
  ~WindowEvents() = default;
};

enum class ListingOutcome { Entry, Empty, Error };

struct DriveListing {
  ListingOutcome outcome = ListingOutcome::Error;
  std::wstring firstEntry;  // set when outcome is Entry
};

// The connection record handed to the connect call (the NETRESOURCEA layout).
struct NetResource {
  std::uint32_t dwScope = 0;
  std::uint32_t dwType = 0;
  std::uint32_t dwDisplayType = 0;
  std::uint32_t dwUsage = 0;
  std::wstring lpLocalName;
  std::wstring lpRemoteName;
  std::wstring lpComment;
  bool hasProvider = false;  // the program never names a provider
  std::wstring lpProvider;
};

// The values of the Win32 NETRESOURCE fields and connect flag the program uses.
constexpr std::uint32_t ResourceGlobalNet = 2;
constexpr std::uint32_t ResourceTypeDisk = 1;
constexpr std::uint32_t ResourceDisplayTypeShare = 3;
constexpr std::uint32_t ResourceUsageConnectable = 1;
constexpr std::uint32_t ConnectRedirect = 0x80;

class Platform {
 public:
  virtual ~Platform() = default;

  // --- window system -------------------------------------------------------
  // Creates the main window and its controls, all timers disabled; later
  // notifications go to `events`.
  virtual void CreateMainWindow(const WindowProperties& properties, WindowEvents& events) = 0;
  virtual void ShowMainWindow() = 0;
  virtual WindowHandle MainWindowHandle() = 0;

  virtual void ListAddItem(const std::wstring& text) = 0;
  virtual int ListCount() = 0;
  virtual std::wstring ListItem(int index) = 0;
  virtual void ListSetItem(int index, const std::wstring& text) = 0;

  virtual void EnableButton(bool enabled) = 0;
  virtual void EnableTimer(TimerId timer, bool enabled) = 0;

  // Runs every pending window event, then returns.
  virtual void DoEvents() = 0;

  virtual TwipsSize OuterSize() = 0;
  virtual TwipsSize ControlSize(ControlId control) = 0;
  virtual void MoveControl(ControlId control, const TwipsRect& rect) = 0;

  // GetWindow with GW_HWNDNEXT / GW_HWNDPREV; 0 past either end of the order.
  virtual WindowHandle AdjacentWindow(WindowHandle window, StackDirection direction) = 0;
  // GetWindowTextA into a buffer of `capacity` characters, NUL included: at most
  // capacity - 1 characters; the empty text when there is no title.
  virtual std::wstring WindowTitle(WindowHandle window, int capacity) = 0;
  // FindWindowA with a null class: a top-level window whose whole title matches.
  virtual WindowHandle FindWindowByTitle(const std::wstring& title) = 0;

  // Ends the process at once: no further handler runs, nothing is written.
  [[noreturn]] virtual void EndProcess() = 0;
  // Shows an error that no handler caught (a message box on Windows).
  virtual void ReportUncaughtError(const std::wstring& message) = 0;
  // The current local time of day in the user's regional format.
  virtual std::wstring TimeOfDay() = 0;

  // --- environment ---------------------------------------------------------
  // As GetEnvironmentVariableA: names match without regard to letter case. Returns the
  // length copied into `value`; 0 when missing or empty; when the value needs more
  // than `capacity` characters (NUL included) returns the size needed and leaves
  // `value` empty.
  virtual std::size_t EnvironmentVariable(const std::wstring& name, std::wstring& value,
                                          std::size_t capacity) = 0;

  // --- profile service -----------------------------------------------------
  // As GetPrivateProfileStringA: copies at most capacity - 1 characters into `value` and
  // returns the count; a missing file, section or key gives `defaultValue` without
  // its trailing blanks.
  virtual std::size_t ProfileGetString(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& defaultValue, std::wstring& value,
                                       std::size_t capacity, const std::wstring& file) = 0;
  // As GetPrivateProfileIntA: the leading decimal number of the value, or `defaultValue`.
  virtual std::int32_t ProfileGetInt(const std::wstring& section, const std::wstring& key,
                                     std::int32_t defaultValue, const std::wstring& file) = 0;
  // As WritePrivateProfileStringA: true when the entry was written.
  virtual bool ProfileWriteString(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& value, const std::wstring& file) = 0;

  // --- drives and network --------------------------------------------------
  // The first entry of a drive root (not hidden, not system), empty, or an error.
  // Blocks until the platform answers.
  virtual DriveListing ListDriveRoot(const std::wstring& path) = 0;
  // WNetAddConnection2A: 0 when the local name now refers to the share. Blocks.
  // Throws PlatformError when the call cannot be made at all.
  virtual std::uint32_t AddConnection(const NetResource& resource, const std::wstring& password,
                                      const std::wstring& user, std::uint32_t flags) = 0;
};

}  // namespace vt
