#include "platform/posix/system/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/system/monotonic_clock.h"
#include "portable/codepage.h"

namespace vt::posix {

namespace {

// Where the kernel has no process descriptors, an end is looked for this often.
constexpr std::int64_t PollStepMs = 10;

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Between fork and exec only calls that are safe in a child of a threaded process. Every
// signal is blocked on entry (the parent blocked them around fork), so none of the
// program's handlers can run here; each is reset before the mask is cleared, so a
// signal that was pending reaches the new program, not ours.
[[noreturn]] void BecomeChild(char* const* argv, char* const* envp, int input, int output,
                              int deathSignal, pid_t parent, int errorPipe) {
  struct sigaction standard {};
  standard.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) ::sigaction(signal, &standard, nullptr);
  int error = 0;
  if (::setpgid(0, 0) != 0 || ::prctl(PR_SET_PDEATHSIG, deathSignal) != 0) error = errno;
  if (error == 0 && ::getppid() != parent) error = ESRCH;  // the program ended meanwhile
  if (error == 0 && input >= 0 && ::dup2(input, STDIN_FILENO) < 0) error = errno;
  if (error == 0 && output >= 0 && ::dup2(output, STDOUT_FILENO) < 0) error = errno;
  // A new program starts with no signal blocked, as a shell would start it.
  sigset_t none;
  sigemptyset(&none);
  if (error == 0) {
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(argv[0], argv, envp);
    error = errno;
  }
  [[maybe_unused]] const ssize_t told = ::write(errorPipe, &error, sizeof error);
  ::_exit(127);
}

// The wait status that waitid's answer stands for, as waitpid would give it.
int WaitStatusOf(const siginfo_t& info) {
  if (info.si_code == CLD_EXITED) return (info.si_status & 0xff) << 8;
  return (info.si_status & 0x7f) | (info.si_code == CLD_DUMPED ? 0x80 : 0);
}

int Pipe(Descriptor& readEnd, Descriptor& writeEnd) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return errno;
  readEnd.Reset(ends[0]);
  writeEnd.Reset(ends[1]);
  return 0;
}

}  // namespace

int ChildProcess::Start(const ChildOptions& options, const char** failedCall) {
  const char* ignored = nullptr;
  const char*& call = failedCall != nullptr ? *failedCall : ignored;
  End(SIGKILL, 0);
  std::vector<std::string> arguments = options.argv;
  std::vector<std::string> environment;
  if (!options.home.empty()) environment.push_back("HOME=" + options.home);
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (options.home.empty() || std::strncmp(*entry, "HOME=", 5) != 0)
      environment.emplace_back(*entry);
  }
  const std::vector<char*> argumentPointers = Pointers(arguments);
  const std::vector<char*> environmentPointers = Pointers(environment);

  Descriptor childInput, childOutput, errorRead, errorWrite;
  int error = 0;
  call = "pipe2";
  if (options.pipes) {
    error = Pipe(childInput, input_);
    if (error == 0) error = Pipe(output_, childOutput);
  } else {
    call = "open";
    childInput.Reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (!childInput.valid()) error = errno;
  }
  if (error == 0) {
    call = "pipe2";
    error = Pipe(errorRead, errorWrite);
  }
  if (error != 0) {
    input_.Reset();
    output_.Reset();
    return error;
  }

  sigset_t all, previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    BecomeChild(argumentPointers.data(), environmentPointers.data(), childInput.get(),
                options.pipes ? childOutput.get() : STDERR_FILENO, options.deathSignal, parent,
                errorWrite.get());
  }
  const int forkError = errno;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  childInput.Reset();
  childOutput.Reset();
  errorWrite.Reset();
  if (pid < 0) {
    call = "fork";
    input_.Reset();
    output_.Reset();
    return forkError;
  }
  ::setpgid(pid, pid);  // also here, so a signal to the group right after cannot miss it
  pid_ = pid;
  pidFd_.Reset(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  // The pipe closes at execve; before it, the child writes why it could not get there.
  int childError = 0;
  ssize_t got = 0;
  do {
    got = ::read(errorRead.get(), &childError, sizeof childError);
  } while (got < 0 && errno == EINTR);
  if (got == static_cast<ssize_t>(sizeof childError)) {
    call = "execve";
    End(SIGKILL, 0);
    input_.Reset();
    output_.Reset();
    return childError != 0 ? childError : EIO;
  }
  call = nullptr;
  return 0;
}

bool ChildProcess::Ended(int& status) const {
  if (pid_ <= 0) return true;
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
    return errno == ECHILD;  // not ours to wait for: nothing left to wait for
  if (info.si_pid == 0) return false;
  status = WaitStatusOf(info);
  return true;
}

bool ChildProcess::WaitUntil(std::int64_t deadline) const {
  int status = 0;
  for (;;) {
    if (Ended(status)) return true;
    const std::int64_t left = deadline - MonotonicMs();
    if (left <= 0) return false;
    if (pidFd_.valid()) {
      pollfd watched{pidFd_.get(), POLLIN, 0};
      ::poll(&watched, 1, static_cast<int>(std::min<std::int64_t>(left, INT32_MAX)));
    } else {
      ::usleep(static_cast<useconds_t>(std::min(left, PollStepMs) * 1000));
    }
  }
}

void ChildProcess::SignalGroup(int signal) const {
  // The leader is not reaped yet, so its id still names this group and no other.
  if (pid_ > 0) ::kill(-pid_, signal);
}

int ChildProcess::End(int signal, std::int64_t deadline) {
  if (pid_ <= 0) return 0;
  int status = 0;
  if (!Ended(status)) {
    SignalGroup(signal);
    if (signal != SIGKILL) WaitUntil(deadline);
  }
  SignalGroup(SIGKILL);  // what is left of the group: its own helpers, if any
  while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
  pidFd_.Reset();
  return status;
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

std::string CompanionProgram(const std::string& name) {
  char path[4096] = {};
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  const std::string own(path, static_cast<std::size_t>(length));
  const std::string folder = own.substr(0, own.rfind('/'));
  for (const char* place : {"/", "/../libexec/vodu-tavisto/"}) {
    std::string candidate = folder;
    candidate.append(place).append(name);
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::string();
}

}  // namespace vt::posix
