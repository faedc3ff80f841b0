// The program on a POSIX host: drives and shares under $WINEPREFIX/dosdevices, the log
// on standard output, SIGINT, SIGTERM and SIGHUP as the window's teardown.
#include "app/main_window.h"
#include "platform/error.h"
#include "platform/posix/log_output.h"
#include "platform/posix/paths.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/process.h"

int main() {
  using namespace vt::posix;
  OpenStandardDescriptors();
  try {
    InstallTeardownSignals();
  } catch (const vt::ProgramError& error) {
    SayOnStandardError(error.what());
    return 1;
  }
  const std::string prefix = DefaultWinePrefix();
  if (const std::optional<std::string> problem = StationFolderProblem(prefix)) {
    SayOnStandardError(*problem);
    return 1;
  }
  const StationLock lock = LockStation(prefix);
  if (!lock.held && lock.problem.empty()) {
    // As a second copy on Windows does: the copy that runs goes on alone.
    SayOnStandardError(
        "another copy" +
        (lock.holder > 0 ? " (process " + std::to_string(lock.holder) + ")" : std::string()) +
        " runs on the station " + prefix + "; this one ends");
    return 0;
  }
  if (!lock.held) SayOnStandardError(lock.problem + "; running without the one-copy guard");
  PosixPlatform platform(prefix);
  vt::MainWindow window(platform);
  vt::Launch(window);
  platform.RunEventLoop();
}
