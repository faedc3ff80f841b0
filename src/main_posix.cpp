// The program on a POSIX host: drives and shares under $WINEPREFIX/dosdevices, the log
// on standard output, SIGINT and SIGTERM as the window's teardown.
#include "app/main_window.h"
#include "platform/posix/paths.h"
#include "platform/posix/posix_platform.h"

int main() {
  vt::posix::PosixPlatform platform(vt::posix::DefaultWinePrefix());
  vt::MainWindow window(platform);
  vt::Launch(window);
  platform.RunEventLoop();
}
