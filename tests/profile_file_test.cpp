// The profile reader and writer on real files: nothing half-written, nothing lost.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/posix/profile.h"

namespace vt::posix {
namespace {

class ProfileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vodu-profile-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    const std::string command = "rm -rf '" + folder_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Entries() const {
    std::string names;
    const std::string command = "ls -A '" + folder_ + "' > '" + folder_ + ".ls'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    names = ReadWholeFile(folder_ + ".ls").value_or("");
    ::unlink((folder_ + ".ls").c_str());
    return names;
  }
  std::string folder_;
};

TEST_F(ProfileFiles, ReadsLowerCaseSectionsAndKeys) {
  Put("Program.ini", "[project]\r\nnumberofmachines=2\r\nvwstudio=True\r\n");
  EXPECT_EQ(ReadProfileFileValue(Path("Program.ini"), "Project", "NumberOfMachines"), "2");
  EXPECT_EQ(ReadProfileFileValue(Path("Program.ini"), "Project", "VWStudio"), "True");
  EXPECT_EQ(ReadProfileFileValue(Path("missing.ini"), "Project", "VWStudio"), std::nullopt);
}

TEST_F(ProfileFiles, AReplacedKeyLeavesEveryOtherByteAndTheLineEndings) {
  const std::string before =
      "; written by the "
      "station\r\n[Machine1]\r\nNetOK1=false\r\nNetOK2=true\r\n\r\n[Machine2]\r\nNetOK1=true\r\n";
  Put("status.ini", before);
  ASSERT_TRUE(WriteProfileFileValue(Path("status.ini"), "Machine1", "NetOK1", "true").Succeeded());
  EXPECT_EQ(
      ReadWholeFile(Path("status.ini")),
      "; written by the "
      "station\r\n[Machine1]\r\nNetOK1=true\r\nNetOK2=true\r\n\r\n[Machine2]\r\nNetOK1=true\r\n");
  // No temporary file is left beside it.
  EXPECT_EQ(Entries(), "status.ini\n");
}

TEST_F(ProfileFiles, CreatesTheFileWhenItsFolderExists) {
  ASSERT_TRUE(WriteProfileFileValue(Path("new.ini"), "Machine1", "NetOK1", "true").Succeeded());
  EXPECT_EQ(ReadWholeFile(Path("new.ini")), "[Machine1]\r\nNetOK1=true\r\n");
}

TEST_F(ProfileFiles, AMissingFolderFailsTheWrite) {
  EXPECT_FALSE(WriteProfileFileValue(Path("no/such/folder.ini"), "S", "k", "v").Succeeded());
}

TEST_F(ProfileFiles, AWriteThatRunsOutOfSpaceLeavesTheOldFileIntact) {
  Put("status.ini", "[S]\nk=old\n");
  // A file size limit stands in for a full disk; it holds for every user, root too.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written =
      WriteProfileFileValue(Path("status.ini"), "S", "k", std::string(5000, 'v')).Succeeded();
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadWholeFile(Path("status.ini")), "[S]\nk=old\n");
  EXPECT_EQ(Entries(), "status.ini\n");
}

TEST_F(ProfileFiles, AnUnreadableFileIsNotReplaced) {
  ASSERT_EQ(::mkdir(Path("status.ini").c_str(), 0700), 0);  // a folder where the file should be
  EXPECT_FALSE(WriteProfileFileValue(Path("status.ini"), "S", "k", "v").Succeeded());
  struct stat info {};
  ASSERT_EQ(::stat(Path("status.ini").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
}

TEST_F(ProfileFiles, KeepsThePermissionsOfTheReplacedFile) {
  Put("status.ini", "[S]\nk=old\n");
  ASSERT_EQ(::chmod(Path("status.ini").c_str(), 0640), 0);
  ASSERT_TRUE(WriteProfileFileValue(Path("status.ini"), "S", "k", "new").Succeeded());
  struct stat info {};
  ASSERT_EQ(::stat(Path("status.ini").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace vt::posix
