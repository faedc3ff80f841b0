// vodu-tavisto-smbfs: the SMB file system of the native host
// (platform/posix/smb/smbfs.h). Started by the program only.
#include "platform/posix/smb/smbfs.h"

int main(int argc, char** argv) {
  return vt::posix::RunSmbFileSystem(argc, argv);
}
