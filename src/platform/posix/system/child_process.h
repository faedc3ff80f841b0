// Processes the native host starts for itself (the SMB probe, the SMB file system, the
// unmount helper), each owned by one ChildProcess: started with every signal as a new
// program expects it, in a process group of its own, signalled only while it is
// unreaped (so a reused process id is never hit), waited for with a deadline, killed
// and reaped on every path. None outlives the program, however the program ends.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/system/descriptor.h"

namespace vt::posix {

struct ChildOptions {
  std::vector<std::string> argv;  // argv[0] a path
  std::string home;               // its HOME; empty: ours
  // Its standard input and output are pipes of ours (Input(), Output()); otherwise
  // /dev/null and our standard error (our standard output is the program's log).
  bool pipes = false;
  // Sent to it when the thread that started it ends: a child started on the window's
  // thread ends with the program even when the program is killed.
  int deathSignal = SIGKILL;
};

class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess() { End(SIGKILL, 0); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts it: 0, or the errno of what failed (`failedCall` names it): fork, a pipe, or
  // execve in the child, which reports its errno through a close-on-exec pipe rather
  // than as an exit status.
  int Start(const ChildOptions& options, const char** failedCall = nullptr);

  bool Running() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }
  // Readable once it has ended, for an event loop to watch; -1 where the kernel has no
  // process descriptors (then its end is seen by Ended()).
  int EndDescriptor() const { return pidFd_.get(); }
  Descriptor& Input() { return input_; }
  Descriptor& Output() { return output_; }

  // Whether it has ended, its wait status in `status`; it stays unreaped.
  bool Ended(int& status) const;
  // Waits until it has ended or the monotonic clock reaches `deadline` (ms).
  bool WaitUntil(std::int64_t deadline) const;
  // Sends `signal` to its process group; nothing once it is reaped.
  void SignalGroup(int signal) const;
  // Sends `signal` to its group, waits until `deadline`, then kills what is left of the
  // group and reaps it. Its wait status; safe to call when it does not run.
  int End(int signal, std::int64_t deadline);

 private:
  pid_t pid_ = -1;
  Descriptor pidFd_;
  Descriptor input_;
  Descriptor output_;
};

// How a child ended, from its wait status: "exited with status 1", "ended by signal 9
// (Killed)".
std::wstring HowItEnded(int status);

// The first folder of $PATH that holds `program` as an executable file; empty when none.
std::string FindProgram(const std::string& program);

// A program of the project's own: beside this program's executable (a build) or in
// ../libexec/vodu-tavisto/ (an installation); empty when neither has it.
std::string CompanionProgram(const std::string& name);

}  // namespace vt::posix
