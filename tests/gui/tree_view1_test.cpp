// TreeView1 on Qt's offscreen platform, over a drive table of our own and real folders.
#include "compressor_ui/tree_view1.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

#include "compressor/quobran_settings.h"
#include "fake_drive_table.h"
#include "temp_dir.h"

namespace {

using compressor::ui::TreeView1;
using testing_support::MakeDirs;
using testing_support::WriteFile;

class TreeView1Test : public ::testing::Test {
 protected:
  TreeView1Test() : tree_(table_) {
    MakeDirs(root_.path() + "Alpha/inner");
    WriteFile(root_.path() + "Alpha/note.txt", "x");
    MakeDirs(root_.path() + "beta");
    WriteFile(root_.path() + ".hidden", "x");
    table_.Add(root_.path(), "btrfs");
    table_.Add("/plain/", "ext4");
    tree_.FillDriveTree();
    host_.resize(compressor::kDesignedClientWidth, compressor::kDesignedClientHeight);
    view_ = new TreeView1(tree_, &host_);
    host_.show();
    view_->expand(DriveIndex());
    QApplication::processEvents();
  }

  QModelIndex DriveIndex() const { return view_->Model().index(0, 0); }
  QModelIndex PlainIndex() const { return view_->Model().index(1, 0); }
  QModelIndex ChildNamed(const QModelIndex& parent, const QString& text) const {
    for (int row = 0; row < view_->Model().rowCount(parent); ++row) {
      const QModelIndex child = view_->Model().index(row, 0, parent);
      if (child.data().toString() == text) return child;
    }
    return {};
  }
  QVariant Check(const QModelIndex& index) const { return index.data(Qt::CheckStateRole); }
  void ClickAt(const QPoint& point) { QTest::mouseClick(view_->viewport(), Qt::LeftButton, {}, point); }

  testing_support::TempDir root_;
  testing_support::FakeDriveTable table_;
  compressor::DriveTree tree_;
  QWidget host_;
  TreeView1* view_ = nullptr;  // owned by host_
};

TEST_F(TreeView1Test, AClickOnTheBoxTogglesItAClickOnTheTextOrImageDoesNot) {
  const QModelIndex alpha = ChildNamed(DriveIndex(), "Alpha");
  ASSERT_TRUE(alpha.isValid());
  const QRect box = view_->BoxRect(alpha);
  ASSERT_FALSE(box.isEmpty());
  QSignalSpy sounds(view_, &TreeView1::boxClicked);
  QSignalSpy changes(view_, &TreeView1::checksChanged);

  ClickAt(view_->ElementRect(alpha, QStyle::SE_ItemViewItemText).center());
  ClickAt(view_->ElementRect(alpha, QStyle::SE_ItemViewItemDecoration).center());
  EXPECT_EQ(Check(alpha), Qt::Checked);
  EXPECT_EQ(view_->currentIndex(), alpha) << "the clicks reached the row";
  EXPECT_EQ(sounds.count(), 0);

  ClickAt(box.center());
  EXPECT_EQ(Check(alpha), Qt::Unchecked);
  EXPECT_EQ(Check(DriveIndex()), Qt::PartiallyChecked);
  EXPECT_EQ(sounds.count(), 1);
  EXPECT_EQ(changes.count(), 1);

  ClickAt(view_->BoxRect(DriveIndex()).center());
  EXPECT_EQ(Check(DriveIndex()), Qt::Checked) << "a partly checked node becomes checked";
  EXPECT_EQ(Check(alpha), Qt::Checked);
}

TEST_F(TreeView1Test, ADriveWithoutCompressionHasNoBoxAndNoExpandButton) {
  const QModelIndex plain = PlainIndex();
  EXPECT_EQ(plain.data().toString(), "/plain/ [ext4], Skiped because not NTFS");
  EXPECT_FALSE(Check(plain).isValid());
  EXPECT_TRUE(view_->BoxRect(plain).isEmpty());
  EXPECT_FALSE(view_->Model().hasChildren(plain));

  // Where a box would be, in front of its image: nothing happens.
  const QRect image = view_->ElementRect(plain, QStyle::SE_ItemViewItemDecoration);
  QSignalSpy sounds(view_, &TreeView1::boxClicked);
  ClickAt(QPoint(image.left() - 8, image.center().y()));
  EXPECT_FALSE(Check(plain).isValid());
  EXPECT_EQ(sounds.count(), 0);
}

TEST_F(TreeView1Test, AFolderIsReadWhenFirstOpenedAndItsPlaceholderIsNeverShown) {
  const QModelIndex alpha = ChildNamed(DriveIndex(), "Alpha");
  EXPECT_TRUE(view_->Model().hasChildren(alpha));
  EXPECT_TRUE(view_->Model().canFetchMore(alpha));
  ClickAt(view_->BoxRect(alpha).center());  // unchecked before it is read

  view_->expand(alpha);
  QApplication::processEvents();
  EXPECT_FALSE(view_->Model().canFetchMore(alpha));
  ASSERT_EQ(view_->Model().rowCount(alpha), 2);
  const QModelIndex inner = view_->Model().index(0, 0, alpha);
  EXPECT_EQ(inner.data().toString(), "inner");
  EXPECT_EQ(view_->Model().index(1, 0, alpha).data().toString(), "note.txt");
  EXPECT_EQ(Check(inner), Qt::Unchecked) << "entries take their folder's state";

  WriteFile(root_.path() + "Alpha/later.txt", "x");
  view_->collapse(alpha);
  view_->expand(alpha);
  EXPECT_EQ(view_->Model().rowCount(alpha), 2);

  // A folder with nothing in it loses its expand button once opened.
  const QModelIndex beta = ChildNamed(DriveIndex(), "beta");
  view_->expand(beta);
  QApplication::processEvents();
  EXPECT_FALSE(view_->Model().hasChildren(beta));
}

TEST_F(TreeView1Test, LooksAsDesigned) {
  EXPECT_EQ(view_->objectName(), "TreeView1");
  EXPECT_EQ(view_->geometry(), QRect(8, 7, 281, 302));
  EXPECT_EQ(view_->palette().color(QPalette::Base), QColor(192, 192, 192));
  EXPECT_EQ(view_->viewport()->cursor().shape(), Qt::PointingHandCursor);
  EXPECT_EQ(view_->indentation(), 19);
  EXPECT_TRUE(view_->isHeaderHidden());
  EXPECT_EQ(view_->editTriggers(), QAbstractItemView::NoEditTriggers);
  view_->FollowClientHeight(614);
  EXPECT_EQ(view_->geometry(), QRect(8, 7, 281, 402));

  // One image per kind, and each node shows its kind's.
  const auto& model = view_->Model();
  std::set<qint64> keys;
  for (int kind = 0; kind < 4; ++kind) {
    EXPECT_FALSE(model.KindIcon(kind).isNull()) << kind;
    keys.insert(model.KindIcon(kind).cacheKey());
  }
  EXPECT_EQ(keys.size(), 4u);
  const auto icon_of = [](const QModelIndex& index) { return index.data(Qt::DecorationRole).value<QIcon>().cacheKey(); };
  EXPECT_EQ(icon_of(PlainIndex()), model.KindIcon(compressor::kKindPlainDrive).cacheKey());
  EXPECT_EQ(icon_of(DriveIndex()), model.KindIcon(compressor::kKindCompressingDrive).cacheKey());
  EXPECT_EQ(icon_of(ChildNamed(DriveIndex(), "beta")), model.KindIcon(compressor::kKindFolder).cacheKey());
  const QModelIndex alpha = ChildNamed(DriveIndex(), "Alpha");
  view_->expand(alpha);
  EXPECT_EQ(icon_of(ChildNamed(alpha, "note.txt")), model.KindIcon(compressor::kKindFile).cacheKey());
}

TEST_F(TreeView1Test, RefreshRebuildsTheTreeWithEveryCompressingDriveCheckedAgain) {
  ClickAt(view_->BoxRect(DriveIndex()).center());
  ASSERT_EQ(Check(DriveIndex()), Qt::Unchecked);
  MakeDirs(root_.path() + "gamma");
  view_->Model().Rebuild();
  EXPECT_EQ(Check(DriveIndex()), Qt::Checked);
  EXPECT_TRUE(ChildNamed(DriveIndex(), "gamma").isValid());
}

}  // namespace
