// The status tick and the button actions over an engine whose thread never runs: the test sets
// its counters and flags, so every decision is exact and repeatable.
#include "compressor/control_panel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "compressor/painted_controls.h"
#include "compressor/sound_wave.h"
#include "compressor/watcher_data.h"
#include "engine_harness.h"

namespace {

using compressor::Box;
using compressor::Control;
using compressor::ControlPanel;
using compressor::Sound;

class CountingSounds final : public compressor::SoundPlayer {
 public:
  void Play(Sound sound) override { played.push_back(sound); }
  std::vector<Sound> played;
};

class NoQuestion final : public compressor::Question {
 public:
  bool AskYesNo(std::string_view) override { return true; }
};

class RecordingView final : public compressor::ControlView {
 public:
  void SetTimerInterval(int milliseconds) override { interval = milliseconds; }
  void SetStatusBar(const std::string& text) override { status_bar = text; }
  void SetTrayAnimation(bool on) override { animation = on; }
  void SetTrayHint(const std::string& text) override { hint = text; }
  void ShowBalloon(const std::string& text) override { balloons.push_back(text); }
  void Repaint(Control control) override { repainted.push_back(control); }
  void RepaintTree() override { ++tree_repaints; }
  bool WindowVisible() const override { return visible; }
  void SetWindowVisible(bool shown) override { visible = shown; }
  void BringToFront() override { ++fronts; }
  void ShowAbout(bool silent) override { abouts.push_back(silent); }
  void RebuildTree() override { ++rebuilds; }
  void PumpMessages() override {
    ++pumps;
    if (on_pump) on_pump();
  }
  void WriteLog(const std::string& action, const std::string& object, const std::string& reason) override {
    log.push_back(action + "|" + object + "|" + reason);
  }
  void CloseLog() override { ++log_closes; }
  void SaveSettings() override { ++saves; }
  void CloseWindow() override { ++closes; }

  int interval = 0;
  std::string status_bar;
  bool animation = false;
  std::string hint;
  std::vector<std::string> balloons;
  std::vector<Control> repainted;
  int tree_repaints = 0;
  bool visible = true;
  int fronts = 0;
  std::vector<bool> abouts;
  int rebuilds = 0;
  int pumps = 0;
  std::function<void()> on_pump;
  std::vector<std::string> log;
  int log_closes = 0;
  int saves = 0;
  int closes = 0;
};

class ControlPanelTest : public ::testing::Test {
 protected:
  ControlPanelTest()
      : options_({question_, sounds_, [] {}, [] {}, [] { return nullptr; }}), watcher_data_(dir_.path()),
        panel_(options_, watcher_data_) {
    auto scan = std::make_unique<engine::DScan>(engine::DScan::Services{clock_, dispatcher_, decider_});
    scan_ = scan.get();
    panel_.SetEngine(std::move(scan));
    panel_.SetView(&view_);
  }

  void Tick(int count = 1) {
    for (int i = 0; i < count; ++i) panel_.Timer1Timer(true);
  }

  testing_support::TempDir dir_;
  testing_support::FakeClock clock_;
  platform::QueuedDispatcher dispatcher_;
  testing_support::RecordingDecider decider_;
  NoQuestion question_;
  CountingSounds sounds_;
  compressor::OptionsPanel options_;
  compressor::WatcherData watcher_data_;
  ControlPanel panel_;
  engine::DScan* scan_ = nullptr;
  RecordingView view_;
};

TEST_F(ControlPanelTest, SizeLinesTruncateToWholeMebibytesAtTheBoundary) {
  struct Case {
    int64_t bytes;
    const char* size_line;
    const char* saved_line;
  };
  for (const Case& c : {Case{1048575, "All Files Size: 0 Mebibytes", "Saved Disk(s) Space: Less than One Mebibyte"},
                        Case{1048576, "All Files Size: 1 Mebibytes", "Saved Disk(s) Space: 1 Mebibytes"}}) {
    SCOPED_TRACE(c.bytes);
    scan_->StretchMode = true;
    scan_->AllFilesSize = c.bytes;
    scan_->SavedSpace = c.bytes;
    Tick();
    EXPECT_EQ(panel_.Label(5), c.size_line);
    EXPECT_EQ(panel_.Label(9), c.saved_line);
  }
}

TEST_F(ControlPanelTest, RealSizeAboveSizeOnDiskShowsANegativeAlreadySavedFigure) {
  scan_->FilesSizeOnDisk = 4 * 1048576;
  scan_->RealFilesSizeOnDisk = 7 * 1048576 + 5;
  Tick();
  EXPECT_EQ(panel_.Label(8), "Already Saved Space: -3 Mebibytes");
}

TEST_F(ControlPanelTest, LineNineTextsNeverShowANegativeNumber) {
  struct Case {
    bool stretch;
    bool try_file;
    int64_t saved;
    const char* text;
  };
  const Case cases[] = {
      {true, false, -5 * 1048576, "Saved Disk(s) Space: Less than One Mebibyte"},
      {false, true, -5 * 1048576, "Supposed Save Space: Less than One Mebibyte"},
      {false, false, 1048575, "Supposed Save Space: Unknown"},
      {false, false, 3 * 1048576, "Supposed Save Space: 3 Mebibytes"},
      {true, true, 0, "Saved Disk(s) Space: Less than One Mebibyte"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    compressor::OptionsPanel options({question_, sounds_, [] {}, [] {}, [] { return nullptr; }});
    options.SetChecked(Box::cb3, c.try_file);
    ControlPanel panel(options, watcher_data_);
    auto scan = std::make_unique<engine::DScan>(engine::DScan::Services{clock_, dispatcher_, decider_});
    scan->StretchMode = c.stretch;
    scan->SavedSpace = c.saved;
    panel.SetEngine(std::move(scan));
    panel.Timer1Timer(true);
    EXPECT_EQ(panel.Label(9), c.text);
  }
}

TEST_F(ControlPanelTest, LinesKeepTheirFirstCaptionUntilTheirValueChanges) {
  Tick();
  EXPECT_EQ(panel_.Label(3), "All Files Count:");
  EXPECT_EQ(panel_.Label(7), "Real Files Size on Disc:");
  EXPECT_EQ(panel_.Label(8), "Already Saved Space: 0 Mebibytes");
  EXPECT_EQ(panel_.Label(9), "Supposed Save Space: Unknown");  // -1 remembered: written at once
  scan_->AllFilesCount = 12;
  scan_->CompressedFilesCount = 3;
  Tick();
  EXPECT_EQ(panel_.Label(3), "All Files Count: 12");
  EXPECT_EQ(panel_.Label(4), "Compressed Files Count: 3");
  // A line changes only with its own value: a new mode alone leaves line 9 as it was.
  scan_->StretchMode = true;
  Tick();
  EXPECT_EQ(panel_.Label(9), "Supposed Save Space: Unknown");
}

TEST_F(ControlPanelTest, PulseRunsUpAndDownAndSlowsWhilePaused) {
  std::vector<int> widths;
  for (int i = 0; i < 12; ++i) {
    Tick();
    widths.push_back(panel_.PulseWidth());
    const std::string pad(static_cast<size_t>(panel_.PulseWidth()), ' ');
    EXPECT_EQ(panel_.StatusWord(), pad + "Analyzing" + pad);
  }
  EXPECT_EQ(widths, (std::vector<int>{1, 2, 3, 4, 5, 4, 3, 2, 1, 0, 1, 2}));
  EXPECT_EQ(view_.interval, compressor::kTickInterval);
  scan_->Paused = true;
  Tick();
  EXPECT_EQ(view_.interval, compressor::kPausedTickInterval);
  EXPECT_EQ(compressor::Bare(panel_.StatusWord()), "Pause");
  scan_->Paused = false;
  Tick();
  EXPECT_EQ(view_.interval, compressor::kTickInterval);
}

TEST(StatusWordTable, FirstFlagSetDecides) {
  struct Case {
    bool defragmenting, paused, idle, stretch;
    const char* word;
    bool animate;
    const char* bar;  // empty: the engine's own text
  };
  const Case cases[] = {
      {true, true, true, true, "Defragmenting", true, "Defragmenting"},
      {false, true, true, true, "Pause", false, "Pause"},
      {false, false, true, true, "Idle", false, "Idle..."},
      {false, false, false, true, "Stretching", true, ""},
      {false, false, false, false, "Analyzing", true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    const compressor::StatusShown shown = compressor::StatusFor(c.defragmenting, c.paused, c.idle, c.stretch);
    EXPECT_STREQ(shown.word, c.word);
    EXPECT_EQ(shown.animate, c.animate);
    EXPECT_EQ(shown.engine_text, *c.bar == '\0');
    if (*c.bar != '\0') {
      EXPECT_STREQ(shown.bar, c.bar);
    }
  }
}

TEST_F(ControlPanelTest, DefragmentingWinsOverPauseAndTheBarShowsTheEngineText) {
  scan_->StatusText.Set("Scaning /mnt/x/");
  Tick();
  EXPECT_EQ(view_.status_bar, "Scaning /mnt/x/");
  EXPECT_TRUE(view_.animation);
  scan_->Paused = true;
  scan_->Defragmenting = true;
  Tick();
  EXPECT_EQ(compressor::Bare(panel_.StatusWord()), "Defragmenting");
  EXPECT_EQ(view_.status_bar, "Defragmenting");
}

TEST_F(ControlPanelTest, CompletedAnalysisIsReportedOnceWithHintAndBalloon) {
  scan_->Idle = true;
  scan_->AnalyzeComplete = true;
  scan_->AllFilesCount = 42;
  scan_->SavedSpace = 123456;
  Tick();
  EXPECT_EQ(view_.log, (std::vector<std::string>{"Analyze|Stopped|As need", "Analyze|FilesCount|42",
                                                 "Analyze|Supposed Save Disk Space|123456"}));
  EXPECT_EQ(view_.hint, "Quobran\nIdle\nFiles Count: 42\nSupposed Save Disk(s) Space: 123456");
  EXPECT_EQ(view_.balloons, (std::vector<std::string>{"Files Count: 42\nSupposed Save Disk(s) Space: 123456"}));
  EXPECT_FALSE(scan_->AnalyzeComplete);
  EXPECT_TRUE(scan_->ResultReported);
  Tick(5);
  EXPECT_EQ(view_.log.size(), 3u);
  EXPECT_EQ(view_.hint, "Quobran\nIdle");
}

TEST_F(ControlPanelTest, StartSetsThePassFlagsAndLocksTheEngineOptions) {
  Tick();  // the first tick enables the boxes
  scan_->Paused = true;
  panel_.pb4Click();
  EXPECT_TRUE(panel_.Working());
  EXPECT_TRUE(scan_->StretchMode);
  EXPECT_TRUE(scan_->RescanRequested);
  EXPECT_FALSE(scan_->Paused);
  EXPECT_EQ(panel_.StatusWord(), "Preparing");
  EXPECT_EQ(panel_.Caption(Control::pb4), compressor::kCancelCaption);
  EXPECT_FALSE(options_.Enabled(Box::cb1));
  EXPECT_TRUE(options_.Enabled(Box::cb6));
  EXPECT_TRUE(panel_.Disabled(Control::pb3));
  EXPECT_FALSE(panel_.Disabled(Control::pb6));
  EXPECT_EQ(sounds_.played, std::vector<Sound>{Sound::LOn});
  Tick();
  EXPECT_EQ(view_.hint, "Quobran\nStretching\nSaved Disk(s) Space: 0 Mebibytes");
}

TEST_F(ControlPanelTest, CancelWritesItsLinesAndABalloonEndingInZero) {
  panel_.pb4Click();
  panel_.pb4Click();
  EXPECT_FALSE(panel_.Working());
  EXPECT_FALSE(scan_->StretchMode);
  EXPECT_TRUE(scan_->CancelRequested);
  EXPECT_FALSE(scan_->RescanRequested);
  EXPECT_EQ(view_.log, (std::vector<std::string>{"Stretching|Stopped|As need", "Stretching|FilesCount|0",
                                                 "Stretching|Saved Disk Space|0"}));
  ASSERT_EQ(view_.balloons.size(), 1u);
  EXPECT_EQ(view_.balloons[0], "FilesCount: 0\nSaved Disk(s) Space: 0");
  EXPECT_EQ(view_.hint, "Quobran\nFilesCount: 0\nSaved Disk(s) Space: 0");
  EXPECT_TRUE(panel_.Disabled(Control::pb6));
}

TEST_F(ControlPanelTest, CompletedStretchSeenByTheTickCancelsTheRun) {
  panel_.pb4Click();
  scan_->Idle = true;
  scan_->StretchComplete = true;
  scan_->AllFilesCount = 7;
  scan_->SavedSpace = 2 * 1048576;
  Tick();
  EXPECT_FALSE(panel_.Working());
  EXPECT_FALSE(scan_->StretchComplete);
  EXPECT_EQ(view_.log.back(), "Stretching|Saved Disk Space|2097152");
  EXPECT_EQ(view_.balloons.back(), "FilesCount: 7\nSaved Disk(s) Space: 2097152");
}

TEST_F(ControlPanelTest, CompletionWithoutARunningStretchStartsNothing) {
  scan_->Idle = true;
  scan_->StretchComplete = true;
  Tick();
  EXPECT_FALSE(panel_.Working());
  EXPECT_FALSE(scan_->StretchMode);
}

TEST_F(ControlPanelTest, RefreshIsIgnoredSilentlyWhileWorking) {
  panel_.pb4Click();
  sounds_.played.clear();
  panel_.pb3Click();
  panel_.MouseEnter(Control::pb3);
  EXPECT_TRUE(sounds_.played.empty());
  EXPECT_EQ(view_.rebuilds, 0);
  EXPECT_TRUE(panel_.Hovered(Control::pb3));
}

TEST_F(ControlPanelTest, RefreshStartsANewAnalysis) {
  scan_->RescanRequested = false;
  scan_->AnalyzeComplete = true;
  scan_->Paused = true;
  panel_.pb3Click();
  EXPECT_EQ(view_.rebuilds, 1);
  EXPECT_TRUE(scan_->RescanRequested);
  EXPECT_FALSE(scan_->AnalyzeComplete);
  EXPECT_FALSE(scan_->Paused);
}

TEST_F(ControlPanelTest, PauseFollowsTheEngineAndTheCaption) {
  panel_.pb5Click();
  EXPECT_TRUE(scan_->Paused);
  EXPECT_EQ(panel_.Caption(Control::pb5), "Resume");
  panel_.Pause1Click();
  EXPECT_FALSE(scan_->Paused);
  EXPECT_EQ(panel_.Caption(Control::pb5), "Pause");
  EXPECT_EQ(view_.repainted.back(), Control::pb5);
}

TEST_F(ControlPanelTest, ShowHideAndBackgoundMoveThePriority) {
  panel_.Timer1Timer(true);
  panel_.ShowHide();
  EXPECT_FALSE(view_.visible);
  EXPECT_EQ(scan_->Priority(), platform::ThreadPriority::tpLowest);
  panel_.ShowHide();
  EXPECT_TRUE(view_.visible);
  EXPECT_EQ(scan_->Priority(), platform::ThreadPriority::tpLower);
  panel_.Timer1Timer(false);
  panel_.ShowHide();  // shown but not active: only brought forward
  EXPECT_TRUE(view_.visible);
  EXPECT_EQ(view_.fronts, 2);
  panel_.pb6Click();
  EXPECT_FALSE(view_.visible);
  EXPECT_EQ(scan_->Priority(), platform::ThreadPriority::tpLowest);
}

TEST_F(ControlPanelTest, HoverSoundsOnlyOverEnabledButtons) {
  panel_.MouseEnter(Control::pb1);
  EXPECT_TRUE(sounds_.played.empty());
  panel_.MouseEnter(Control::pb7);
  EXPECT_EQ(sounds_.played, std::vector<Sound>{Sound::LOff});
  panel_.MouseLeave(Control::pb7);
  EXPECT_FALSE(panel_.Hovered(Control::pb7));
  options_.SetChecked(Box::cb6, true);
  sounds_.played.clear();
  panel_.MouseEnter(Control::pb2);
  panel_.pb7Click();
  EXPECT_TRUE(sounds_.played.empty());
  EXPECT_EQ(view_.abouts, std::vector<bool>{true});
}

TEST_F(ControlPanelTest, ExitLogsStopsTheEngineOnceAndIgnoresASecondExit) {
  int nested = 0;
  view_.on_pump = [&] {
    if (nested++ == 0) panel_.pb2Click();
  };
  panel_.pb2Click();
  EXPECT_EQ(view_.log, std::vector<std::string>{"Quobran|Exit|User request"});
  EXPECT_EQ(view_.pumps, compressor::kExitPumpRounds);  // a thread that never ran never finishes
  EXPECT_EQ(panel_.Engine(), nullptr);
  EXPECT_EQ(options_.Engine(), nullptr);
  EXPECT_EQ(view_.log_closes, 1);
  EXPECT_EQ(view_.saves, 1);
  EXPECT_EQ(view_.closes, 1);
  Tick();  // no engine: nothing but the active flag
  EXPECT_EQ(view_.log.size(), 1u);
}

TEST(PaintedControls, CaptionColourRules) {
  using compressor::CaptionColour;
  using compressor::Rgb;
  EXPECT_EQ(CaptionColour(Control::pb4, false, false, 200), (Rgb{200, 200, 255}));
  EXPECT_EQ(CaptionColour(Control::pb1, false, false, 200), compressor::kGray);
  EXPECT_EQ(CaptionColour(Control::pb1, true, false, 200), compressor::kSilver);
  EXPECT_EQ(CaptionColour(Control::pb2, true, false, 200), (Rgb{200, 66, 66}));
  EXPECT_EQ(CaptionColour(Control::pb3, true, false, 200), (Rgb{100, 255, 100}));
  EXPECT_EQ(CaptionColour(Control::pb5, true, false, 200), (Rgb{200, 100, 200}));
  EXPECT_EQ(CaptionColour(Control::pb6, true, false, 200), (Rgb{100, 200, 200}));
  EXPECT_EQ(CaptionColour(Control::pb7, true, false, 200), (Rgb{200, 255, 100}));
  EXPECT_EQ(CaptionColour(Control::pb3, true, true, 200), compressor::kGray);
}

TEST(PaintedControls, FramesDarkenInwardAndStopAtBlack) {
  EXPECT_EQ(compressor::FrameLevel(Control::pb4, 8, 200), 160);
  EXPECT_EQ(compressor::FrameLevel(Control::pb1, 66, 200), 134);
  EXPECT_EQ(compressor::FrameLevel(Control::pb4, 40, 200), 0);
}

TEST(PaintedControls, CaptionFitKeepsATenthFreeAndEndsAtOnePoint) {
  // A text as wide as its size times its length, as high as its size.
  const auto measure = [](int length) {
    return [length](int points) { return compressor::TextSize{points * length, points}; };
  };
  const compressor::FittedCaption fitted = compressor::FitCaption(291, 27, measure(4));
  EXPECT_EQ(fitted.points, 23);  // 27 / 2 - 23 / 2 = 2 = 27 / 10
  EXPECT_GE(fitted.x, 29);
  EXPECT_GE(fitted.y, 2);
  EXPECT_EQ(compressor::FitCaption(10, 10, measure(1000)).points, 1);
}

TEST(PaintedControls, WideningGrowsTheLeftRightAnchoredControls) {
  using compressor::ControlRect;
  using compressor::Rect;
  EXPECT_EQ(ControlRect(Control::pb1, 703, 614), (Rect{304, 8, 391, 202}));
  EXPECT_EQ(ControlRect(Control::pb2, 703, 614), (Rect{304, 562, 391, 27}));
  EXPECT_EQ(ControlRect(Control::pb3, 703, 614), (Rect{8, 562, 281, 27}));
  EXPECT_EQ(ControlRect(Control::pb6, 703, 614), (Rect{562, 249, 133, 27}));
}

TEST(SoundWave, EachSoundIsAShortPcmWave) {
  for (Sound sound : {Sound::LOn, Sound::LOff, Sound::Move}) {
    const std::string wave = compressor::MakeSoundWave(sound);
    ASSERT_GT(wave.size(), 44u);
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
    EXPECT_EQ(wave.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(wave.substr(36, 4), "data");
    const auto byte = [&](size_t at) { return static_cast<uint32_t>(static_cast<unsigned char>(wave[at])); };
    EXPECT_EQ(byte(4) | byte(5) << 8 | byte(6) << 16 | byte(7) << 24, wave.size() - 8);
    EXPECT_LT(wave.size(), 44u + compressor::kSoundSampleRate * 2 / 5);  // under 200 ms
  }
}

}  // namespace
