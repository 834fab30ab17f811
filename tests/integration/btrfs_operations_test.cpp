// Compression, measurement and defragmentation through btrfs itself, on a loop-mounted image.
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/defragmenter.h"
#include "engine/dscan.h"
#include "engine_harness.h"
#include "platform/defrag_volume.h"
#include "platform/file_system.h"
#include "sample_data.h"
#include "scratch_btrfs.h"

namespace {

using platform::FILE_ATTRIBUTE_COMPRESSED;
using testing_support::CompressibleText;
using testing_support::IncompressibleBytes;
using testing_support::ReadFile;
using testing_support::Shell;
using testing_support::WriteFile;

void SetTimes(const std::string& path, time_t atime, time_t mtime) {
  const timespec times[2] = {{atime, 0}, {mtime, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

struct stat Stat(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st;
}

class BtrfsOperationsTest : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SCRATCH_BTRFS();
    fs_ = std::make_unique<testing_support::ScratchBtrfs>(512, "strictatime");
    root_ = fs_->root();
  }

  platform::AttributeRecord Record(const std::string& path) {
    platform::AttributeRecord record;
    EXPECT_TRUE(files_->ReadAttributes(path, record)) << path;
    return record;
  }

  std::unique_ptr<testing_support::ScratchBtrfs> fs_;
  std::string root_;
  std::unique_ptr<platform::FileSystem> files_ = platform::MakeLinuxFileSystem();
};

TEST_F(BtrfsOperationsTest, CompressAndDecompressKeepBytesAndTimes) {
  const std::string path = root_ + "text";
  const std::string contents = CompressibleText(1 << 20);
  WriteFile(path, contents);
  SetTimes(path, 1000000000, 1100000000);
  const platform::AttributeRecord before = Record(path);
  EXPECT_FALSE(before.attributes & FILE_ATTRIBUTE_COMPRESSED);

  files_->SetCompression(path, before, true);
  const platform::AttributeRecord compressed = Record(path);
  EXPECT_TRUE(compressed.attributes & FILE_ATTRIBUTE_COMPRESSED);
  EXPECT_LT(files_->CompressedSize(path), (1 << 20) / 4);  // measured right after: the new extents
  EXPECT_EQ(compressed.last_access, before.last_access);
  EXPECT_EQ(compressed.last_write, before.last_write);
  EXPECT_EQ(ReadFile(path), contents);

  files_->SetCompression(path, compressed, true);  // again: stays as it is
  EXPECT_TRUE(Record(path).attributes & FILE_ATTRIBUTE_COMPRESSED);

  files_->SetCompression(path, compressed, false);
  const platform::AttributeRecord decompressed = Record(path);
  EXPECT_FALSE(decompressed.attributes & FILE_ATTRIBUTE_COMPRESSED);
  EXPECT_EQ(files_->CompressedSize(path), 1 << 20);
  EXPECT_EQ(decompressed.last_access, before.last_access);
  EXPECT_EQ(decompressed.last_write, before.last_write);
  EXPECT_EQ(ReadFile(path), contents);
}

TEST_F(BtrfsOperationsTest, ReadOnlyOpenAndSharedFilesStayAsTheyWere) {
  const std::string contents = CompressibleText(300000);
  for (const char* name : {"readonly", "open", "shared", "reflinked"}) WriteFile(root_ + name, contents);
  ASSERT_EQ(chmod((root_ + "readonly").c_str(), 0444), 0);
  ASSERT_EQ(Shell("cp --reflink=always '" + root_ + "reflinked' '" + root_ + "reflink-copy'"), 0);
  ASSERT_EQ(Shell("btrfs -q subvolume create '" + root_ + "sub' && mv '" + root_ + "shared' '" + root_ +
                  "sub/' && btrfs -q subvolume snapshot '" + root_ + "sub' '" + root_ + "snap'"),
            0);
  const int held = open((root_ + "open").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  for (const std::string& path : {root_ + "readonly", root_ + "open", root_ + "sub/shared", root_ + "reflinked"}) {
    const auto before = Stat(path);
    files_->SetCompression(path, Record(path), true);
    EXPECT_FALSE(Record(path).attributes & FILE_ATTRIBUTE_COMPRESSED) << path;
    EXPECT_EQ(Stat(path).st_ctim.tv_nsec, before.st_ctim.tv_nsec) << path << " was touched";
    EXPECT_EQ(ReadFile(path), contents);
  }
  close(held);
  files_->SetCompression(root_ + "open", Record(root_ + "open"), true);
  EXPECT_TRUE(Record(root_ + "open").attributes & FILE_ATTRIBUTE_COMPRESSED);
}

TEST_F(BtrfsOperationsTest, TrialReadLeavesTheAccessTime) {
  const std::string path = root_ + "tried";
  WriteFile(path, CompressibleText(200000));
  SetTimes(path, 1000000000, 1100000000);
  std::vector<char> buffer(1 << 20);
  EXPECT_EQ(files_->ReadFileStart(path, buffer.data(), buffer.size()), 200000);
  EXPECT_EQ(Stat(path).st_atim.tv_sec, 1000000000);
  // The image is mounted strictatime: an ordinary read does move it.
  ReadFile(path);
  EXPECT_NE(Stat(path).st_atim.tv_sec, 1000000000);
}

TEST_F(BtrfsOperationsTest, SpecialFilesAreNeverTriedOrChanged) {
  ASSERT_EQ(mkfifo((root_ + "fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("text", (root_ + "link").c_str()), 0);
  WriteFile(root_ + "text", CompressibleText(100000));
  std::vector<char> buffer(1024);
  for (const std::string& path : {root_ + "fifo", root_ + "link"}) {
    EXPECT_EQ(files_->ReadFileStart(path, buffer.data(), buffer.size()), -1) << path;
    files_->SetCompression(path, platform::AttributeRecord{}, true);  // must not block or follow
  }
  EXPECT_FALSE(Record(root_ + "text").attributes & FILE_ATTRIBUTE_COMPRESSED);
}

size_t ExtentCount(platform::DefragVolume& volume, const std::string& path) {
  std::vector<platform::FileExtent> extents;
  EXPECT_TRUE(volume.OpenVolume(path));
  EXPECT_TRUE(volume.OpenFile(path));
  EXPECT_EQ(volume.GetFileExtents(1 << 20, extents), platform::RequestStatus::kOk);
  volume.CloseFile();
  volume.CloseVolume();
  return extents.size();
}

// Interleaved, synced appends leave the two files' extents alternating on disk.
void WriteFragmented(const std::string& path, const std::string& other, const std::string& contents) {
  const int a = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int b = open(other.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const size_t chunk = 64 * 1024;
  for (size_t offset = 0; offset < contents.size(); offset += chunk) {
    const size_t length = std::min(chunk, contents.size() - offset);
    ASSERT_EQ(write(a, contents.data() + offset, length), static_cast<ssize_t>(length));
    fsync(a);
    ASSERT_EQ(write(b, contents.data() + offset, length), static_cast<ssize_t>(length));
    fsync(b);
  }
  close(a);
  close(b);
}

TEST_F(BtrfsOperationsTest, FragmentedFileEndsWithFewerExtentsAndTheSameBytes) {
  const std::string path = root_ + "fragmented";
  const std::string contents = IncompressibleBytes(2 << 20);
  WriteFragmented(path, root_ + "interleaved", contents);
  SetTimes(path, 1000000000, 1100000000);
  const auto volume = platform::MakeLinuxDefragVolume();
  const size_t before = ExtentCount(*volume, path);
  ASSERT_GT(before, 1u);

  testing_support::TempDir log_dir;
  testing_support::FakeClock clock;
  platform::QueuedDispatcher dispatcher;
  testing_support::RecordingDecider decider;
  const auto log = engine::ActivityLog::Open(log_dir.path() + "log", true, clock);
  engine::DScan scan({clock, dispatcher, decider});
  scan.LogFile = log.get();
  engine::Defragmenter defragmenter(*files_, *volume);
  const platform::AttributeRecord record = Record(path);
  defragmenter.DefragmentFile(scan, path, record, "Defragment by request");

  EXPECT_LT(ExtentCount(*volume, path), before);
  EXPECT_EQ(Record(path).last_access, record.last_access);
  EXPECT_EQ(Record(path).last_write, record.last_write);
  EXPECT_EQ(ReadFile(path), contents);
  EXPECT_THAT(testing_support::ReadLogEvents(log_dir.path() + "log"),
              testing::ElementsAre("Defragmented |" + path + "|Defragment by request"));
  std::string raw = ReadFile(log_dir.path() + "log");
  EXPECT_NE(raw.find("\tDefragmented \t"), std::string::npos);

  // Shared with a snapshot: never moved.
  ASSERT_EQ(Shell("btrfs -q subvolume create '" + root_ + "sub'"), 0);
  WriteFragmented(root_ + "sub/fragmented", root_ + "sub/interleaved", contents);
  ASSERT_EQ(Shell("btrfs -q subvolume snapshot '" + root_ + "sub' '" + root_ + "snap'"), 0);
  const size_t shared_before = ExtentCount(*volume, root_ + "sub/fragmented");
  defragmenter.DefragmentFile(scan, root_ + "sub/fragmented", Record(root_ + "sub/fragmented"), "Defragment by request");
  EXPECT_EQ(ExtentCount(*volume, root_ + "sub/fragmented"), shared_before);
  EXPECT_EQ(testing_support::ReadLogEvents(log_dir.path() + "log").size(), 1u);
}

}  // namespace
