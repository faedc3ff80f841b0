// What the native host sets up for itself as a Unix program, before the program starts:
// its standard descriptors, its signals, its station folder and the one-copy lock.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace vt::posix {

// Descriptors 0, 1 and 2 that are closed are opened on /dev/null, so no file the
// program opens later takes their place (a log line must never go into a pipe of ours).
void OpenStandardDescriptors();

// SIGINT, SIGTERM and SIGHUP become the window's teardown, from now on; SIGPIPE is
// ignored, so a reader that goes away never ends the program. Throws the program's
// error when the system refuses.
void InstallTeardownSignals();
// The descriptor that becomes readable when a teardown signal has come, and whether
// one has come (each signal is taken once).
int TeardownSignalDescriptor();
bool TeardownSignalled();

// Why the station folder (the Wine prefix) cannot serve, or nothing when it can.
std::optional<std::string> StationFolderProblem(const std::string& prefix);

// The native host's counterpart of the window-title guard: one copy per station, held
// by an exclusive lock on a file in the station folder for as long as the process
// lives (the kernel releases it when the process ends, however it ends).
struct StationLock {
  bool held = false;
  pid_t holder = 0;     // when not held: the process that holds it, 0 when unknown
  std::string problem;  // when the lock could not even be tried
};
StationLock LockStation(const std::string& prefix);

}  // namespace vt::posix
