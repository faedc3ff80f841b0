#include "platform/posix/smb/answer_channel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vt::posix {

int TakeAnswerChannel() {
  const int channel = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
  if (channel < 0) return -1;
  if (::dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    ::close(channel);
    return -1;
  }
  return channel;
}

bool Answer(int channel, const std::string& line) {
  const std::string text = line + "\n";
  std::size_t put = 0;
  while (put < text.size()) {
    const ssize_t written = ::write(channel, text.data() + put, text.size() - put);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    put += static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace vt::posix
