// The drive and folder tree over a drive table of our own and real folders.
#include "compressor/drive_tree.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "engine_harness.h"
#include "fake_drive_table.h"
#include "temp_dir.h"

namespace {

using compressor::DriveTree;
using compressor::TreeNode;
using testing_support::MakeDirs;
using testing_support::TempDir;
using testing_support::WriteFile;

constexpr int kNone = compressor::kStateNone;
constexpr int kUnchecked = compressor::kStateUnchecked;
constexpr int kChecked = compressor::kStateChecked;
constexpr int kPartly = compressor::kStatePartlyChecked;

using testing_support::FakeDriveTable;

std::vector<std::string> Texts(const TreeNode& node) {
  std::vector<std::string> texts;
  for (size_t i = 0; i < node.ChildCount(); ++i) texts.push_back(node.Child(i).Text());
  return texts;
}

const TreeNode& Named(const TreeNode& parent, const std::string& text) {
  for (size_t i = 0; i < parent.ChildCount(); ++i) {
    if (parent.Child(i).Text() == text) return parent.Child(i);
  }
  throw std::runtime_error("no child " + text);
}
TreeNode& Named(TreeNode& parent, const std::string& text) {
  return const_cast<TreeNode&>(Named(static_cast<const TreeNode&>(parent), text));
}

class DriveTreeTest : public ::testing::Test {
 protected:
  DriveTreeTest() : tree_(table_) {}

  // A drive root holding two folders (one with a file and a folder inside), a file and a dot file.
  std::string MakeRoot(const TempDir& dir) {
    MakeDirs(dir.path() + "Alpha/inner");
    WriteFile(dir.path() + "Alpha/note.txt", "x");
    MakeDirs(dir.path() + "beta");
    WriteFile(dir.path() + "file", "x");
    WriteFile(dir.path() + ".hidden", "x");
    return dir.path();
  }

  FakeDriveTable table_;
  DriveTree tree_;
};

TEST_F(DriveTreeTest, ACompressingDriveIsCheckedAndReadAnyOtherIsALineWithoutBox) {
  TempDir a;
  TempDir b;
  table_.Add(MakeRoot(a), "btrfs", -1234567890);
  table_.Add(MakeRoot(b), "ext4");
  tree_.FillDriveTree();
  ASSERT_EQ(tree_.DriveCount(), 2u);

  const TreeNode& compressing = tree_.Drive(0);
  EXPECT_EQ(compressing.Text(), a.path() + " [btrfs], -1234567890, Sector: 512 Bytes");
  EXPECT_EQ(compressing.Kind(), compressor::kKindCompressingDrive);
  EXPECT_EQ(compressing.State(), kChecked);
  EXPECT_EQ(compressing.Level(), 0);
  ASSERT_NE(compressing.Data(), nullptr);
  EXPECT_EQ(*compressing.Data(), a.path());
  EXPECT_FALSE(compressing.HasPlaceholder());
  EXPECT_EQ(Texts(compressing), (std::vector<std::string>{"Alpha", "beta", "file"}));

  const TreeNode& plain = tree_.Drive(1);
  EXPECT_EQ(plain.Text(), b.path() + " [ext4], Skiped because not NTFS");
  EXPECT_EQ(plain.Kind(), compressor::kKindPlainDrive);
  EXPECT_EQ(plain.State(), kNone);
  EXPECT_EQ(plain.Data(), nullptr);
  EXPECT_EQ(plain.ChildCount(), 0u);
}

TEST_F(DriveTreeTest, DrivesKeepTheTableOrderWhateverTheirTexts) {
  TempDir a;
  table_.Add("/z/", "ext4");
  table_.Add("/a/", "xfs");
  table_.Add(a.path(), "btrfs");
  tree_.FillDriveTree();
  ASSERT_EQ(tree_.DriveCount(), 3u);
  EXPECT_EQ(tree_.Drive(0).Text(), "/z/ [ext4], Skiped because not NTFS");
  EXPECT_EQ(tree_.Drive(1).Text(), "/a/ [xfs], Skiped because not NTFS");
  EXPECT_EQ(*tree_.Drive(2).Data(), a.path());
}

TEST_F(DriveTreeTest, EntriesCarryTheirPathsKindsAndTheParentsState) {
  TempDir a;
  table_.Add(MakeRoot(a), "btrfs");
  tree_.FillDriveTree();
  const TreeNode& drive = tree_.Drive(0);
  const TreeNode& alpha = Named(drive, "Alpha");
  EXPECT_EQ(*alpha.Data(), a.path() + "Alpha/");
  EXPECT_EQ(alpha.Kind(), compressor::kKindFolder);
  EXPECT_EQ(alpha.Level(), 1);
  EXPECT_EQ(alpha.State(), kChecked);
  ASSERT_TRUE(alpha.HasPlaceholder()) << "a folder is read only when opened";
  EXPECT_EQ(alpha.ChildCount(), 1u);
  EXPECT_EQ(alpha.Child(0).Text(), compressor::PlaceholderText);
  EXPECT_EQ(alpha.Child(0).Data(), nullptr);
  EXPECT_EQ(alpha.Child(0).State(), kNone);

  const TreeNode& file = Named(drive, "file");
  EXPECT_EQ(*file.Data(), a.path() + "file");
  EXPECT_EQ(file.Kind(), compressor::kKindFile);
  EXPECT_EQ(file.ChildCount(), 0u);
}

TEST_F(DriveTreeTest, ALinkToAFolderIsShownButNeverOpened) {
  TempDir a;
  MakeDirs(a.path() + "real/inside");
  ASSERT_EQ(symlink("real", (a.path() + "link").c_str()), 0);
  table_.Add(a.path(), "btrfs");
  tree_.FillDriveTree();
  const TreeNode& link = Named(tree_.Drive(0), "link");
  EXPECT_EQ(link.Kind(), compressor::kKindFile);
  EXPECT_EQ(link.ChildCount(), 0u);
  EXPECT_EQ(*link.Data(), a.path() + "link");
}

TEST_F(DriveTreeTest, FoldersComeFirstNamesCompareWithoutCaseAndDotNamesAreNeverListed) {
  TempDir a;
  for (const char* folder : {"zeta", "Mid", ".git", "alpha"}) MakeDirs(a.path() + folder);
  for (const char* file : {"b.txt", "A.txt", ".profile", "0first", "\xC3\xA4mlaut", "Zed"}) {
    WriteFile(a.path() + file, "x");
  }
  table_.Add(a.path(), "btrfs");
  tree_.FillDriveTree();
  EXPECT_EQ(Texts(tree_.Drive(0)), (std::vector<std::string>{"alpha", "Mid", "zeta", "0first", "A.txt", "b.txt",
                                                             "Zed", "\xC3\xA4mlaut"}));
}

TEST(DriveTreeCompareTest, OrderRule) {
  const auto node = [](int kind, const std::string& text) {
    return std::make_unique<TreeNode>(text, std::string("/x/") + text, kind, kChecked, 1);
  };
  const auto sign = [](int value) { return (value > 0) - (value < 0); };
  struct Case {
    int kind_a;
    const char* a;
    int kind_b;
    const char* b;
    int expected;
  };
  const Case cases[] = {
      {compressor::kKindFolder, "zzz", compressor::kKindFile, "aaa", -1},  // folders before files
      {compressor::kKindFile, "aaa", compressor::kKindFolder, "zzz", 1},
      {compressor::kKindFile, "abc", compressor::kKindFile, "ABD", -1},
      {compressor::kKindFile, "Same", compressor::kKindFile, "sAME", 0},  // equal names are equal
      {compressor::kKindFolder, "a_b", compressor::kKindFolder, "aB", 1},  // upper-cased first: '_' after 'B'
      {compressor::kKindCompressingDrive, "/b/", compressor::kKindCompressingDrive, "/a/", 0},  // drives stay put
      {compressor::kKindPlainDrive, compressor::PlaceholderText, compressor::kKindFolder, "a", 0},
  };
  for (const Case& c : cases) {
    const auto a = node(c.kind_a, c.a);
    const auto b = node(c.kind_b, c.b);
    EXPECT_EQ(sign(DriveTree::TreeView1Compare(*a, *b)), c.expected) << c.a << " vs " << c.b;
  }
}

TEST_F(DriveTreeTest, AFolderIsReadOnceAtItsFirstOpening) {
  TempDir a;
  table_.Add(MakeRoot(a), "btrfs");
  tree_.FillDriveTree();
  TreeNode& alpha = Named(tree_.Drive(0), "Alpha");
  tree_.TreeView1Expanding(alpha);
  EXPECT_EQ(Texts(alpha), (std::vector<std::string>{"inner", "note.txt"}));
  EXPECT_EQ(Named(alpha, "inner").Level(), 2);
  EXPECT_EQ(*Named(alpha, "inner").Data(), a.path() + "Alpha/inner/");

  WriteFile(a.path() + "Alpha/later", "x");
  tree_.TreeView1Expanding(alpha);
  EXPECT_EQ(alpha.ChildCount(), 2u) << "kept until the tree is rebuilt";

  // A folder that cannot be listed loses its placeholder and gets nothing.
  TreeNode& beta = Named(tree_.Drive(0), "beta");
  std::filesystem::remove(a.path() + "beta");
  tree_.TreeView1Expanding(beta);
  EXPECT_EQ(beta.ChildCount(), 0u);
}

// The drive holds Alpha (opened: inner, note.txt), beta (not opened) and file.
class DriveTreeClickTest : public DriveTreeTest {
 protected:
  void SetUp() override {
    table_.Add(MakeRoot(root_), "btrfs");
    table_.Add("/plain/", "vfat");
    tree_.FillDriveTree();
    tree_.TreeView1Expanding(Alpha());
  }
  TreeNode& Drive() { return tree_.Drive(0); }
  TreeNode& Alpha() { return Named(Drive(), "Alpha"); }
  TreeNode& Beta() { return Named(Drive(), "beta"); }
  TreeNode& File() { return Named(Drive(), "file"); }

  TempDir root_;
};

TEST_F(DriveTreeClickTest, UncheckingACheckedFolderUnchecksItsSubtreeAndMakesTheDrivePartlyChecked) {
  ASSERT_TRUE(DriveTree::ToggleNodeBox(Alpha()));
  EXPECT_EQ(Alpha().State(), kUnchecked);
  EXPECT_EQ(Named(Alpha(), "inner").State(), kUnchecked);
  EXPECT_EQ(Named(Named(Alpha(), "inner"), compressor::PlaceholderText).State(), kUnchecked);
  EXPECT_EQ(Named(Alpha(), "note.txt").State(), kUnchecked);
  EXPECT_EQ(Drive().State(), kPartly);

  DriveTree::ToggleNodeBox(Beta());
  EXPECT_EQ(Drive().State(), kPartly) << "file is still checked";
  DriveTree::ToggleNodeBox(File());
  EXPECT_EQ(Drive().State(), kUnchecked) << "every child with a box is unchecked";
}

TEST_F(DriveTreeClickTest, ClickingAPartlyCheckedNodeChecksEverythingBelowIt) {
  DriveTree::ToggleNodeBox(Named(Alpha(), "note.txt"));
  ASSERT_EQ(Alpha().State(), kPartly);
  ASSERT_EQ(Drive().State(), kPartly);
  DriveTree::ToggleNodeBox(Alpha());
  EXPECT_EQ(Alpha().State(), kChecked);
  EXPECT_EQ(Named(Alpha(), "note.txt").State(), kChecked);
  EXPECT_EQ(Named(Alpha(), "inner").State(), kChecked);
  EXPECT_EQ(Drive().State(), kChecked);

  DriveTree::ToggleNodeBox(File());
  DriveTree::ToggleNodeBox(Drive());  // partly checked drive
  for (TreeNode* node : {&Drive(), &Alpha(), &Beta(), &File()}) EXPECT_EQ(node->State(), kChecked) << node->Text();
}

TEST_F(DriveTreeClickTest, AFolderOpenedLaterTakesTheStateItsBoxHasThen) {
  DriveTree::ToggleNodeBox(Beta());
  MakeDirs(root_.path() + "beta/sub");
  tree_.TreeView1Expanding(Beta());
  EXPECT_EQ(Named(Beta(), "sub").State(), kUnchecked);
  EXPECT_EQ(Drive().State(), kPartly);
}

TEST_F(DriveTreeClickTest, ANodeWithoutBoxIgnoresTheClick) {
  TreeNode& plain = tree_.Drive(1);
  EXPECT_FALSE(DriveTree::ToggleNodeBox(plain));
  EXPECT_EQ(plain.State(), kNone);
}

TEST_F(DriveTreeClickTest, UpdateNodeStateLeavesANodeWithoutBoxedChildrenAlone) {
  TreeNode& inner = Named(Alpha(), "inner");  // only a placeholder, without a box
  inner.SetState(kPartly);
  DriveTree::UpdateNodeState(inner);
  EXPECT_EQ(inner.State(), kPartly);
}

class DiskSizesTest : public ::testing::Test {
 protected:
  DiskSizesTest() : tree_(table_) {}

  void AddDrive(const std::string& root, const std::string& file_system, platform::DriveSpace space, uint64_t id = 0) {
    table_.Add(root, file_system, 1, id);
    table_.spaces[root] = space;
  }

  FakeDriveTable table_;
  DriveTree tree_;
  // Roots that exist and are empty.
  TempDir a_;
  TempDir b_;
  TempDir c_;
};

TEST_F(DiskSizesTest, OnlyCheckedCompressingDrivesCountEachFileSystemOnce) {
  AddDrive(a_.path(), "btrfs", {4096, 256, 1024});        // 4 MiB, 1 MiB free
  AddDrive("/plain/", "ext4", {4096, 1 << 20, 1 << 20});  // never counts
  AddDrive(b_.path(), "btrfs", {4096, 256, 1024}, 99);    // one file system mounted twice
  AddDrive(c_.path(), "btrfs", {4096, 256, 1024}, 99);
  tree_.FillDriveTree();
  compressor::DiskSizes sizes = tree_.UpdateDiskSizes(nullptr);
  EXPECT_EQ(sizes.CheckedDisksSize, 8 << 20);
  EXPECT_EQ(sizes.CheckedDisksFree, 2 << 20);
  EXPECT_EQ(sizes.Label1, "Full Disk(s) Size: 8 Mebibytes");
  EXPECT_EQ(sizes.Label2, "Free Disk(s) Size: 2 Mebibytes");

  DriveTree::ToggleNodeBox(tree_.Drive(2));
  sizes = tree_.UpdateDiskSizes(nullptr);
  EXPECT_EQ(sizes.CheckedDisksSize, 8 << 20) << "the other mount of the file system still counts";
  DriveTree::ToggleNodeBox(tree_.Drive(0));
  DriveTree::ToggleNodeBox(tree_.Drive(3));
  sizes = tree_.UpdateDiskSizes(nullptr);
  EXPECT_EQ(sizes.Label1, "Full Disk(s) Size: Unknown");
  EXPECT_EQ(sizes.Label2, "Free Disk(s) Size: Unknown");
}

TEST_F(DiskSizesTest, TextsOfSmallAndUnknownSizes) {
  struct Case {
    platform::DriveSpace space;
    bool answers;
    const char* full;
    const char* free;
  };
  const Case cases[] = {
      {{1, 1048575, 1048576}, true, "Full Disk(s) Size: 1 Mebibytes", "Free Disk(s) Size: 0 Mebibytes"},
      {{512, 0, 3}, true, "Full Disk(s) Size: 0 Mebibytes", "Free Disk(s) Size: Unknown"},
      {{4096, 1, 2}, false, "Full Disk(s) Size: Unknown", "Free Disk(s) Size: Unknown"},  // the drive did not answer
  };
  for (const Case& c : cases) {
    FakeDriveTable table;
    table.Add(a_.path(), "btrfs");
    if (c.answers) table.spaces[a_.path()] = c.space;
    DriveTree tree(table);
    tree.FillDriveTree();
    const compressor::DiskSizes sizes = tree.UpdateDiskSizes(nullptr);
    EXPECT_EQ(sizes.Label1, c.full);
    EXPECT_EQ(sizes.Label2, c.free);
  }
}

TEST_F(DiskSizesTest, APartlyCheckedDriveCountsAndTheEngineStartsANewPass) {
  MakeDirs(a_.path() + "one");
  MakeDirs(a_.path() + "two");
  AddDrive(a_.path(), "btrfs", {4096, 256, 1024});
  tree_.FillDriveTree();
  DriveTree::ToggleNodeBox(Named(tree_.Drive(0), "one"));
  ASSERT_EQ(tree_.Drive(0).State(), kPartly);

  testing_support::EngineHarness harness;
  engine::DScan& scan = harness.scan();
  scan.AllFilesCount = 5;
  scan.CompressedFilesCount = 3;
  scan.AllFilesSize = 9;
  scan.RescanRequested = false;
  EXPECT_EQ(tree_.UpdateDiskSizes(&scan).CheckedDisksSize, 4 << 20);
  EXPECT_EQ(scan.AllFilesCount.load(), 0);
  EXPECT_EQ(scan.CompressedFilesCount.load(), 0);
  EXPECT_EQ(scan.AllFilesSize.load(), 9) << "the other counters are the engine's to reset";
  EXPECT_TRUE(scan.RescanRequested.load());
}

// The engine collects its folders from this tree through its own interface.
TEST_F(DriveTreeClickTest, TheEngineTakesTheCheckedFoldersOfTheRootAndNoFiles) {
  testing_support::EngineHarness harness;
  engine::DScan& scan = harness.scan();
  scan.Tree = &tree_;
  scan.CollectCheckedFolders();
  EXPECT_EQ(std::vector<std::string>(scan.FolderQueue.begin(), scan.FolderQueue.end()),
            (std::vector<std::string>{root_.path() + "Alpha/", root_.path() + "beta/"}));

  DriveTree::ToggleNodeBox(Beta());
  DriveTree::ToggleNodeBox(Named(Alpha(), "note.txt"));
  scan.CollectCheckedFolders();
  EXPECT_EQ(std::vector<std::string>(scan.FolderQueue.begin(), scan.FolderQueue.end()),
            (std::vector<std::string>{root_.path() + "Alpha/inner/"}));
}

}  // namespace
