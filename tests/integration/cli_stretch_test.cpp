// quobran-cli as a real process over a loop-mounted btrfs: what it prints, what it logs, and that
// no sequence of passes changes a byte or a time of any file.
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "engine_harness.h"
#include "sample_data.h"
#include "scratch_btrfs.h"
#include "shared/ascii_case.h"
#include "watcher/save_monitor_data.h"

namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using testing_support::CompressibleText;
using testing_support::IncompressibleBytes;
using testing_support::ReadFile;
using testing_support::Shell;
using testing_support::WriteFile;

struct CliRun {
  int exit_code = -1;
  std::string out;
  std::string err;
};

class CliTest : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SCRATCH_BTRFS();
    // quobran-cli holds the "Quobran" marker, an abstract socket name: a network namespace of our
    // own keeps a Quobran of another test (or of the user) from making it end with 3.
    static const bool isolated = unshare(CLONE_NEWNET) == 0;
    ASSERT_TRUE(isolated);
    // Fingerprints read every file: without noatime that would make them all recently used.
    fs_ = std::make_unique<testing_support::ScratchBtrfs>(768, "noatime");
    root_ = fs_->root();
  }

  CliRun Cli(const std::string& arguments) {
    const std::string err_path = home_.path() + "stderr";
    const std::string command = "QUOBRAN_HOME='" + home_.path() + "' " QUOBRAN_CLI " " + arguments + " 2>'" + err_path + "'";
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t read = 0;
    while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, read);
    const int status = pclose(pipe);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = ReadFile(err_path);
    return run;
  }

  std::vector<std::string> LogEvents() { return testing_support::ReadLogEvents(home_.path() + "Quobran.log"); }

  std::string Capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t read = 0;
    while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, read);
    pclose(pipe);
    return out;
  }

  // Every file's SHA-256, access and modification time.
  std::string Fingerprint(const std::string& folder) {
    return Capture("cd '" + folder + "' && find . -type f -printf '%P %A@ %T@\\n' | sort && find . -type f -print0 | sort -z | xargs -0 sha256sum");
  }
  std::string Flags(const std::string& folder) { return Capture("lsattr -R '" + folder + "' 2>/dev/null"); }
  int64_t DiskUsage(const std::string& folder) {
    Shell("sync");
    std::istringstream lines(Capture("compsize -b '" + folder + "' 2>/dev/null"));
    std::string line;
    while (std::getline(lines, line)) {
      std::istringstream fields(line);
      std::string name, percent;
      int64_t usage = 0;
      if (fields >> name >> percent >> usage && name == "TOTAL") return usage;
    }
    return -1;
  }

  std::unique_ptr<testing_support::ScratchBtrfs> fs_;
  std::string root_;
  testing_support::TempDir home_;
};

// A mixed tree of 2,000 files last used ten days ago: text that compresses, noise that does not,
// files of at most two clusters, names with listed extensions.
void MakeMixedTree(const std::string& top) {
  for (int folder = 0; folder < 40; ++folder) {
    const std::string dir = top + "d" + std::to_string(folder) + "/";
    testing_support::MakeDirs(dir);
    for (int i = 0; i < 50; ++i) {
      const int n = folder * 50 + i;
      const std::string name = dir + "f" + std::to_string(i);
      switch (n % 5) {
        case 0: WriteFile(name + ".txt", CompressibleText(9000 + (n * 131) % 60000, n)); break;
        case 1: WriteFile(name + ".log", CompressibleText(20000 + (n * 977) % 200000, n)); break;
        case 2: WriteFile(name + ".bin", IncompressibleBytes(10000 + (n * 71) % 30000, static_cast<uint32_t>(n))); break;
        case 3: WriteFile(name + ".small", CompressibleText(100 + n % 8000, n)); break;
        default: WriteFile(name + ".jpg", CompressibleText(30000, n)); break;
      }
    }
  }
  ASSERT_EQ(Shell("find '" + top + "' -type f -exec touch -a -m -d '10 days ago' {} +"), 0);
}

TEST_F(CliTest, HelpBadWordsAndMissingFolders) {
  const CliRun help = Cli("--help");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_THAT(help.out, HasSubstr("usage: quobran-cli analyze|stretch"));
  EXPECT_THAT(help.out, HasSubstr("3 Quobran already running"));
  struct Case {
    const char* arguments;
    const char* message;
  } cases[] = {
      {"", "no command given"},
      {"compress " , "unknown command compress"},
      {"analyze --fast /", "unknown option --fast"},
      {"analyze", "no folder given"},
      {"analyze /no/such/folder", "not a folder: /no/such/folder"},
      {"analyze --log", "--log needs a file name"},
  };
  for (const Case& c : cases) {
    const CliRun run = Cli(c.arguments);
    EXPECT_EQ(run.exit_code, 2) << c.arguments;
    EXPECT_THAT(run.err, HasSubstr(c.message)) << c.arguments;
    EXPECT_TRUE(run.out.empty()) << c.arguments;
  }
  EXPECT_FALSE(std::ifstream(home_.path() + "Quobran.log").good());  // bad words start nothing

  // The scratch volume lies below the temporary folder: skipped, and said so.
  const CliRun skipped = Cli("analyze --exclude-system '" + root_ + "'");
  EXPECT_EQ(skipped.exit_code, 0);
  EXPECT_THAT(skipped.err, HasSubstr("lies in a system folder and is skipped"));
  EXPECT_THAT(Cli("analyze --no-exclude-system '" + root_ + "'").err, testing::Not(HasSubstr("system folder")));
}

TEST_F(CliTest, StretchPrintsProgressTheStatisticsAndLogsEachAction) {
  const std::string top = root_ + "top/";
  testing_support::MakeDirs(top + "a");
  WriteFile(top + "a/big.txt", CompressibleText(3 << 20, 1));
  WriteFile(top + "a/two-clusters.txt", CompressibleText(8192, 2));
  for (int i = 0; i < 40; ++i) WriteFile(top + "tried" + std::to_string(i) + ".txt", CompressibleText(1 << 20, i));
  ASSERT_EQ(Shell("find '" + top + "' -type f -exec touch -a -m -d '10 days ago' {} +"), 0);

  const CliRun run = Cli("stretch --no-exclude-system --try-file '" + top + "'");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_THAT(run.err, HasSubstr("Stretching " + top));
  std::istringstream out(run.out);
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 7u) << run.out;
  EXPECT_EQ(lines[0], "All Files Count: 42");
  EXPECT_EQ(lines[1], "Compressed Files Count: 0");
  EXPECT_EQ(lines[2], "All Files Size: 43 Mebibytes");
  EXPECT_THAT(lines[6], testing::MatchesRegex("Saved Disk\\(s\\) Space: [0-9]+ Mebibytes"));

  const auto events = LogEvents();
  ASSERT_GE(events.size(), 8u);
  EXPECT_EQ(events[0], "Quobran|Started|User request");
  EXPECT_EQ(events[1], "Rescan|Started|Initiated");
  EXPECT_EQ(std::count(events.begin(), events.end(), "Compress|" + top + "a/big.txt|Seldom used"), 1);
  EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.rfind("Compress|", 0) == 0; }), 41);
  const size_t n = events.size();
  EXPECT_EQ(events[n - 6], "Stretching|Complete|As Need");
  EXPECT_EQ(events[n - 5], "Stretching|Stopped|As need");
  EXPECT_EQ(events[n - 4], "Stretching|FilesCount|42");
  EXPECT_THAT(events[n - 3], testing::MatchesRegex("Stretching\\|Saved Disk Space\\|[0-9]+"));
  EXPECT_EQ(events[n - 2], "Quobran|Exit|User request");
  EXPECT_EQ(events[n - 1], "Stretch Thread|Termonating|Main Request");
}

TEST_F(CliTest, NoPassChangesABytesOrATimeAndTheSavingMatchesTheDisk) {
  const std::string top = root_ + "mixed/";
  MakeMixedTree(top);
  const std::string fingerprint = Fingerprint(top);
  const std::string flags = Flags(top);
  const int64_t usage_before = DiskUsage(top);
  ASSERT_GT(usage_before, 0) << "compsize missing?";

  const CliRun analysis = Cli("analyze --no-exclude-system --try-file '" + top + "'");
  ASSERT_EQ(analysis.exit_code, 0) << analysis.err;
  EXPECT_THAT(analysis.out, HasSubstr("All Files Count: 2000"));
  EXPECT_EQ(Fingerprint(top), fingerprint);
  EXPECT_EQ(Flags(top), flags);
  EXPECT_EQ(DiskUsage(top), usage_before);

  const size_t logged_before = LogEvents().size();
  const CliRun stretch = Cli("stretch --no-exclude-system '" + top + "'");
  ASSERT_EQ(stretch.exit_code, 0) << stretch.err;
  EXPECT_EQ(Fingerprint(top), fingerprint);
  const auto events = LogEvents();
  int64_t changed = 0, saved = -1;
  for (size_t i = logged_before; i < events.size(); ++i) {
    if (events[i].rfind("Compress|", 0) == 0) ++changed;
    if (events[i].rfind("Stretching|Saved Disk Space|", 0) == 0) saved = std::stoll(events[i].substr(28));
  }
  EXPECT_GT(changed, 600);
  const int64_t usage_after = DiskUsage(top);
  EXPECT_NEAR(static_cast<double>(usage_before - usage_after), static_cast<double>(saved), 4096.0 * static_cast<double>(changed));
  EXPECT_GT(saved, 0);

  // Files used again are decompressed; then everything is defragmented.
  ASSERT_EQ(Shell("find '" + top + "d0' '" + top + "d1' -name '*.log' -exec touch -a {} +"), 0);
  const std::string used_again = Fingerprint(top);
  const CliRun decompress = Cli("stretch --no-exclude-system --decomp-worthy '" + top + "'");
  ASSERT_EQ(decompress.exit_code, 0) << decompress.err;
  const auto after_decompress = LogEvents();
  EXPECT_EQ(std::count_if(after_decompress.begin(), after_decompress.end(),
                          [](const std::string& e) { return e.rfind("Decompress|", 0) == 0 && e.find("|Frequently used") != std::string::npos; }),
            20);
  EXPECT_EQ(Fingerprint(top), used_again);
  const CliRun defragment = Cli("stretch --no-exclude-system --defragment --defragment-any '" + top + "'");
  ASSERT_EQ(defragment.exit_code, 0) << defragment.err;
  EXPECT_EQ(Fingerprint(top), used_again);
}

TEST_F(CliTest, VelnorsStatisticsDecideWhenAskedTo) {
  const std::string top = root_ + "used/";
  testing_support::MakeDirs(top);
  // Both files were just written: by their access times both are in use.
  WriteFile(top + "rarely.txt", CompressibleText(100000, 1));
  WriteFile(top + "unknown.txt", CompressibleText(100000, 2));
  watcher::UseTable table;
  const std::string rarely = shared::AsciiLower(top + "rarely.txt");
  table.RecordUse(3, rarely, 1000000);
  table.RecordUse(3, rarely, 1000000 + 10 * 86400);  // one use every ten days
  ASSERT_EQ(watcher::SaveMonitorData(table, watcher::UseDataFilesIn(home_.path())), watcher::SaveResult::kSaved);

  ASSERT_EQ(Cli("stretch --no-exclude-system --no-use-velnor '" + top + "'").exit_code, 0);
  const auto without = LogEvents();
  EXPECT_EQ(std::count_if(without.begin(), without.end(), [](const std::string& e) { return e.rfind("Compress|", 0) == 0; }), 0);
  ASSERT_EQ(Cli("stretch --no-exclude-system --use-velnor '" + top + "'").exit_code, 0);
  const auto events = LogEvents();
  EXPECT_EQ(std::count(events.begin(), events.end(), "Compress|" + top + "rarely.txt|Seldom used"), 1);
  EXPECT_EQ(std::count_if(events.begin(), events.end(), [](const std::string& e) { return e.rfind("Compress|", 0) == 0; }), 1);
}

}  // namespace
