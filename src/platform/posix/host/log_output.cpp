#include "platform/posix/host/log_output.h"

#include <limits.h>
#include <poll.h>
#include <unistd.h>

namespace vt::posix {

namespace {

// A write of at most PIPE_BUF bytes to a pipe with room is whole, and never blocks.
constexpr std::size_t MaxLineBytes = PIPE_BUF - 1;

}  // namespace

bool LogOutput::TryWrite(const std::string& bytes) {
  // Only an output that can take the line now is written to: a full pipe, or one
  // whose reader has gone, would block the program or end it.
  pollfd output{fd_, POLLOUT, 0};
  if (::poll(&output, 1, 0) != 1 || (output.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 ||
      (output.revents & POLLOUT) == 0) {
    return false;
  }
  const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
  return written > 0;
}

void LogOutput::WriteLine(const std::string& line) {
  if (dropped_ > 0) {
    const std::string notice = "(" + std::to_string(dropped_) +
                               " log lines were dropped while the output could not take them)\n";
    if (!TryWrite(notice)) {
      ++dropped_;
      return;
    }
    dropped_ = 0;
  }
  if (!TryWrite(line.substr(0, MaxLineBytes) + "\n")) ++dropped_;
}

void SayOnStandardError(const std::string& text) {
  LogOutput(STDERR_FILENO).WriteLine("Vodu Tavisto: " + text);
}

}  // namespace vt::posix
