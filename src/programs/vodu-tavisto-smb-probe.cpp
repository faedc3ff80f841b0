// vodu-tavisto-smb-probe: the verdict of one SMB connect for the native host
// (platform/posix/smb/smb_probe.h). It reads its request on standard input and is started
// by the program only.
#include "platform/posix/smb/smb_probe.h"

int main() {
  return vt::posix::RunSmbProbe();
}
