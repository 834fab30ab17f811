// The real quobran program: under a virtual X display, driven by real mouse clicks (xdotool), on a
// loop-mounted btrfs image; and two real processes for the single-instance rule. Each program
// runs in a network namespace of its own (unshare --net), where its per-user instance marker
// cannot meet that of a quobran-cli or quobran run by anyone else on the machine.
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine_harness.h"
#include "scratch_btrfs.h"
#include "temp_dir.h"

namespace {

using testing_support::ReadLogEvents;
using testing_support::Shell;
using testing_support::TempDir;

std::string Why() {
  if (geteuid() != 0) return "needs root (unshare --net, loop devices)";
  if (Shell("command -v unshare >/dev/null 2>&1") != 0) return "unshare is not installed";
  return "";
}

bool Eventually(const std::function<bool()>& done, int seconds) {
  for (int i = 0; i < seconds * 10; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return done();
}

int Count(const std::vector<std::string>& events, const std::string& event) {
  return static_cast<int>(std::count(events.begin(), events.end(), event));
}

// A virtual X display for the length of a test.
class VirtualDisplay {
 public:
  VirtualDisplay() : number_(":" + std::to_string(70 + getpid() % 200)) {
    pid_ = fork();
    if (pid_ == 0) {
      execlp("Xvfb", "Xvfb", number_.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    const std::string socket = "/tmp/.X11-unix/X" + number_.substr(1);
    ready_ = Eventually([&] { return access(socket.c_str(), F_OK) == 0; }, 10);
  }
  ~VirtualDisplay() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Ready() const { return ready_; }
  const std::string& Name() const { return number_; }

 private:
  std::string number_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

class QuobranProcess {
 public:
  QuobranProcess(const std::vector<std::string>& environment) {
    pid_ = fork();
    if (pid_ == 0) {
      for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
      execlp("unshare", "unshare", "--net", QUOBRAN_PROGRAM, static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~QuobranProcess() {
    if (pid_ > 0 && !Ended()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Ended() {
    if (ended_) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) ended_ = true;
    return ended_;
  }

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
};

TEST(QuobranWindow, AnalysesStretchesAndExitsByRealClicks) {
  const std::string missing = Why();
  if (!missing.empty()) GTEST_SKIP() << missing;
  if (Shell("command -v Xvfb >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "Xvfb and xdotool are needed (packages xvfb, xdotool)";
  }
  REQUIRE_SCRATCH_BTRFS();
  testing_support::ScratchBtrfs volume;
  ASSERT_TRUE(volume.Mounted());
  testing_support::MakeDirs(volume.root() + "data/old");
  const std::string text(3 << 20, 'q');
  for (int i = 0; i < 3; ++i) testing_support::WriteFile(volume.root() + "data/old/file" + std::to_string(i), text);
  // Seldom used: last accessed long ago.
  ASSERT_EQ(Shell("touch -a -d '2001-01-01' " + volume.root() + "data/old/*"), 0);
  VirtualDisplay display;
  ASSERT_TRUE(display.Ready());
  TempDir home;
  const std::string log = home.path() + "Quobran.log";
  QuobranProcess quobran({"DISPLAY=" + display.Name(), "QUOBRAN_HOME=" + home.path(),
                          "QUOBRAN_DRIVES=" + volume.root(), "QT_QPA_PLATFORM=xcb",
                          // The scratch volume lies below /tmp, which "Exclude Windows System
                          // Folders" would skip as the temporary folder.
                          "TMPDIR=/nonexistent-quobran-temp/"});

  ASSERT_TRUE(Eventually([&] { return Count(ReadLogEvents(log), "Analyze|Stopped|As need") == 1; }, 60));
  std::this_thread::sleep_for(std::chrono::seconds(2));
  std::vector<std::string> events = ReadLogEvents(log);
  EXPECT_EQ(events.front(), "Quobran|Started|User request");
  EXPECT_EQ(Count(events, "Analyze|Stopped|As need"), 1);
  EXPECT_EQ(Count(events, "Analyze|FilesCount|3"), 1);
  EXPECT_EQ(std::count_if(events.begin(), events.end(),
                          [](const std::string& e) { return e.rfind("Analyze|Supposed Save Disk Space|", 0) == 0; }),
            1);

  const auto click = [&](int x, int y) {
    return Shell("DISPLAY=" + display.Name() + " xdotool search --onlyvisible --name '^Quobran$' mousemove --window %1 " +
                 std::to_string(x) + " " + std::to_string(y) + " click 1 >/dev/null 2>&1");
  };
  ASSERT_EQ(click(304 + 145, 216 + 13), 0);  // "Stretch My Disk(s)"
  ASSERT_TRUE(Eventually([&] { return Count(ReadLogEvents(log), "Stretching|Stopped|As need") == 1; }, 90));
  events = ReadLogEvents(log);
  EXPECT_EQ(Count(events, "Stretching|Complete|As Need"), 1);
  EXPECT_EQ(Count(events, "Stretching|FilesCount|3"), 1);

  ASSERT_EQ(click(304 + 145, 462 + 13), 0);  // "Exit"
  ASSERT_TRUE(Eventually([&] { return quobran.Ended(); }, 30));
  events = ReadLogEvents(log);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events.back(), "Stretch Thread|Termonating|Main Request");
  const auto exit_line = std::find(events.begin(), events.end(), "Quobran|Exit|User request");
  ASSERT_NE(exit_line, events.end());
  EXPECT_LT(exit_line - events.begin(), static_cast<long>(events.size()) - 1);
}

TEST(QuobranWindow, SecondInstanceEndsWithoutTouchingSettingsOrLog) {
  const std::string missing = Why();
  if (!missing.empty()) GTEST_SKIP() << missing;
  TempDir home;
  const std::string env = "QT_QPA_PLATFORM=offscreen QUOBRAN_HOME=" + home.path() + " QUOBRAN_DRIVES=/nonexistent ";
  // Both processes in one network namespace, so they see each other's marker.
  const std::string script =
      env + QUOBRAN_PROGRAM " & first=$!; "
      "for i in $(seq 100); do grep -q 'Supposed Save Disk Space' " + home.path() + "Quobran.log 2>/dev/null && break; sleep 0.1; done; "
      "sleep 1; cp " + home.path() + "Quobran.ini " + home.path() + "before.ini; cp " + home.path() + "Quobran.log " +
      home.path() + "before.log; "
      "timeout 20 env " + env + QUOBRAN_PROGRAM " clear-not-this-time; echo $? > " + home.path() + "second.rc; "
      "kill $first; wait $first 2>/dev/null; true";
  testing_support::WriteFile(home.path() + "two.sh", script);
  ASSERT_EQ(Shell("unshare --net bash " + home.path() + "two.sh >/dev/null 2>&1"), 0);
  EXPECT_EQ(testing_support::ReadFile(home.path() + "second.rc"), "0\n");
  EXPECT_FALSE(testing_support::ReadFile(home.path() + "before.ini").empty());
  EXPECT_EQ(testing_support::ReadFile(home.path() + "before.ini"), testing_support::ReadFile(home.path() + "Quobran.ini"));
  EXPECT_EQ(testing_support::ReadFile(home.path() + "before.log"), testing_support::ReadFile(home.path() + "Quobran.log"));
}

}  // namespace
