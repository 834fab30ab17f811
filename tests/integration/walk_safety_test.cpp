// The walk on a real btrfs: links, special files and mount points inside the walked folder.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine_harness.h"
#include "platform/attribute_record.h"
#include "scratch_btrfs.h"

namespace {

using engine::CheckTreeNode;
using testing_support::MakeDirs;
using testing_support::Shell;
using testing_support::WriteFile;

// Reads each file's record as the real decision does, so a walk that opened a FIFO would hang here.
class RecordReadingDecider final : public engine::FileDecider {
 public:
  Outcome Decide(engine::DScan&, const std::string& path, const platform::DirEntry&) override {
    platform::AttributeRecord record;
    if (!platform::ReadAttributeRecord(path, record)) return Outcome::kSkipped;
    std::lock_guard<std::mutex> lock(mutex_);
    (record.attributes & platform::FILE_ATTRIBUTE_OFFLINE ? offline_ : examined_).push_back(path);
    return (record.attributes & platform::FILE_ATTRIBUTE_OFFLINE) ? Outcome::kSkipped : Outcome::kExamined;
  }
  std::vector<std::string> Examined() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::sort(examined_.begin(), examined_.end());
    return examined_;
  }
  std::vector<std::string> Offline() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::sort(offline_.begin(), offline_.end());
    return offline_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> examined_;
  std::vector<std::string> offline_;
};

void MakeSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

TEST(WalkSafetyTest, LinksSpecialFilesAndMountPointsAreNeverFollowed) {
  REQUIRE_SCRATCH_BTRFS();
  testing_support::ScratchBtrfs fs;
  const std::string root = fs.root();
  const std::string top = root + "top/";
  MakeDirs(top + "sub/deeper");
  MakeDirs(top + "mounted");
  WriteFile(top + "plain", "data");
  WriteFile(top + "sub/deeper/inner", "data");
  ASSERT_EQ(symlink("..", (top + "sub/loop").c_str()), 0);
  ASSERT_EQ(symlink("/", (top + "to-root").c_str()), 0);
  ASSERT_EQ(symlink("/etc/hostname", (top + "to-file").c_str()), 0);
  ASSERT_EQ(mkfifo((top + "fifo").c_str(), 0600), 0);
  // Socket paths are short; bind from inside the folder.
  ASSERT_EQ(chdir(top.c_str()), 0);
  MakeSocket("socket");
  ASSERT_EQ(chdir("/"), 0);
  ASSERT_EQ(Shell("mount -t tmpfs none '" + top + "mounted'"), 0);
  WriteFile(top + "mounted/elsewhere", "data");

  RecordReadingDecider decider;
  testing_support::FakeClock clock;
  platform::QueuedDispatcher dispatcher;
  testing_support::FakeTree tree;
  tree.AddDrive(CheckTreeNode::kStateChecked, root).Add(CheckTreeNode::kKindFolder, CheckTreeNode::kStateChecked, top);
  {
    engine::DScan scan({clock, dispatcher, decider});
    scan.Tree = &tree;
    scan.Resume();
    for (int i = 0; i < 20000 && !scan.AnalyzeComplete; ++i) {
      dispatcher.Pump();
      usleep(1000);
    }
    EXPECT_TRUE(scan.AnalyzeComplete);
  }
  Shell("umount -l '" + top + "mounted'");
  EXPECT_EQ(decider.Examined(), (std::vector<std::string>{top + "plain", top + "sub/deeper/inner"}));
  EXPECT_EQ(decider.Offline(), (std::vector<std::string>{top + "fifo", top + "socket", top + "sub/loop",
                                                         top + "to-file", top + "to-root"}));
}

}  // namespace
