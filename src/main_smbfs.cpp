// vodu-tavisto-smbfs: the SMB file system of the native host
// (platform/posix/smb/smbfs.h). Started by the program only.
#include "platform/posix/smb/smbfs.h"

// Samba's configuration loader keeps some of what it reads for the life of the process:
// not a leak of this program's, so the sanitizers' leak check is not told of it.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libtalloc.so\n";
}
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}

int main(int argc, char** argv) {
  return vt::posix::RunSmbFileSystem(argc, argv);
}
