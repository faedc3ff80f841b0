#include "platform/posix/helper_process.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>

#include "platform/posix/system_error.h"

namespace vt::posix {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Between fork and exec only calls that are safe in a child of a threaded process.
[[noreturn]] void BecomeHelper(char* const* argv, char* const* envp, int input, int output,
                               int deathSignal, pid_t parent) {
  ::setpgid(0, 0);
  ::prctl(PR_SET_PDEATHSIG, deathSignal);
  if (::getppid() != parent) ::_exit(127);  // the program ended before the line above
  if (input >= 0 && ::dup2(input, STDIN_FILENO) < 0) ::_exit(127);
  if (output >= 0 && ::dup2(output, STDOUT_FILENO) < 0) ::_exit(127);
  // The program ignores SIGPIPE and blocks its teardown signals on some threads; a
  // helper starts as any program does.
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  ::sigaction(SIGPIPE, &standard, nullptr);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::execve(argv[0], argv, envp);
  ::_exit(127);
}

}  // namespace

HelperProcess StartHelper(const std::vector<std::string>& argv, const std::string& home, bool pipes,
                          int deathSignal) {
  std::vector<std::string> arguments = argv;
  std::vector<std::string> environment{"HOME=" + home};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, "HOME=", 5) != 0) environment.emplace_back(*entry);
  }
  const std::vector<char*> argumentPointers = Pointers(arguments);
  const std::vector<char*> environmentPointers = Pointers(environment);

  int toHelper[2] = {-1, -1};
  int fromHelper[2] = {-1, -1};
  if (!pipes) {
    // Standard output is the program's log: a helper writes to its standard error only.
    toHelper[0] = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    fromHelper[1] = STDERR_FILENO;
  } else {
    ThrowErrnoIf(::pipe2(toHelper, O_CLOEXEC) != 0, L"pipe2");
    if (::pipe2(fromHelper, O_CLOEXEC) != 0) {
      const int error = errno;
      ::close(toHelper[0]);
      ::close(toHelper[1]);
      errno = error;
      ThrowErrnoIf(true, L"pipe2");
    }
  }
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    BecomeHelper(argumentPointers.data(), environmentPointers.data(), toHelper[0], fromHelper[1],
                 deathSignal, parent);
  }
  const int forkError = errno;
  HelperProcess helper;
  if (!pipes && toHelper[0] >= 0) ::close(toHelper[0]);
  if (pipes) {
    ::close(toHelper[0]);
    ::close(fromHelper[1]);
    helper.input = toHelper[1];
    helper.output = fromHelper[0];
  }
  if (pid < 0) {
    if (pipes) {
      ::close(helper.input);
      ::close(helper.output);
    }
    errno = forkError;
    ThrowErrnoIf(true, L"fork");
  }
  ::setpgid(pid, pid);  // also here, so a kill of the group right after cannot miss it
  helper.pid = pid;
  return helper;
}

std::wstring HowItEnded(int status) {
  if (WIFSIGNALED(status)) {
    const int signal = WTERMSIG(status);
    const char* name = ::strsignal(signal);
    return L"ended by signal " + std::to_wstring(signal) +
           (name != nullptr ? L" (" + DecodeCp1252(name) + L")" : std::wstring());
  }
  return L"exited with status " + std::to_wstring(WEXITSTATUS(status));
}

std::string FindProgram(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t at = 0;
  while (at <= folders.size()) {
    std::size_t end = folders.find(':', at);
    if (end == std::string::npos) end = folders.size();
    const std::string folder = folders.substr(at, end - at);
    std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    at = end + 1;
  }
  return std::string();
}

std::string OwnExecutable() {
  char path[4096] = {};
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : "/proc/self/exe";
}

}  // namespace vt::posix
