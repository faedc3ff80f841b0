// The POSIX host: Windows paths on the Wine layout, drive listings, connects, environment.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "platform/posix/paths.h"
#include "platform/posix/posix_platform.h"

namespace vt::posix {
namespace {

class Host : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vodu-host-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    prefix_ = pattern;
    Folder("dosdevices/unc/FileServer/Docu/Machine1");
    Folder("dosdevices/unc/FileServer/empty");
    Folder("drive_c/Zembrik");
    ASSERT_EQ(::symlink("../drive_c", (prefix_ + "/dosdevices/c:").c_str()), 0);
  }
  void TearDown() override { EXPECT_EQ(std::system(("rm -rf '" + prefix_ + "'").c_str()), 0); }
  void Folder(const std::string& path) const {
    EXPECT_EQ(std::system(("mkdir -p '" + prefix_ + "/" + path + "'").c_str()), 0);
  }
  std::string prefix_;
};

TEST_F(Host, DrivesAndSharesMapOntoDosdevicesMatchingComponentsInAnyCase) {
  EXPECT_EQ(MapWindowsPath(prefix_, L"C:\\zembrik\\Parameter\\Program.ini"),
            prefix_ + "/dosdevices/c:/Zembrik/Parameter/Program.ini");
  EXPECT_EQ(MapWindowsPath(prefix_, L"k:\\"), prefix_ + "/dosdevices/k:");
  EXPECT_EQ(MapWindowsPath(prefix_, L"\\\\fileserver\\DOCU\\machine1\\x"),
            prefix_ + "/dosdevices/unc/FileServer/Docu/Machine1/x");
  EXPECT_EQ(MapWindowsPath(prefix_, L"relative\\path"), std::nullopt);
  EXPECT_EQ(MapWindowsPath(prefix_, L":\\"), std::nullopt);
  EXPECT_EQ(MapWindowsPath(prefix_, L"C:\\..\\..\\etc"), std::nullopt);
}

TEST_F(Host, ADriveRootListsItsFirstVisibleEntryOrNothingOrFails) {
  PosixPlatform host(prefix_);
  ASSERT_EQ(::symlink("unc/FileServer/Docu", (prefix_ + "/dosdevices/k:").c_str()), 0);
  ASSERT_EQ(::symlink("unc/FileServer/empty", (prefix_ + "/dosdevices/e:").c_str()), 0);
  std::ofstream(prefix_ + "/dosdevices/unc/FileServer/empty/.hidden") << "x";
  const DriveListing present = host.ListDriveRoot(L"K:\\");
  EXPECT_EQ(present.outcome, ListingOutcome::Entry);
  EXPECT_EQ(present.firstEntry, L"Machine1");
  EXPECT_EQ(host.ListDriveRoot(L"E:\\").outcome, ListingOutcome::Empty);
  EXPECT_EQ(host.ListDriveRoot(L"Z:\\").outcome, ListingOutcome::Error);
  EXPECT_EQ(host.ListDriveRoot(L":\\").outcome, ListingOutcome::Error);
}

TEST_F(Host, AConnectLinksTheDriveToAnExistingShareOrAnswersAsARouterWould) {
  PosixPlatform host(prefix_);
  NetResource share;
  share.lpLocalName = L"L:";
  share.lpRemoteName = L"\\\\FILESERVER\\docu";
  EXPECT_EQ(host.AddConnection(share, L"pw", L"user", 0x80), 0u);
  char target[256] = {};
  ASSERT_GT(::readlink((prefix_ + "/dosdevices/l:").c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ(target, "unc/FileServer/Docu");
  EXPECT_EQ(host.ListDriveRoot(L"l:\\").firstEntry, L"Machine1");

  EXPECT_EQ(host.AddConnection(share, L"pw", L"user", 0x80), 85u);  // L: is in use now
  share.lpLocalName = L"M:";
  share.lpRemoteName = L"\\\\oldserver\\backup";
  EXPECT_EQ(host.AddConnection(share, L"", L"", 0x80), 67u);
  share.lpRemoteName = L"\\\\fileserver\\docu\\Machine1";  // a folder, not a share
  EXPECT_EQ(host.AddConnection(share, L"", L"", 0x80), 67u);
  for (const wchar_t* bad : {L":", L"", L"MM:", L"1:"}) {
    share.lpLocalName = bad;
    EXPECT_EQ(host.AddConnection(share, L"", L"", 0x80), 1200u) << bad;
  }
}

TEST_F(Host, EnvironmentNamesMatchInAnyLetterCase) {
  PosixPlatform host(prefix_);
  ASSERT_EQ(::setenv("VoduTestDir", "D:\\Station", 1), 0);
  std::wstring value;
  EXPECT_EQ(host.EnvironmentVariable(L"VODUTESTDIR", value, 4096), 10u);
  EXPECT_EQ(value, L"D:\\Station");
  EXPECT_EQ(host.EnvironmentVariable(L"VoduTestDi", value, 4096), 0u);
  EXPECT_EQ(host.EnvironmentVariable(L"vodutestdir", value, 5), 11u);  // too small: size needed
  EXPECT_TRUE(value.empty());
  ::unsetenv("VoduTestDir");
}

TEST_F(Host, ProfileCallsReadAndWriteThroughTheDriveLayout) {
  PosixPlatform host(prefix_);
  const std::wstring file = L"C:\\Zembrik\\status.ini";
  EXPECT_TRUE(host.ProfileWriteString(L"Machine1", L"NetOK1", L"true", file));
  std::wstring value;
  EXPECT_EQ(host.ProfileGetString(L"machine1", L"netok1", L"   ", value, 255, file), 4u);
  EXPECT_EQ(value, L"true");
  EXPECT_EQ(host.ProfileGetInt(L"Machine1", L"Missing", -1, file), -1);
  EXPECT_FALSE(host.ProfileWriteString(L"S", L"k", L"v", L"C:\\NoFolder\\x.ini"));
  EXPECT_FALSE(host.ProfileWriteString(L"S", L"k", L"v", L"nowhere.ini"));
}

}  // namespace
}  // namespace vt::posix
