// The Disk Informer on Qt's offscreen platform: its parts, the picture it paints, dragging within
// the screen, and its position in section "Informer".
#include "watcher_ui/t_form6.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "shared/settings_file.h"
#include "temp_dir.h"

namespace {

using watcher_ui::TForm6;

class TForm6Test : public ::testing::Test {
 protected:
  std::string Ini() const { return home.path() + "Quobran.ini"; }
  QSize Screen() const { return QGuiApplication::primaryScreen()->geometry().size(); }

  static void Send(QWidget* target, QEvent::Type type, QPoint global) {
    const QPointF local = target->mapFromGlobal(QPointF(global));
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, QPointF(global), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  }
  // Presses on `part` at `grab` (window coordinates), moves the mouse by `by`, releases.
  static void Drag(TForm6& form, QWidget* part, QPoint grab, QPoint by) {
    const QPoint start = form.pos() + grab;
    Send(part, QEvent::MouseButtonPress, start);
    Send(part, QEvent::MouseMove, start + by);
    Send(part, QEvent::MouseButtonRelease, start + by);
  }

  testing_support::TempDir home;
};

TEST_F(TForm6Test, DesignedPartsAndThePictureChosenByAlpha) {
  TForm6 form(Ini());
  EXPECT_EQ(form.windowTitle(), "Disk Informer");
  EXPECT_EQ(form.size(), QSize(114, 52));
  EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(form.Label1->text(), "None");
  EXPECT_EQ(form.Label1->geometry(), QRect(59, 8, 55, 27));
  EXPECT_EQ(form.pb->geometry(), QRect(4, 1, 48, 48));
  EXPECT_EQ(form.Alpha(), 0);
  EXPECT_EQ(form.ImageList1[0].size(), QSize(48, 48));
  EXPECT_NE(form.ImageList1[0].toImage(), form.ImageList1[1].toImage());
  form.show();
  const struct {
    int alpha;
    int picture;
  } cases[] = {{255, 0}, {151, 0}, {150, 1}, {100, 1}, {193, 0}, {4, 1}};
  for (const auto& c : cases) {
    form.SetAlpha(c.alpha);
    const QImage painted = form.pb->grab().toImage();
    EXPECT_EQ(form.pb->PaintedPicture(), c.picture) << c.alpha;
    EXPECT_EQ(painted, form.ImageList1[static_cast<size_t>(c.picture)].toImage()) << c.alpha;
  }
}

TEST_F(TForm6Test, DraggingStaysWithinTheScreenFromEveryPart) {
  TForm6 form(Ini());
  form.show();
  const QSize screen = Screen();
  for (QWidget* part : {static_cast<QWidget*>(&form), static_cast<QWidget*>(form.Label1), static_cast<QWidget*>(form.pb)}) {
    form.move(200, 200);
    Drag(form, part, QPoint(70, 20), QPoint(30, -40));
    EXPECT_EQ(form.pos(), QPoint(230, 160));
    Drag(form, part, QPoint(70, 20), QPoint(5000, 5000));
    EXPECT_EQ(form.pos(), QPoint(screen.width() - form.width() - 1, screen.height() - form.height() - 1));
    Drag(form, part, QPoint(70, 20), QPoint(-9000, -9000));
    EXPECT_EQ(form.pos(), QPoint(1, 1));
    EXPECT_FALSE(form.Dragging);
  }
  // Without a button down, moving the mouse moves nothing.
  Send(&form, QEvent::MouseMove, form.pos() + QPoint(300, 300));
  EXPECT_EQ(form.pos(), QPoint(1, 1));
}

TEST_F(TForm6Test, StartsAtTheStoredPositionWhenItIsOnTheScreenAndStoresWhereItIs) {
  const QSize screen = Screen();
  const struct {
    const char* name;
    std::optional<shared::InformerPosition> stored;
    QPoint expected;
  } cases[] = {
      {"nothing stored", std::nullopt, QPoint(30, 30)},
      {"on the screen", shared::InformerPosition{300, 200}, QPoint(300, 200)},
      {"off to the right", shared::InformerPosition{screen.width() - 100, 10}, QPoint(60, 40)},
      {"negative", shared::InformerPosition{-5, 10}, QPoint(60, 40)},
  };
  for (const auto& c : cases) {
    testing_support::TempDir own;
    const std::string ini = own.path() + "Quobran.ini";
    if (c.stored) {
      ASSERT_TRUE(shared::WriteInformerPosition(ini, *c.stored));
    }
    TForm6 form(ini);
    EXPECT_EQ(form.pos(), c.expected) << c.name;
  }
  // Every five minutes, visible or not, the position is written.
  TForm6 form(Ini());
  EXPECT_EQ(form.Timer2->interval(), 300000);
  EXPECT_TRUE(form.Timer2->isActive());
  form.move(123, 45);
  form.hide();
  form.Timer2Timer();
  const auto stored = shared::ReadInformerPosition(Ini(), {0, 0});
  EXPECT_EQ(stored.WinX, 123);
  EXPECT_EQ(stored.WinY, 45);
}

TEST_F(TForm6Test, TheTileGrowsWithALongTextAndNeverBelowItsDesign) {
  TForm6 form(Ini());
  form.SetText("Waiting while Quobran Works");
  EXPECT_EQ(form.Text(), "Waiting while Quobran Works");
  EXPECT_GT(form.width(), 114);
  EXPECT_EQ(form.height(), 52);
  form.SetText("/  ");
  EXPECT_EQ(form.width(), 114);
}

}  // namespace
