// The main window on Qt's offscreen platform: real widgets and paints, an engine over no drives,
// the settings and the log in a temporary folder, and sounds counted instead of heard.
#include "compressor_ui/tform1.h"

#include <QImage>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "compressor/painted_controls.h"
#include "compressor_ui/qt_dispatcher.h"
#include "compressor_ui/tform3.h"
#include "engine_harness.h"
#include "fake_drive_table.h"
#include "temp_dir.h"

namespace {

using compressor::Control;
using compressor::Sound;
using compressor::ui::TForm1;

class CountingSounds final : public compressor::SoundPlayer {
 public:
  void Play(Sound sound) override { played.push_back(sound); }
  std::vector<Sound> played;
};

class TForm1Test : public ::testing::Test {
 protected:
  TForm1Test()
      : form_({dir_.path(), &drives_, &sounds_,
               "QuobranGuiTest." + std::to_string(::getpid()) + "." + std::to_string(++serial_), ""}) {}

  bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 400 && !done(); ++i) QTest::qWait(10);
    return done();
  }

  static inline int serial_ = 0;
  testing_support::TempDir dir_;
  testing_support::FakeDriveTable drives_;
  CountingSounds sounds_;
  TForm1 form_;
};

TEST_F(TForm1Test, StartsWithTheFirstLogLineAndReportsTheAnalysisOnce) {
  ASSERT_TRUE(form_.Running());
  form_.show();
  ASSERT_TRUE(WaitFor([&] { return form_.Balloons().size() == 1; }));
  QTest::qWait(1200);
  EXPECT_EQ(form_.Balloons().size(), 1u);
  EXPECT_EQ(form_.Balloons()[0], QStringLiteral("Files Count: 0\nSupposed Save Disk(s) Space: 0"));
  const std::vector<std::string> events = testing_support::ReadLogEvents(dir_.path() + engine::kLogFileName);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), "Quobran|Started|User request");
  EXPECT_EQ(std::count(events.begin(), events.end(), "Analyze|Stopped|As need"), 1);
  EXPECT_EQ(form_.StatusBar().currentMessage(), QStringLiteral("Idle..."));
  EXPECT_FALSE(form_.TrayAnimating());
}

TEST_F(TForm1Test, PauseButtonAndTrayItemFollowTheEnginesPause) {
  form_.show();
  form_.Panel().Engine()->Paused = true;
  form_.Box(Control::pb5).grab();  // a paint
  EXPECT_EQ(form_.Pause1().text(), QStringLiteral("Resume"));
  form_.Pause1().trigger();
  EXPECT_FALSE(form_.Panel().Engine()->Paused);
  QTest::qWait(50);
  EXPECT_EQ(form_.Pause1().text(), QStringLiteral("Pause"));
}

TEST_F(TForm1Test, HoveredDisabledButtonDrawsGreyOverABlackShadow) {
  form_.show();
  form_.Panel().pb4Click();  // working: Refresh is disabled
  form_.Panel().MouseEnter(Control::pb3);
  const QImage image = form_.PaintControl(Control::pb3, QStringLiteral("Refresh")).toImage();
  int gray = 0;
  int black_inside = 0;
  int green = 0;
  for (int y = 1; y < image.height() - 1; ++y) {
    for (int x = 1; x < image.width() - 1; ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c == QColor(128, 128, 128)) ++gray;
      if (c == QColor(0, 0, 0)) ++black_inside;
      if (c == QColor(100, 255, 100)) ++green;
    }
  }
  EXPECT_GT(gray, 20);
  EXPECT_GT(black_inside, 20);
  EXPECT_EQ(green, 0);
}

TEST_F(TForm1Test, RefreshClickWhileWorkingIsSilentAndChangesNothing) {
  form_.show();
  form_.Panel().pb4Click();
  sounds_.played.clear();
  form_.Panel().Engine()->RescanRequested = false;
  QTest::mouseClick(&form_.Box(Control::pb3), Qt::LeftButton);
  EXPECT_TRUE(sounds_.played.empty());
  EXPECT_FALSE(form_.Panel().Engine()->RescanRequested);
}

TEST_F(TForm1Test, ExitEndsTheEngineAndItsLineIsTheLast) {
  form_.show();
  QTest::mouseClick(&form_.Box(Control::pb2), Qt::LeftButton);
  EXPECT_EQ(form_.Panel().Engine(), nullptr);
  const std::vector<std::string> events = testing_support::ReadLogEvents(dir_.path() + engine::kLogFileName);
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events.back(), "Stretch Thread|Termonating|Main Request");
  EXPECT_NE(std::find(events.begin(), events.end(), "Quobran|Exit|User request"), events.end());
}

TEST_F(TForm1Test, AboutWindowIsBorderlessFixedAndClosesOnAClick) {
  compressor::ui::TForm3* seen = nullptr;
  QTimer::singleShot(50, [&] {
    seen = form_.findChild<compressor::ui::TForm3*>();
    if (seen == nullptr) return;
    EXPECT_EQ(seen->size(), QSize(488, 281));
    EXPECT_TRUE(seen->windowFlags() & Qt::FramelessWindowHint);
    QTest::mouseClick(seen, Qt::LeftButton);
  });
  form_.Options().SetChecked(compressor::Box::cb6, true);
  sounds_.played.clear();
  form_.Panel().pb7Click();
  EXPECT_NE(seen, nullptr);
  EXPECT_TRUE(sounds_.played.empty());  // silent while "Disable Sound" is checked
}

TEST(QtDispatcher, RunsWorkerCallsOnTheMainThreadAndOwnCallsAtOnce) {
  QObject receiver;
  compressor::ui::QtDispatcher dispatcher(receiver);
  bool direct = false;
  dispatcher.RunSync([&] { direct = true; });
  EXPECT_TRUE(direct);
  std::atomic<bool> on_main{false};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    dispatcher.RunSync([&] { on_main = QThread::currentThread() == receiver.thread(); });
    done = true;
  });
  while (!done) dispatcher.Pump();
  worker.join();
  EXPECT_TRUE(on_main);
}

}  // namespace
