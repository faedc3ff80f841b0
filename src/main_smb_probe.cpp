// vodu-tavisto-smb-probe: the verdict of one SMB connect for the native host
// (platform/posix/smb/smb_probe.h). It reads its request on standard input and is started
// by the program only.
#include "platform/posix/smb/smb_probe.h"

// Samba's configuration loader keeps some of what it reads for the life of the process:
// not a leak of this program's, so the sanitizers' leak check is not told of it.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libtalloc.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}

int main() {
  return vt::posix::RunSmbProbe();
}
