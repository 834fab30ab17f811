// Quobran.ini as both programs read and write it.
#include "shared/settings_file.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "temp_dir.h"

namespace {

using shared::Profile;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr int32_t kFallback = -77;

TEST(ProfileReadTest, FindsValuesAsThePrivateProfileFunctionsDo) {
  const Profile profile = Profile::Parse(
      "top=outside any section\r\n"
      "; a comment\r\n"
      "[main]\r\n"
      "  ExcludeSystem =  0  \r\n"
      "exCLUDEsystem=1\r\n"
      "Quoted=\"12\"\r\n"
      "Single='x y'\r\n"
      ";WinX=5\r\n"
      "NoEquals\r\n"
      "[ Informer ]\r\n"
      "WinX=40\r\n"
      "[MAIN]\r\n"
      "SmartFile=0\r\n");
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"Main", "ExcludeSystem", "0"},   // case-insensitive, blanks trimmed, the first key wins
      {"MAIN", "excludesystem", "0"},
      {"Main", "Quoted", "12"},         // one pair of quotes removed
      {"Main", "Single", "x y"},
      {"Main", "WinX", std::nullopt},   // commented out
      {"Main", "NoEquals", std::nullopt},
      {"Main", "SmartFile", std::nullopt},  // in the second "Main": the first section wins
      {"Informer", "WinX", "40"},       // blanks inside the brackets do not count
      {"Main", "top", std::nullopt},    // keys before any section belong to none
      {"Missing", "WinX", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(profile.Get(c.section, c.key), c.expected) << c.section << "/" << c.key;
  EXPECT_EQ(profile.GetInt("Main", "Quoted", kFallback), 12);
}

TEST(ProfileReadTest, AnythingButADecimalIntegerGivesTheFallback) {
  struct Case {
    const char* value;
    std::optional<int32_t> expected;
  };
  const Case cases[] = {
      {"0", 0},
      {"1", 1},
      {"2", 2},  // a boolean stored as 2 reads as true
      {"-5", -5},
      {"+7", 7},
      {" 42 ", 42},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {"", std::nullopt},
      {"-", std::nullopt},
      {"word", std::nullopt},
      {"12abc", std::nullopt},
      {"1 2", std::nullopt},
      {"0x10", std::nullopt},
      {"1.5", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(shared::ParseProfileInt(c.value), c.expected) << '"' << c.value << '"';
    const Profile profile = Profile::Parse(std::string("[Main]\nKey=") + c.value + "\n");
    EXPECT_EQ(profile.GetInt("Main", "Key", kFallback), c.expected.value_or(kFallback)) << '"' << c.value << '"';
  }
}

TEST(ProfileWriteTest, SetChangesOnlyTheValueAndAddsWhatIsMissingWhereItBelongs) {
  Profile profile = Profile::Parse(
      "; kept\n"
      "[main]\n"
      "excludesystem = 1\n"
      "Foreign=keep me\n"
      "\n"
      "[Informer]\n"
      "WinX=3\n");
  profile.Set("Main", "ExcludeSystem", "0");
  profile.Set("Main", "WinW", "700");
  profile.Set("Other", "A", "b");
  EXPECT_EQ(profile.Text(),
            "; kept\n"
            "[main]\n"
            "excludesystem =0\n"
            "Foreign=keep me\n"
            "WinW=700\n"
            "\n"
            "[Informer]\n"
            "WinX=3\n"
            "\n"
            "[Other]\n"
            "A=b\n");
}

TEST(ProfileWriteTest, KeepsTheFileOwnLineEnds) {
  Profile profile = Profile::Parse("[Main]\r\nA=1\r\n");
  profile.Set("Main", "B", "2");
  EXPECT_EQ(profile.Text(), "[Main]\r\nA=1\r\nB=2\r\n");
}

class SettingsFileTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.path() + shared::kSettingsFileName; }
  TempDir dir_;
};

TEST_F(SettingsFileTest, MissingFileReadsEmptyAndTheFirstWriteCreatesIt) {
  EXPECT_EQ(shared::ReadProfile(Path()).GetInt("Main", "WinX", kFallback), kFallback);
  ASSERT_TRUE(shared::WriteProfile(Path(), "Main", {{"A", "1"}, {"B", "0"}}));
  EXPECT_EQ(ReadFile(Path()), "[Main]\nA=1\nB=0\n");
  EXPECT_NE(access((Path() + ".tmp").c_str(), F_OK), 0) << "the temporary file is gone";
}

TEST_F(SettingsFileTest, KeepsSectionsKeysAndCommentsItDoesNotOwn) {
  WriteFile(Path(),
            "[Informer]\nWinX=12\nWinY=34\n; Velnor's own note\n\n[Main]\nExcludeSystem=1\nFutureKey=abc\n");
  ASSERT_TRUE(shared::WriteProfile(Path(), "Main", {{"ExcludeSystem", "0"}, {"WinX", "5"}}));
  ASSERT_TRUE(shared::WriteInformerPosition(Path(), {56, 78}));
  EXPECT_EQ(ReadFile(Path()),
            "[Informer]\nWinX=56\nWinY=78\n; Velnor's own note\n\n[Main]\nExcludeSystem=0\nFutureKey=abc\nWinX=5\n");
}

TEST_F(SettingsFileTest, InformerPositionFallsBackToTheDesignedPlacePerKey) {
  WriteFile(Path(), "[Main]\nWinX=999\n[informer]\nwinx=-20\nWinY=far\n");
  const shared::InformerPosition position = shared::ReadInformerPosition(Path(), {0, 0});
  EXPECT_EQ(position.WinX, -20);
  EXPECT_EQ(position.WinY, 0);
}

TEST_F(SettingsFileTest, KeepsTheFileModeAndNeverWritesThroughALink) {
  WriteFile(Path(), "[Main]\nA=1\n");
  ASSERT_EQ(chmod(Path().c_str(), 0600), 0);
  ASSERT_TRUE(shared::WriteProfile(Path(), "Main", {{"A", "2"}}));
  struct stat st {};
  ASSERT_EQ(stat(Path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  const std::string target = dir_.path() + "elsewhere.ini";
  WriteFile(target, "[Main]\nA=1\n");
  ASSERT_EQ(unlink(Path().c_str()), 0);
  ASSERT_EQ(symlink(target.c_str(), Path().c_str()), 0);
  EXPECT_FALSE(shared::ReadProfile(Path()).Get("Main", "A").has_value());
  EXPECT_FALSE(shared::WriteProfile(Path(), "Main", {{"A", "2"}}));
  EXPECT_EQ(ReadFile(target), "[Main]\nA=1\n");
}

TEST_F(SettingsFileTest, AFileBeyondTheBoundIsReadInPartAndNeverRewritten) {
  std::string text = "[Main]\nA=1\n";
  text.append(shared::kMaxSettingsBytes, ';');
  text.append("\nB=2\n");
  WriteFile(Path(), text);
  const Profile profile = shared::ReadProfile(Path());
  EXPECT_EQ(profile.GetInt("Main", "A", kFallback), 1);
  EXPECT_EQ(profile.GetInt("Main", "B", kFallback), kFallback);
  EXPECT_FALSE(shared::WriteProfile(Path(), "Main", {{"A", "0"}}));
  EXPECT_EQ(ReadFile(Path()).size(), text.size());
}

// Saves as fast as it can in a child process and kills it at random moments: every time, the file
// holds one of the two versions, whole, and the next save works.
TEST_F(SettingsFileTest, AKillDuringASaveLeavesAWholeFile) {
  std::string foreign = "[Informer]\nWinX=1\nWinY=2\n[Padding]\n";
  for (int i = 0; i < 4000; ++i) foreign += "Key" + std::to_string(i) + "=" + std::string(40, 'v') + "\n";
  WriteFile(Path(), foreign);
  ASSERT_TRUE(shared::WriteProfile(Path(), "Main", {{"Round", "0"}, {"Last", "end"}}));
  for (int attempt = 0; attempt < 25; ++attempt) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int round = 1;; ++round) {
        shared::WriteProfile(Path(), "Main", {{"Round", std::to_string(round % 2)}, {"Last", "end"}});
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(500 + attempt * 397 % 5000));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);

    const std::string text = ReadFile(Path());
    ASSERT_EQ(text.rfind(foreign, 0), 0u) << "attempt " << attempt;
    const Profile profile = Profile::Parse(text);
    const int32_t round = profile.GetInt("Main", "Round", kFallback);
    EXPECT_TRUE(round == 0 || round == 1) << "attempt " << attempt;
    EXPECT_EQ(profile.Get("Main", "Last"), "end") << "attempt " << attempt;
    EXPECT_EQ(profile.Get("Padding", "Key3999"), std::string(40, 'v'));
  }
  ASSERT_TRUE(shared::WriteProfile(Path(), "Main", {{"Round", "7"}}));
  EXPECT_EQ(shared::ReadProfile(Path()).GetInt("Main", "Round", kFallback), 7);
  EXPECT_NE(access((Path() + ".tmp").c_str(), F_OK), 0);
}

// Quobran and Velnor save their own sections at the same moment: neither loses the other's keys.
// Each save adds a key of its own, so an update lost anywhere in the run shows at the end.
TEST_F(SettingsFileTest, TwoWritersAtOnceKeepEachOthersKeys) {
  constexpr int kRounds = 100;
  std::thread velnor([&] {
    for (int i = 0; i < kRounds; ++i) shared::WriteProfile(Path(), "Informer", {{"V" + std::to_string(i), "1"}});
  });
  for (int i = 0; i < kRounds; ++i) shared::WriteProfile(Path(), "Main", {{"Q" + std::to_string(i), "1"}});
  velnor.join();
  const Profile profile = shared::ReadProfile(Path());
  int missing = 0;
  for (int i = 0; i < kRounds; ++i) {
    missing += profile.GetInt("Main", "Q" + std::to_string(i), 0) != 1;
    missing += profile.GetInt("Informer", "V" + std::to_string(i), 0) != 1;
  }
  EXPECT_EQ(missing, 0);
}

}  // namespace
