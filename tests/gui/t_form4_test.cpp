// Velnor's hidden window stepping aside while a compressor holds its marker, and coming back.
#include "watcher_ui/t_form4.h"

#include <sched.h>
#include <unistd.h>

#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/named_marker.h"
#include "shared/instance_markers.h"
#include "temp_dir.h"
#include "watcher_ui/t_form6.h"

namespace {

class TForm4Test : public ::testing::Test {
 protected:
  void SetUp() override {
    // The markers are per user: a network namespace of our own keeps them apart from any real
    // Quobran or Velnor on this machine.
    if (geteuid() != 0 || unshare(CLONE_NEWNET) != 0) GTEST_SKIP() << "needs root for a network namespace of its own";
    form = std::make_unique<watcher_ui::TForm4>(home.path(), [this](int code) { ended = code; });
    // The informer without the drive scan: this window has no monitors to pause.
    form->Informer = new watcher_ui::TForm6(home.path() + "Quobran.ini");
    form->Timer1->start();
    form->Timer5->start();
  }

  std::unique_ptr<platform::NamedMarker> Hold(const char* name) {
    platform::NamedMarker::CreateResult result;
    auto marker = platform::NamedMarker::Create(name, result);
    EXPECT_EQ(result, platform::NamedMarker::CreateResult::kCreated);
    return marker;
  }

  testing_support::TempDir home;
  std::unique_ptr<watcher_ui::TForm4> form;
  int ended = -1;
};

TEST_F(TForm4Test, WaitsWhileQuobranRunsAndResumesWhenItEnds) {
  auto quobran = Hold(shared::kQuobranMarker);
  form->Timer2Timer();
  EXPECT_EQ(form->Informer->Text(), "Waiting while Quobran Works");
  EXPECT_EQ(form->Informer->Alpha(), 100);
  EXPECT_EQ(form->Label1->text(), "Waiting Quobran...");
  EXPECT_FALSE(form->Timer1->isActive());  // no saves while waiting
  EXPECT_FALSE(form->Timer5->isActive());
  EXPECT_TRUE(form->WaitTimer->isActive());
  form->Timer2Timer();  // a check while waiting changes nothing
  EXPECT_EQ(ended, -1);

  quobran.reset();
  EXPECT_TRUE(QTest::qWaitFor([&] { return form->Label1->text() == "Restoring work..."; }, 5000));
  EXPECT_TRUE(form->Timer1->isActive());
  EXPECT_TRUE(form->Timer5->isActive());
  EXPECT_FALSE(form->WaitTimer->isActive());
  EXPECT_FALSE(form->CheckBusy);

  form->Exit1Click();
  EXPECT_EQ(ended, 0);
}

TEST_F(TForm4Test, EndsWith1WhenAskedToUnloadWhileWaitingAnd2Otherwise) {
  auto quobran = Hold(shared::kQuobranMarker);
  form->Timer2Timer();
  auto request = Hold(shared::kUnloadWatcherMarker);
  EXPECT_TRUE(QTest::qWaitFor([&] { return ended != -1; }, 5000));
  EXPECT_EQ(ended, 1);

  ended = -1;
  quobran.reset();
  watcher_ui::TForm4 fresh(home.path(), [this](int code) { ended = code; });
  fresh.Timer2Timer();
  EXPECT_EQ(ended, 2);
}

}  // namespace
