// The native host's window lookup, as the window watch makes it, for the tests: prints
// for each TITLE the window found on the display DISPLAY names, or 0 (none, or no answer).
//
//   find_window TITLE...
#include <cstdio>
#include <string>

#include "platform/posix/x11/x_display.h"
#include "portable/utf8.h"

int main(int argc, char** argv) {
  std::string problem;
  const auto display = vt::posix::XDisplay::Open(problem);
  if (!display) {
    std::fprintf(stderr, "find_window: %s\n", problem.c_str());
    return 1;
  }
  for (int i = 1; i < argc; ++i) {
    std::printf("%lu\n",
                static_cast<unsigned long>(display->FindTopLevel(vt::DecodeUtf8(argv[i])).window));
  }
  return 0;
}
