// The eleven option boxes on Qt's offscreen platform: real clicks, real warning boxes answered by
// the test, an engine that is not running, and the settings file in a temporary folder.
#include "compressor_ui/option_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "compressor/quobran_settings.h"
#include "compressor_ui/message_question.h"
#include "engine_harness.h"
#include "shared/settings_file.h"
#include "temp_dir.h"

namespace {

using compressor::Box;
using compressor::OptionsPanel;
using compressor::Sound;
using compressor::ui::OptionBoxes;

class CountingSounds final : public compressor::SoundPlayer {
 public:
  void Play(Sound sound) override { played.push_back(sound); }
  std::vector<Sound> played;
};

// Answers every warning box that opens with `answer`, and keeps their texts.
class WarningAnswerer {
 public:
  explicit WarningAnswerer(QMessageBox::StandardButton answer) : answer_(answer) {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      texts.push_back(box->text().toStdString());
      icons.push_back(box->icon());
      box->button(answer_)->click();
    });
    timer_.start();
  }

  std::vector<std::string> texts;
  std::vector<QMessageBox::Icon> icons;

 private:
  QMessageBox::StandardButton answer_;
  QTimer timer_;
};

class OptionBoxesTest : public ::testing::Test {
 protected:
  OptionBoxesTest()
      : question_(&host_),
        panel_({question_, sounds_, [this] { Save(); }, nullptr, nullptr}),
        boxes_(new OptionBoxes(host_, panel_)) {
    host_.resize(compressor::kDesignedClientWidth, compressor::kDesignedClientHeight);
    host_.show();
  }

  // Start-up as far as the options go: settings, engine, hand-over, then the first tick.
  void StartUp() {
    compressor::LoadSettings(panel_, Path(), {}, 1920, 1080);
    panel_.SetEngine(&harness_.scan());
    panel_.ApplyOptions();
    panel_.UpdateEnabling(false);
    scan().RescanRequested = false;
    sounds_.played.clear();
    saves_ = 0;
  }

  std::string Path() const { return dir_.path() + shared::kSettingsFileName; }
  void Save() {
    ++saves_;
    compressor::SaveSettings(panel_, Path(), {});
  }
  engine::DScan& scan() { return harness_.scan(); }
  QCheckBox& CheckBox(Box box) const { return boxes_->CheckBox(box); }
  // A click on the box's square, as a user makes it.
  void Click(Box box) { QTest::mouseClick(&CheckBox(box), Qt::LeftButton, {}, QPoint(6, CheckBox(box).height() / 2)); }
  int Moves() const { return static_cast<int>(std::count(sounds_.played.begin(), sounds_.played.end(), Sound::Move)); }
  int32_t Stored(const char* key) const { return shared::ReadProfile(Path()).GetInt("Main", key, -1); }

  testing_support::TempDir dir_;
  testing_support::EngineHarness harness_;
  CountingSounds sounds_;
  QWidget host_;
  compressor::ui::MessageBoxQuestion question_;
  int saves_ = 0;
  OptionsPanel panel_;
  OptionBoxes* boxes_;  // owned by host_
};

TEST_F(OptionBoxesTest, EveryBoxSitsWhereDesignedWithItsCaptionAndHint) {
  for (const compressor::OptionBoxDesign& design : compressor::kOptionBoxes) {
    const QCheckBox& box = CheckBox(design.box);
    const std::string name = "cb" + std::to_string(static_cast<int>(design.box));
    EXPECT_EQ(box.objectName().toStdString(), name);
    EXPECT_EQ(host_.findChild<QCheckBox*>(QString::fromStdString(name)), &box);
    EXPECT_EQ(box.geometry(), QRect(design.left, design.top, 225, 17)) << name;
    EXPECT_EQ(box.text().toStdString(), design.caption);
    EXPECT_EQ(box.toolTip().toStdString(), design.hint);
    EXPECT_EQ(box.cursor().shape(), Qt::PointingHandCursor);
  }
  EXPECT_EQ(CheckBox(Box::cb4).toolTip(), "Preserve System Files from Compression.\nSTRONGLY RECOMMENDED!");
  boxes_->FollowClientHeight(614);
  EXPECT_EQ(CheckBox(Box::cb11).pos(), QPoint(8, 539));
  EXPECT_EQ(CheckBox(Box::cb6).pos(), QPoint(304, 422));
}

TEST_F(OptionBoxesTest, AllElevenAreGreyedOutBeforeTheFirstTick) {
  compressor::LoadSettings(panel_, Path(), {}, 1920, 1080);
  panel_.SetEngine(&harness_.scan());
  panel_.ApplyOptions();
  for (const compressor::OptionBoxDesign& design : compressor::kOptionBoxes) {
    EXPECT_FALSE(CheckBox(design.box).isEnabled()) << design.caption;
  }
  EXPECT_TRUE(CheckBox(Box::cb1).isChecked()) << "the stored states show already";
  scan().RescanRequested = false;
  Click(Box::cb2);
  EXPECT_TRUE(CheckBox(Box::cb2).isChecked());
  EXPECT_FALSE(scan().RescanRequested.load());
  EXPECT_TRUE(sounds_.played.empty());

  panel_.UpdateEnabling(false);
  EXPECT_FALSE(panel_.OptionsUpdating) << "the first tick ends the start-up guard";
  for (const compressor::OptionBoxDesign& design : compressor::kOptionBoxes) {
    EXPECT_TRUE(CheckBox(design.box).isEnabled()) << design.caption;
  }
}

TEST_F(OptionBoxesTest, TheEightEngineBoxesAreGreyedOutWhileAStretchRunIsActive) {
  StartUp();
  panel_.UpdateEnabling(true);
  for (const compressor::OptionBoxDesign& design : compressor::kOptionBoxes) {
    EXPECT_EQ(CheckBox(design.box).isEnabled(), !design.engine_option) << design.caption;
  }
  EXPECT_TRUE(CheckBox(Box::cb6).isEnabled());
  EXPECT_FALSE(CheckBox(Box::cb9).isEnabled());
  panel_.UpdateEnabling(false);
  panel_.SetEngineBoxesEnabled(false);  // Start, without waiting for the tick
  EXPECT_FALSE(CheckBox(Box::cb10).isEnabled());
  EXPECT_TRUE(CheckBox(Box::cb8).isEnabled());
}

TEST_F(OptionBoxesTest, UncheckingAWarnedOptionAsksFirst) {
  struct Case {
    Box box;
    const char* key;
    const char* warning;
    QMessageBox::StandardButton answer;
  };
  const Case cases[] = {
      {Box::cb1, "ExcludeSystem", compressor::kExcludeSystemWarning, QMessageBox::No},
      {Box::cb1, "ExcludeSystem", compressor::kExcludeSystemWarning, QMessageBox::Yes},
      {Box::cb4, "PreserveSystem", compressor::kPreserveSystemWarning, QMessageBox::No},
      {Box::cb4, "PreserveSystem", compressor::kPreserveSystemWarning, QMessageBox::Yes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + (c.answer == QMessageBox::Yes ? " answered Yes" : " answered No"));
    std::remove(Path().c_str());
    StartUp();
    ASSERT_TRUE(CheckBox(c.box).isChecked());
    scan().Paused = true;
    WarningAnswerer answerer(c.answer);
    Click(c.box);

    ASSERT_EQ(answerer.texts, std::vector<std::string>{c.warning});
    EXPECT_EQ(answerer.icons.front(), QMessageBox::Warning);
    const bool kept = c.answer == QMessageBox::No;
    EXPECT_EQ(CheckBox(c.box).isChecked(), kept);
    EXPECT_EQ(panel_.Checked(c.box), kept);
    EXPECT_EQ(scan().RescanRequested.load(), !kept) << "No restarts nothing";
    EXPECT_EQ(Moves(), 1);
    EXPECT_EQ(saves_, 1) << "saved, changed or not";
    EXPECT_EQ(Stored(c.key), kept ? 1 : 0);
    EXPECT_EQ(scan().ExcludeSystem.load(), panel_.Checked(Box::cb1));
    EXPECT_EQ(scan().PreserveSystem.load(), panel_.Checked(Box::cb4));
    EXPECT_FALSE(scan().Paused.load());
  }
}

TEST_F(OptionBoxesTest, CheckingAWarnedOptionShowsNoWarning) {
  shared::WriteProfile(Path(), "Main", {{"ExcludeSystem", "0"}, {"PreserveSystem", "0"}});
  StartUp();
  WarningAnswerer answerer(QMessageBox::No);
  for (const Box box : {Box::cb1, Box::cb4}) {
    scan().RescanRequested = false;
    Click(box);
    EXPECT_TRUE(CheckBox(box).isChecked());
    EXPECT_TRUE(scan().RescanRequested.load());
  }
  EXPECT_TRUE(answerer.texts.empty());
  EXPECT_EQ(Moves(), 2);
  EXPECT_EQ(Stored("ExcludeSystem"), 1);
  EXPECT_EQ(Stored("PreserveSystem"), 1);
}

TEST_F(OptionBoxesTest, WhichOptionsAskForANewAnalysis) {
  struct Case {
    Box box;
    bool stretching;
    bool rescan;
  };
  const Case cases[] = {
      {Box::cb2, false, true},   {Box::cb2, true, true},   {Box::cb3, false, true},
      {Box::cb3, true, false},  // a trial does not restart a stretch run
      {Box::cb5, false, true},   {Box::cb9, false, true},  {Box::cb10, false, false},
      {Box::cb10, true, false},  {Box::cb11, false, false}, {Box::cb11, true, false},
  };
  StartUp();
  for (const Case& c : cases) {
    const std::string trace = compressor::DesignOf(c.box).caption + std::string(c.stretching ? " stretching" : "");
    scan().StretchMode = c.stretching;
    scan().RescanRequested = false;
    const bool before = CheckBox(c.box).isChecked();
    Click(c.box);
    EXPECT_NE(CheckBox(c.box).isChecked(), before) << trace;
    EXPECT_EQ(scan().RescanRequested.load(), c.rescan) << trace;
    EXPECT_EQ(Stored(compressor::DesignOf(c.box).key), before ? 0 : 1) << trace << ": saved at once";
  }
  EXPECT_EQ(Moves(), static_cast<int>(std::size(cases)));
}

TEST_F(OptionBoxesTest, AnyEngineOptionEndsAPauseAndTheOthersDoNot) {
  StartUp();
  WarningAnswerer answerer(QMessageBox::Yes);
  for (const compressor::OptionBoxDesign& design : compressor::kOptionBoxes) {
    scan().Paused = true;
    Click(design.box);
    EXPECT_EQ(scan().Paused.load(), !design.engine_option) << design.caption;
  }
  EXPECT_TRUE(scan().UseVelnor.load());
  EXPECT_TRUE(scan().Defragment.load());
  EXPECT_TRUE(scan().DefragmentAny.load());
}

TEST_F(OptionBoxesTest, DisableSoundIsSilentWhenCheckedAndHeardWhenUnchecked) {
  StartUp();
  Click(Box::cb6);
  EXPECT_TRUE(panel_.Checked(Box::cb6));
  EXPECT_TRUE(sounds_.played.empty()) << "turning the sounds off is silent";
  Click(Box::cb2);
  EXPECT_TRUE(sounds_.played.empty()) << "no sounds while disabled";
  Click(Box::cb6);
  EXPECT_EQ(sounds_.played, std::vector<Sound>{Sound::Move}) << "turning them on is heard";
  EXPECT_EQ(saves_, 1) << "only the cb2 click saved";
  EXPECT_EQ(Stored("DisSound"), 1) << "cb6 waits for the next save";

  Click(Box::cb7);
  Click(Box::cb8);
  EXPECT_EQ(saves_, 1);
  EXPECT_EQ(sounds_.played.size(), 1u);
}

TEST_F(OptionBoxesTest, TheWatcherOptionIsIgnoredWhileTheProgramChangesTheBoxes) {
  StartUp();
  panel_.OptionsUpdating = true;
  Click(Box::cb9);
  EXPECT_TRUE(panel_.Checked(Box::cb9));
  EXPECT_FALSE(scan().UseVelnor.load()) << "not handed over";
  EXPECT_TRUE(sounds_.played.empty());
  panel_.OptionsUpdating = false;
  Click(Box::cb9);
  Click(Box::cb9);
  EXPECT_TRUE(scan().UseVelnor.load());
  EXPECT_FALSE(panel_.OptionsUpdating);
}

}  // namespace
