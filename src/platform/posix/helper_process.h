// Processes the native host starts for itself (the SMB probe, the SMB file system) and
// owns: none outlives the program, however the program ends.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace vt::posix {

struct HelperProcess {
  pid_t pid = -1;
  int input = -1;   // its standard input, when asked for: ours to write and close
  int output = -1;  // its standard output, when asked for: ours to read and close
};

// Starts `argv` (argv[0] a path) with HOME set to `home`, the rest of the environment
// ours; standard error is ours. Without `pipes` its standard input is /dev/null and its
// standard output our standard error. It runs in a process group of its own (pid = group) and
// gets `deathSignal` when the thread that started it ends, so a helper started on the
// window's thread ends with the program even when the program is killed. Throws the
// program's error when it cannot be started; a program that cannot be run ends with
// status 127.
HelperProcess StartHelper(const std::vector<std::string>& argv, const std::string& home, bool pipes,
                          int deathSignal);

// How a helper ended, from its wait status: "exited with status 1", "ended by signal 9
// (Killed)".
std::wstring HowItEnded(int status);

// The first folder of $PATH that holds `program` as an executable file; empty when none.
std::string FindProgram(const std::string& program);

// The path of this program's own executable file.
std::string OwnExecutable();

}  // namespace vt::posix
