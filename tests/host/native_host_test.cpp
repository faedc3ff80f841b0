// The real native program as a Unix program: output it cannot write, closed standard
// descriptors, a second copy, files that are not files, signals, a missing station.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

bool WaitFor(const std::function<bool()>& condition, int milliseconds) {
  const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (Clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return condition();
}

// How the program is started: its environment and its standard descriptors (-1
// closed, otherwise the descriptor to give it).
struct Launch {
  std::vector<std::string> environment;
  int in = -2;  // -2: /dev/null
  int out = -2;
  int err = -2;
  const char* option = nullptr;  // the one command-line option, if any
};

class NativeHost : public ::testing::Test {
 protected:
  void SetUp() override { station_ = NewStation(); }
  void TearDown() override {
    for (pid_t pid : running_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
    for (const std::string& folder : folders_) {
      EXPECT_EQ(std::system(("rm -rf '" + folder + "'").c_str()), 0);
    }
  }

  // A copy of the sample station whose failing share is retried every second or two,
  // so checks follow each other within seconds.
  std::string NewStation() {
    char pattern[] = "/tmp/vodu-native-XXXXXX";
    EXPECT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    folders_.push_back(folder);
    EXPECT_EQ(std::system(("cp -a '" VT_SAMPLE_STATION "'/. '" + folder + "'/").c_str()), 0);
    const std::string cfg = CustomerCfg(folder);
    std::string content = ReadFile(cfg);
    content.replace(content.find("RetryAfterFaultSeconds=10"), 25, "RetryAfterFaultSeconds=1");
    std::ofstream(cfg, std::ios::binary) << content;
    return folder;
  }
  static std::string CustomerCfg(const std::string& station) {
    return station + "/drive_c/Zembrik/Documentation/Documentation_Customer.cfg";
  }
  static std::string StatusFile(const std::string& station) {
    return station + "/drive_c/Zembrik/Documentation/Documentation_Tavisto.ini";
  }
  std::string OutFile(const std::string& name) const { return station_ + "/" + name; }
  int OpenOut(const std::string& name) const {
    return ::open(OutFile(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  }

  pid_t Start(Launch launch) {
    if (launch.environment.empty()) {
      launch.environment = {"WINEPREFIX=" + station_, "VisuDir=C:\\Zembrik"};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      const int wanted[3] = {launch.in, launch.out, launch.err};
      for (int fd = 0; fd < 3; ++fd) {
        if (wanted[fd] == -1) {
          ::close(fd);
        } else {
          ::dup2(wanted[fd] == -2 ? null : wanted[fd], fd);
        }
      }
      if (null > 2) ::close(null);
      ::clearenv();
      ::setenv("PATH", "/usr/bin:/bin", 1);
      for (const std::string& variable : launch.environment) {
        ::putenv(const_cast<char*>(variable.c_str()));
      }
      ::execl(VT_NATIVE_BINARY, VT_NATIVE_BINARY, launch.option, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    running_.push_back(pid);
    return pid;
  }

  // The exit status, or -1 when it still runs after `milliseconds`; -2 when a signal
  // ended it.
  int WaitExit(pid_t pid, int milliseconds) {
    int status = 0;
    const bool ended =
        WaitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, milliseconds);
    if (!ended) return -1;
    running_.erase(std::remove(running_.begin(), running_.end(), pid), running_.end());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
  }
  int Terminate(pid_t pid, int signal = SIGTERM) {
    ::kill(pid, signal);
    return WaitExit(pid, 5000);
  }
  bool Published(const std::string& entry, const std::string& station, int milliseconds = 5000) {
    return WaitFor([&] { return ReadFile(StatusFile(station)).find(entry) != std::string::npos; },
                   milliseconds);
  }
  static int Count(const std::string& text, const std::string& part) {
    int count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
      ++count;
    return count;
  }

  std::string station_;
  std::vector<std::string> folders_;
  std::vector<pid_t> running_;
};

TEST_F(NativeHost, AnOutputNobodyReadsNeverStopsTheChecks) {
  int pipe[2];
  ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
  // Fill the pipe before the program starts: it cannot write a single line.
  ASSERT_EQ(::fcntl(pipe[1], F_SETFL, O_NONBLOCK), 0);
  const std::string block(4096, 'x');
  while (::write(pipe[1], block.data(), block.size()) > 0) {
  }
  ASSERT_EQ(::fcntl(pipe[1], F_SETFL, 0), 0);
  const pid_t pid = Start({{}, -2, pipe[1], -2});
  ::close(pipe[1]);
  ASSERT_TRUE(Published("[Machine1]\r\nNetOK1=true", station_));
  // The share behind K: goes away; the next check (a retry, a second or two later)
  // publishes it.
  ASSERT_EQ(::rename((station_ + "/dosdevices/unc/fileserver/docu").c_str(),
                     (station_ + "/dosdevices/unc/fileserver/docu.gone").c_str()),
            0);
  EXPECT_TRUE(Published("[Machine1]\r\nNetOK1=false", station_));
  // Once the output drains, the program says how many lines it dropped.
  ASSERT_EQ(::fcntl(pipe[0], F_SETFL, O_NONBLOCK), 0);
  std::string drained;
  EXPECT_TRUE(WaitFor(
      [&] {
        char sink[65536];
        for (ssize_t n; (n = ::read(pipe[0], sink, sizeof sink)) > 0;) drained.append(sink, n);
        return drained.find(" log lines were dropped while the output could not take them)\n") !=
               std::string::npos;
      },
      5000));
  EXPECT_EQ(Terminate(pid), 0);
  ::close(pipe[0]);
}

TEST_F(NativeHost, AnOutputWhoseReaderHasGoneNeverEndsTheProgram) {
  int pipe[2];
  ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
  ::close(pipe[0]);
  const pid_t pid = Start({{}, -2, pipe[1], -2});
  ::close(pipe[1]);
  EXPECT_TRUE(Published("NetOK2=false", station_));
  EXPECT_EQ(WaitExit(pid, 1500), -1);  // still running, through further checks
  EXPECT_EQ(Terminate(pid), 0);
}

TEST_F(NativeHost, ClosedStandardInputAndOutputDoNotEndIt) {
  const pid_t pid = Start({{}, -1, -1, OpenOut("err.txt")});
  EXPECT_TRUE(Published("NetOK2=false", station_));
  EXPECT_EQ(WaitExit(pid, 1500), -1);
  EXPECT_EQ(Terminate(pid), 0);
  EXPECT_EQ(ReadFile(OutFile("err.txt")), "");
}

TEST_F(NativeHost, ASecondCopyOnTheSameStationEndsAndNamesTheFirst) {
  const pid_t first = Start({{}, -2, OpenOut("first.txt"), -2});
  ASSERT_TRUE(
      WaitFor([&] { return Count(ReadFile(OutFile("first.txt")), "Checking ready") > 0; }, 5000));
  const pid_t second = Start({{}, -2, OpenOut("second.txt"), OpenOut("second-err.txt")});
  EXPECT_EQ(WaitExit(second, 5000), 0);
  EXPECT_NE(ReadFile(OutFile("second-err.txt")).find("process " + std::to_string(first)),
            std::string::npos)
      << ReadFile(OutFile("second-err.txt"));
  EXPECT_EQ(ReadFile(OutFile("second.txt")), "");
  EXPECT_EQ(WaitExit(first, 500), -1);  // the first goes on

  // A copy on another station runs beside it.
  const std::string other = NewStation();
  const pid_t beside = Start({{"WINEPREFIX=" + other, "VisuDir=C:\\Zembrik"}, -2, -2, -2});
  EXPECT_TRUE(Published("NetOK2=false", other));
  EXPECT_EQ(WaitExit(beside, 500), -1);
  EXPECT_EQ(Terminate(beside), 0);
  EXPECT_EQ(Terminate(first), 0);
}

TEST_F(NativeHost, AFifoAsTheCustomerFileReadsAsMissing) {
  ASSERT_EQ(::unlink(CustomerCfg(station_).c_str()), 0);
  ASSERT_EQ(::mkfifo(CustomerCfg(station_).c_str(), 0644), 0);
  const pid_t pid = Start({{}, -2, OpenOut("out.txt"), -2});
  EXPECT_TRUE(WaitFor(
      [&] {
        return ReadFile(OutFile("out.txt")).find("Checking ready 0 faults") != std::string::npos;
      },
      5000));
  EXPECT_EQ(Terminate(pid), 0);
}

TEST_F(NativeHost, SighupAndSigintEndItCleanly) {
  for (int signal : {SIGHUP, SIGINT}) {
    const pid_t pid = Start({{}, -2, OpenOut("out.txt"), -2});
    ASSERT_TRUE(WaitFor(
        [&] { return ReadFile(OutFile("out.txt")).find("Checking ready") != std::string::npos; },
        5000));
    EXPECT_EQ(Terminate(pid, signal), 0) << signal;
  }
}

// An error, except for a session's autostart: a user without a station has nothing to do.
TEST_F(NativeHost, AStationThatIsNotThereIsAnErrorButNotAtASessionsStart) {
  const std::string plainFile = station_ + "/plain";
  std::ofstream(plainFile) << "x";
  for (const char* option : {static_cast<const char*>(nullptr), "--autostart"}) {
    for (const std::vector<std::string>& environment :
         {std::vector<std::string>{"WINEPREFIX=" + station_ + "/missing"},
          std::vector<std::string>{"WINEPREFIX=" + plainFile},
          std::vector<std::string>{"HOME=" + station_ + "/nobody"}}) {
      const pid_t pid = Start({environment, -2, -2, OpenOut("err.txt"), option});
      EXPECT_EQ(WaitExit(pid, 5000), option != nullptr ? 0 : 1) << environment[0];
      EXPECT_NE(ReadFile(OutFile("err.txt")).find("station folder"), std::string::npos)
          << environment[0];
    }
  }
}

TEST_F(NativeHost, ADotDotInsideTheDriveResolvesAsOnWindows) {
  const pid_t pid =
      Start({{"WINEPREFIX=" + station_, "VisuDir=C:\\Other\\..\\Zembrik"}, -2, -2, -2});
  EXPECT_TRUE(Published("NetOK2=false", station_));
  EXPECT_EQ(Terminate(pid), 0);
}

}  // namespace
