#include "platform/posix/station/process.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/posix/system/system_error.h"

namespace vt::posix {

namespace {

// The signal handler only writes a byte; the event loop and DoEvents read it.
int signalPipe[2] = {-1, -1};

extern "C" void OnTeardownSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}

const char* const LockFileName = "/.vodu-tavisto.lock";

}  // namespace

void OpenStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free descriptor: the closed one.
    const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) ::close(opened);
  }
}

void InstallTeardownSignals() {
  if (signalPipe[0] >= 0) return;  // once per process
  ThrowErrnoIf(::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0, L"pipe2");
  struct sigaction action {};
  action.sa_handler = OnTeardownSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    ThrowErrnoIf(::sigaction(signal, &action, nullptr) != 0, L"sigaction");
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ThrowErrnoIf(::sigaction(SIGPIPE, &ignore, nullptr) != 0, L"sigaction");
}

int TeardownSignalDescriptor() {
  return signalPipe[0];
}

bool TeardownSignalled() {
  char byte = 0;
  return signalPipe[0] >= 0 && ::read(signalPipe[0], &byte, 1) == 1;
}

std::optional<std::string> StationFolderProblem(const std::string& prefix) {
  struct stat info {};
  if (::stat(prefix.c_str(), &info) != 0) {
    return "the station folder " + prefix + " (WINEPREFIX) cannot be used: " + std::strerror(errno);
  }
  if (!S_ISDIR(info.st_mode)) {
    return "the station folder " + prefix + " (WINEPREFIX) is not a folder";
  }
  return std::nullopt;
}

StationLock LockStation(const std::string& prefix) {
  const std::string path = prefix + LockFileName;
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return {false, 0, "cannot open " + path + ": " + std::strerror(errno)};
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    // Kept open, and so locked, until the process ends. The process id tells a second
    // copy who holds the station.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
      [[maybe_unused]] const ssize_t written = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    return {true, 0, {}};
  }
  if (errno != EWOULDBLOCK) {
    const std::string problem = "cannot lock " + path + ": " + std::strerror(errno);
    ::close(fd);
    return {false, 0, problem};
  }
  char text[32] = {};
  const ssize_t length = ::pread(fd, text, sizeof text - 1, 0);
  ::close(fd);
  return {false, length > 0 ? static_cast<pid_t>(std::atol(text)) : 0, {}};
}

}  // namespace vt::posix
