// Section "Main" of Quobran.ini, the window rules and the hand-over of the options to the engine.
#include "compressor/quobran_settings.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "engine_harness.h"
#include "shared/settings_file.h"
#include "temp_dir.h"

namespace {

using compressor::Box;
using compressor::OptionsPanel;
using compressor::WindowRect;
using testing_support::ReadFile;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
// Where the designed window stands before the settings are read.
constexpr WindowRect kDesigned{0, 0, 611, 548};

class CountingSounds final : public compressor::SoundPlayer {
 public:
  void Play(compressor::Sound) override { ++played; }
  int played = 0;
};

class ScriptedQuestion final : public compressor::Question {
 public:
  bool AskYesNo(std::string_view) override {
    ++asked;
    return true;
  }
  int asked = 0;
};

// A panel whose saves go to Quobran.ini in a temporary folder, with the window at `window`.
class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest()
      : panel_({question_, sounds_, [this] { Save(); }, [this] { Pump(); }, [this] { return watcher_table_; }}) {}

  std::string Path() const { return dir_.path() + shared::kSettingsFileName; }
  void Save() {
    ++saves_;
    compressor::SaveSettings(panel_, Path(), window_);
  }
  void Pump() {
    ++pumps_;
    if (pumps_ == engine_after_pumps_) panel_.SetEngine(&harness_.scan());
  }
  compressor::WindowPlacement Load(const WindowRect& current = kDesigned) {
    return compressor::LoadSettings(panel_, Path(), current, kScreenWidth, kScreenHeight);
  }

  TempDir dir_;
  CountingSounds sounds_;
  ScriptedQuestion question_;
  testing_support::EngineHarness harness_;
  const shared::WatcherTable* watcher_table_ = nullptr;
  WindowRect window_ = kDesigned;
  int saves_ = 0;
  int pumps_ = 0;
  int engine_after_pumps_ = -1;
  OptionsPanel panel_;
};

TEST_F(SettingsTest, WithoutAFileTheDefaultsHoldAndStartUpWritesAllFifteenKeys) {
  const compressor::WindowPlacement placement = Load();
  EXPECT_FALSE(placement.restore) << "opens centred";
  for (const compressor::OptionBoxDesign& design : compressor::kOptionBoxes) {
    const bool expected = design.box == Box::cb1 || design.box == Box::cb2 || design.box == Box::cb4 ||
                          design.box == Box::cb7;
    EXPECT_EQ(panel_.Checked(design.box), expected) << design.key;
  }
  EXPECT_EQ(sounds_.played, 0);
  EXPECT_EQ(question_.asked, 0);
  EXPECT_EQ(saves_, 0);

  // Start-up goes on: the engine exists, the options are handed over and saved.
  panel_.SetEngine(&harness_.scan());
  panel_.ApplyOptions();
  EXPECT_EQ(ReadFile(Path()),
            "[Main]\nExcludeSystem=1\nSmartFile=1\nTryFile=0\nPreserveSystem=1\nDecompWorthy=0\nDisSound=0\n"
            "SaveWinPos=1\nClearLog=0\nUseVelnor=0\nDefragment=0\nDefragmentAny=0\nWinX=0\nWinY=0\nWinW=611\n"
            "WinH=548\n");
}

TEST_F(SettingsTest, AWordReadsAsTheDefaultAndTwoAsTrue) {
  WriteFile(Path(), "[main]\nexcludesystem=word\nSMARTFILE=0\nTryFile=2\nDisSound=-1\nSaveWinPos=\n");
  Load();
  EXPECT_TRUE(panel_.Checked(Box::cb1));
  EXPECT_FALSE(panel_.Checked(Box::cb2));
  EXPECT_TRUE(panel_.Checked(Box::cb3));
  EXPECT_TRUE(panel_.Checked(Box::cb6));
  EXPECT_TRUE(panel_.Checked(Box::cb7));
}

TEST_F(SettingsTest, LoadingUncheckedWarningOptionsAsksNothingPlaysNothingSavesNothing) {
  WriteFile(Path(), "[Main]\nExcludeSystem=0\nPreserveSystem=0\nUseVelnor=1\nDefragment=1\nDisSound=1\n");
  panel_.SetEngine(&harness_.scan());
  Load();
  EXPECT_FALSE(panel_.Checked(Box::cb1));
  EXPECT_FALSE(panel_.Checked(Box::cb4));
  EXPECT_TRUE(panel_.Checked(Box::cb9));
  EXPECT_EQ(question_.asked, 0);
  EXPECT_EQ(sounds_.played, 0);
  EXPECT_EQ(saves_, 0);
  EXPECT_FALSE(panel_.LoadingSettings);
}

TEST_F(SettingsTest, TheStoredPlaceIsUsedOnlyInsideTheScreenMargins) {
  struct Case {
    const char* stored;
    bool restore;
    WindowRect rect;
  };
  const Case cases[] = {
      {"WinX=100\nWinY=50\nWinW=800\nWinH=600", true, {100, 50, 800, 600}},
      {"WinX=0\nWinY=50", false, {}},  // 0 is on the screen, yet not restored
      {"WinX=1\nWinY=1", true, {1, 1, 611, 548}},
      {"WinX=1910\nWinY=50", false, {}},  // screen width - 10
      {"WinX=1909\nWinY=50", true, {1909, 50, 611, 548}},
      {"WinX=100\nWinY=1070", false, {}},
      {"WinX=100\nWinY=1069", true, {100, 1069, 611, 548}},
      {"WinX=-5\nWinY=50", false, {}},
      {"WinX=100\nWinY=0", false, {}},
      {"WinX=100\nWinY=50\nWinW=200\nWinH=100", true, {100, 50, 611, 548}},  // below the minimum size
      {"WinX=100\nWinY=50\nWinW=wide", true, {100, 50, 611, 548}},          // the current size stands in
      {"WinX=100\nWinY=50\nSaveWinPos=0", false, {}},
      {"", false, {}},
  };
  for (const Case& c : cases) {
    WriteFile(Path(), std::string("[Main]\n") + c.stored + "\n");
    const compressor::WindowPlacement placement = Load();
    EXPECT_EQ(placement.restore, c.restore) << c.stored;
    if (c.restore) {
      EXPECT_EQ(placement.rect, c.rect) << c.stored;
    }
  }
}

TEST_F(SettingsTest, MissingPlaceKeysTakeTheCurrentFrame) {
  WriteFile(Path(), "[Main]\nWinY=70\n");
  const compressor::WindowPlacement placement = Load({30, 40, 700, 650});
  EXPECT_TRUE(placement.restore);
  EXPECT_EQ(placement.rect, (WindowRect{30, 70, 700, 650}));
}

TEST_F(SettingsTest, ThePlaceIsWrittenEvenWhenItWillNotBeRestored) {
  WriteFile(Path(), "[Main]\nSaveWinPos=0\n");
  Load();
  window_ = {123, 45, 640, 560};
  compressor::SaveSettings(panel_, Path(), window_);
  const shared::Profile profile = shared::ReadProfile(Path());
  EXPECT_EQ(profile.GetInt("Main", "SaveWinPos", -1), 0);
  EXPECT_EQ(profile.GetInt("Main", "WinX", -1), 123);
  EXPECT_EQ(profile.GetInt("Main", "WinH", -1), 560);
}

TEST_F(SettingsTest, SectionsAndKeysWeDoNotKnowSurviveOurSaves) {
  WriteFile(Path(), "[Informer]\nWinX=300\nWinY=400\n\n[Main]\nTryFile=1\nNewerOption=5\n");
  Load();
  panel_.SetEngine(&harness_.scan());
  panel_.ApplyOptions();
  window_.left = 9;
  compressor::SaveSettings(panel_, Path(), window_);
  const shared::Profile profile = shared::ReadProfile(Path());
  EXPECT_EQ(profile.GetInt("Informer", "WinX", -1), 300);
  EXPECT_EQ(profile.GetInt("Informer", "WinY", -1), 400);
  EXPECT_EQ(profile.GetInt("Main", "NewerOption", -1), 5);
  EXPECT_EQ(profile.GetInt("Main", "TryFile", -1), 1);
  EXPECT_EQ(profile.GetInt("Main", "WinX", -1), 9);
  EXPECT_EQ(shared::ReadInformerPosition(Path(), {}).WinX, 300);
}

TEST_F(SettingsTest, NothingIsSavedWhileTheSettingsAreRead) {
  panel_.LoadingSettings = true;
  EXPECT_FALSE(compressor::SaveSettings(panel_, Path(), window_));
  EXPECT_NE(access(Path().c_str(), F_OK), 0);
}

TEST_F(SettingsTest, ApplyOptionsCopiesTheEightEngineOptionsAndTheWatcherTableAndEndsAPause) {
  const shared::WatcherTable table;
  watcher_table_ = &table;
  engine::DScan& scan = harness_.scan();
  panel_.SetEngine(&scan);
  panel_.LoadingSettings = true;  // set the boxes without their handlers
  for (const Box box : {Box::cb2, Box::cb4, Box::cb6, Box::cb7, Box::cb9, Box::cb11}) panel_.SetChecked(box, true);
  panel_.LoadingSettings = false;
  scan.Paused = true;
  scan.ExcludeSystem = true;
  panel_.ApplyOptions();
  EXPECT_FALSE(scan.ExcludeSystem.load());
  EXPECT_TRUE(scan.SmartFile.load());
  EXPECT_FALSE(scan.TryFile.load());
  EXPECT_TRUE(scan.PreserveSystem.load());
  EXPECT_FALSE(scan.DecompWorthy.load());
  EXPECT_TRUE(scan.UseVelnor.load());
  EXPECT_FALSE(scan.Defragment.load());
  EXPECT_TRUE(scan.DefragmentAny.load());
  EXPECT_EQ(scan.Watcher.load(), &table);
  EXPECT_FALSE(scan.Paused.load());
  EXPECT_EQ(saves_, 1);
}

TEST_F(SettingsTest, ApplyOptionsWaitsForTheEngineAThousandRoundsAtMost) {
  panel_.ApplyOptions();
  EXPECT_EQ(pumps_, 1000);
  EXPECT_EQ(saves_, 0) << "without an engine nothing is copied or saved";

  pumps_ = 0;
  engine_after_pumps_ = 3;  // the engine object appears while the window's messages run
  harness_.scan().Paused = true;
  panel_.ApplyOptions();
  EXPECT_EQ(pumps_, 3);
  EXPECT_FALSE(harness_.scan().Paused.load());
  EXPECT_EQ(saves_, 1);
}

}  // namespace
