#include "engine/activity_log.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "engine_harness.h"
#include "temp_dir.h"

namespace {

using testing_support::FakeClock;
using testing_support::ReadFile;
using testing_support::TempDir;

TEST(ActivityLogTest, LineFormatHasTwoDigitFields) {
  EXPECT_EQ(engine::FormatLogLine({2008, 1, 5, 9, 7, 3}, "Quobran", "Started", "User request"),
            "2008-01-05 09:07:03\tQuobran\tStarted\tUser request\r\n");
  EXPECT_EQ(engine::FormatLogLine({2008, 12, 31, 23, 59, 58}, "Analyze", "FilesCount", "0"),
            "2008-12-31 23:59:58\tAnalyze\tFilesCount\t0\r\n");
}

TEST(ActivityLogTest, ControlCharactersAreEscaped) {
  struct Case {
    std::string field;
    std::string written;
  } cases[] = {
      {"/plain/path name.txt", "/plain/path name.txt"},
      {"tab\there", "tab\\there"},
      {"line\nfeed\r", "line\\nfeed\\r"},
      {std::string("nul\0bell\x07", 9) + "\x7f", "nul\\x00bell\\x07\\x7F"},
      {"\xff\xfe invalid UTF-8", "\xff\xfe invalid UTF-8"},
  };
  for (const Case& c : cases) EXPECT_EQ(engine::EscapeLogField(c.field), c.written);
  const std::string line = engine::FormatLogLine({2008, 6, 15, 14, 3, 7}, "Compress", "a\tb\nc", "Seldom used");
  EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 3);
  EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1);
}

TEST(ActivityLogTest, SeparatorsForFirstRunLaterRunsAndClearedLog) {
  TempDir dir;
  FakeClock clock;
  const std::string path = dir.path() + engine::kLogFileName;
  const std::string started = "2008-06-15 14:03:07\tQuobran\tStarted\tUser request\r\n";
  engine::ActivityLog::Open(path, false, clock)->WriteLog("Quobran", "Started", "User request");
  EXPECT_EQ(ReadFile(path), "***\r\n" + started);
  engine::ActivityLog::Open(path, false, clock)->WriteLog("Quobran", "Started", "User request");
  EXPECT_EQ(ReadFile(path), "***\r\n" + started + "\r\n\r\n***\r\n" + started);
  engine::ActivityLog::Open(path, true, clock)->WriteLog("Quobran", "Started", "User request");
  EXPECT_EQ(ReadFile(path), "***\r\n" + started);
}

TEST(ActivityLogTest, UnusableLogRunsOnSilently) {
  TempDir dir;
  FakeClock clock;
  // A folder where the log should be, and a folder that does not exist.
  testing_support::MakeDirs(dir.path() + engine::kLogFileName);
  for (const std::string& path : {dir.path() + engine::kLogFileName, dir.path() + "missing/Quobran.log"}) {
    auto log = engine::ActivityLog::Open(path, false, clock);
    ASSERT_NE(log, nullptr);
    EXPECT_FALSE(log->Valid());
    log->WriteLog("Quobran", "Started", "User request");
  }
}

TEST(ActivityLogTest, TwoWritersNeverMixLines) {
  TempDir dir;
  FakeClock clock;
  const std::string path = dir.path() + engine::kLogFileName;
  auto log = engine::ActivityLog::Open(path, true, clock);
  constexpr int kLines = 10000;
  auto writer = [&](const std::string& who) {
    for (int i = 0; i < kLines; ++i) log->WriteLog(who, "/some/longer/path/to/make/lines/wide/" + std::to_string(i), who);
  };
  std::thread a(writer, "Main");
  std::thread b(writer, "Engine");
  a.join();
  b.join();
  std::istringstream in(ReadFile(path));
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "***\r");
  int main_lines = 0, engine_lines = 0, main_next = 0, engine_next = 0;
  while (std::getline(in, line)) {
    ASSERT_EQ(line.back(), '\r');
    std::istringstream split(line.substr(0, line.size() - 1));
    std::string stamp, action, object, reason;
    std::getline(split, stamp, '\t');
    std::getline(split, action, '\t');
    std::getline(split, object, '\t');
    std::getline(split, reason, '\t');
    ASSERT_EQ(action, reason) << line;
    // Each writer's lines stay in its own order.
    const int number = std::stoi(object.substr(object.rfind('/') + 1));
    if (action == "Main") {
      ASSERT_EQ(number, main_next++);
      ++main_lines;
    } else {
      ASSERT_EQ(action, "Engine");
      ASSERT_EQ(number, engine_next++);
      ++engine_lines;
    }
  }
  EXPECT_EQ(main_lines, kLines);
  EXPECT_EQ(engine_lines, kLines);
}

}  // namespace
