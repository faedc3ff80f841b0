// Standard output as the native host's log, written so that it never stops the
// program: a line the output cannot take at once is dropped and counted, and the
// count is written once the output takes lines again.
#pragma once

#include <cstdint>
#include <string>

namespace vt::posix {

class LogOutput {
 public:
  explicit LogOutput(int fd) : fd_(fd) {}

  // Writes `line` and a line break, or drops it.
  void WriteLine(const std::string& line);

 private:
  bool TryWrite(const std::string& bytes);

  int fd_;
  std::uint64_t dropped_ = 0;
};

// "Vodu Tavisto: " and the UTF-8 text on standard error, written as log lines are.
void SayOnStandardError(const std::string& text);

}  // namespace vt::posix
