// A saving process killed at random moments never leaves a cut use data file: what is there reads
// back whole, with the records of the last finished save or of the one before it.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <unordered_set>

#include "shared/path_hash.h"
#include "shared/use_data_file.h"
#include "shared/use_data_format.h"
#include "temp_dir.h"

extern char** environ;

namespace {

constexpr int kBasePaths = 2000;
constexpr int kKills = 200;
const std::string kBasePrefix = "/home/user/documents/base-";

pid_t StartSaver(const std::string& directory, bool once) {
  std::vector<std::string> args = {USE_DATA_SAVER_PATH, directory, std::to_string(kBasePaths)};
  if (once) args.emplace_back("once");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, USE_DATA_SAVER_PATH, nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

struct Generation {
  int64_t uses = 0;  // of every base path: the number of finished saves
  size_t records = 0;
};

// Checks the files as a kill left them; returns what they hold.
Generation CheckFiles(const std::string& directory) {
  Generation generation;
  const shared::UseData data = shared::ReadUseData(directory + shared::kUseDataFileName);
  EXPECT_TRUE(data.Whole()) << "source " << static_cast<int>(data.source) << ", end " << static_cast<int>(data.end)
                            << ", tagged " << data.tagged << ", dropped " << data.dropped_tail;
  const std::string index = testing_support::ReadFile(directory + shared::kHashIndexFileName);
  EXPECT_TRUE(shared::HasFormatTag(index));
  std::unordered_set<int32_t> indexed;
  for (size_t at = shared::kHeaderSize; at + 4 <= index.size(); at += 4) {
    uint32_t bits = 0;
    for (size_t b = 0; b < 4; ++b) bits |= uint32_t{static_cast<unsigned char>(index[at + b])} << (8 * b);
    indexed.insert(static_cast<int32_t>(bits));
  }
  std::set<std::string> paths;
  shared::UseRecordReader reader(data.content);
  shared::UseRecord record;
  int64_t base_uses = -1;
  while (reader.Next(record)) {
    ++generation.records;
    EXPECT_TRUE(paths.emplace(record.Path).second) << "stored twice: " << record.Path;
    // The index is synced before the use data is replaced.
    EXPECT_EQ(indexed.count(record.PathHash), 1u) << "hash of " << record.Path << " missing from the index";
    if (record.Path.substr(0, kBasePrefix.size()) == kBasePrefix) {
      if (base_uses < 0) base_uses = record.UseCount;
      EXPECT_EQ(record.UseCount, base_uses) << "records of two saves mixed: " << record.Path;
    }
  }
  generation.uses = base_uses;
  EXPECT_EQ(generation.records, static_cast<size_t>(kBasePaths + base_uses));
  return generation;
}

TEST(UseDataCrashTest, AKillAtAnyMomentLeavesTheOldFileOrTheNewOne) {
  testing_support::TempDir directory;
  // Single saves, timed from the start of the process: kills then fall before, in and after the
  // first save of a run, however fast this build is.
  std::chrono::microseconds one_save{0};
  int status = 0;
  for (int run = 0; run < 3; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t once = StartSaver(directory.path(), true);
    ASSERT_GT(once, 0);
    ASSERT_EQ(waitpid(once, &status, 0), once);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    one_save = std::max(one_save, std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start));
  }
  Generation last = CheckFiles(directory.path());
  ASSERT_EQ(last.uses, 3);
  const auto longest_wait = std::min<int64_t>(5 * one_save.count() / 2, 200000);

  std::mt19937 random(20240611);
  int advanced = 0;
  for (int kill_number = 0; kill_number < kKills; ++kill_number) {
    const pid_t saver = StartSaver(directory.path(), false);
    ASSERT_GT(saver, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % static_cast<uint64_t>(longest_wait)));
    ASSERT_EQ(kill(saver, SIGKILL), 0);
    ASSERT_EQ(waitpid(saver, &status, 0), saver);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saver ended by itself (status " << status << ") at kill " << kill_number;
    const Generation now = CheckFiles(directory.path());
    if (::testing::Test::HasFailure()) FAIL() << "at kill " << kill_number;
    EXPECT_GE(now.uses, last.uses) << "a kill took finished saves back";
    if (now.uses > last.uses) ++advanced;
    last = now;
  }
  std::printf("one save: %lld us; %d kills, %d after at least one finished save, %lld saves in all\n",
              static_cast<long long>(one_save.count()), kKills, advanced, static_cast<long long>(last.uses));
  EXPECT_GT(advanced, 0);
  EXPECT_LT(advanced, kKills);
}

}  // namespace
