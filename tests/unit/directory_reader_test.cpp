#include "platform/directory_reader.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <map>

#include "platform/attribute_record.h"
#include "temp_dir.h"

namespace {

using platform::FILE_ATTRIBUTE_DIRECTORY;
using platform::FILE_ATTRIBUTE_NORMAL;
using platform::FILE_ATTRIBUTE_OFFLINE;
using testing_support::TempDir;

std::map<std::string, uint32_t> List(const std::string& folder) {
  platform::DirectoryReader reader;
  std::map<std::string, uint32_t> entries;
  if (!reader.Open(folder)) return entries;
  platform::DirEntry entry;
  while (reader.Next(entry)) entries[entry.name] = entry.attributes;
  return entries;
}

void MakeSocket(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  close(fd);
}

TEST(DirectoryReaderTest, MarksEverythingButFilesAndFoldersOffline) {
  TempDir dir;
  const std::string& d = dir.path();
  testing_support::MakeDirs(d + "folder");
  testing_support::WriteFile(d + "file", "x");
  ASSERT_EQ(symlink("/", (d + "link-to-root").c_str()), 0);
  ASSERT_EQ(symlink("folder", (d + "link-to-folder").c_str()), 0);
  ASSERT_EQ(mkfifo((d + "fifo").c_str(), 0600), 0);
  MakeSocket(d + "socket");

  const auto entries = List(d);
  EXPECT_EQ(entries.at("."), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(entries.at(".."), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(entries.at("folder"), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(entries.at("file"), FILE_ATTRIBUTE_NORMAL);
  for (const char* name : {"link-to-root", "link-to-folder", "fifo", "socket"}) {
    EXPECT_EQ(entries.at(name), FILE_ATTRIBUTE_OFFLINE) << name;
  }
  EXPECT_EQ(entries.size(), 8u);
}

TEST(DirectoryReaderTest, RefusesLinksAndMissingFolders) {
  TempDir dir;
  testing_support::MakeDirs(dir.path() + "real/inner");
  ASSERT_EQ(symlink("real", (dir.path() + "link").c_str()), 0);
  platform::DirectoryReader reader;
  EXPECT_TRUE(reader.Open(dir.path() + "real/"));
  // A link anywhere in the path, not only at its end, is refused.
  EXPECT_FALSE(reader.Open(dir.path() + "link/"));
  EXPECT_FALSE(reader.Open(dir.path() + "link/inner/"));
  EXPECT_FALSE(reader.Open(dir.path() + "missing/"));
}

TEST(DirectoryReaderTest, ListsLargeFoldersWhole) {
  TempDir dir;
  for (int i = 0; i < 3000; ++i) testing_support::WriteFile(dir.path() + "f" + std::to_string(i), "");
  EXPECT_EQ(List(dir.path()).size(), 3002u);
}

TEST(AttributeRecordReadTest, ReadsTimesAndNeverOpensSpecialFiles) {
  TempDir dir;
  const std::string file = dir.path() + "file";
  testing_support::WriteFile(file, std::string(5000, 'a'));
  const timespec times[2] = {{1000000000, 500}, {1100000000, 700}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  ASSERT_EQ(mkfifo((dir.path() + "fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink("file", (dir.path() + "link").c_str()), 0);

  platform::AttributeRecord record;
  ASSERT_TRUE(platform::ReadAttributeRecord(file, record));
  EXPECT_EQ(record.Size(), 5000);
  EXPECT_EQ(record.last_access, platform::FileTimeFromUnix(1000000000, 500));
  EXPECT_EQ(record.last_write, platform::FileTimeFromUnix(1100000000, 700));
  EXPECT_EQ(record.attributes & (platform::FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_DIRECTORY), 0u);

  // Opening the FIFO for reading would block this test forever.
  ASSERT_TRUE(platform::ReadAttributeRecord(dir.path() + "fifo", record));
  EXPECT_EQ(record.attributes, FILE_ATTRIBUTE_OFFLINE);
  ASSERT_TRUE(platform::ReadAttributeRecord(dir.path() + "link", record));
  EXPECT_EQ(record.attributes, FILE_ATTRIBUTE_OFFLINE);
  EXPECT_FALSE(platform::ReadAttributeRecord(dir.path() + "missing", record));
}

TEST(AttributeRecordReadTest, WordFromModeAndInodeFlags) {
  constexpr uint32_t kCompressFlag = 0x4, kImmutable = 0x10, kNoCow = 0x800000;
  EXPECT_EQ(platform::AttributeWordFor(S_IFREG | 0644, 0), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(platform::AttributeWordFor(S_IFREG | 0644, kCompressFlag), platform::FILE_ATTRIBUTE_COMPRESSED);
  EXPECT_EQ(platform::AttributeWordFor(S_IFREG | 0644, kNoCow), platform::FILE_ATTRIBUTE_SYSTEM);
  EXPECT_EQ(platform::AttributeWordFor(S_IFREG | 0444, kImmutable),
            platform::FILE_ATTRIBUTE_SYSTEM | platform::FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(platform::AttributeWordFor(S_IFDIR | 0755, 0), FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(platform::AttributeWordFor(S_IFLNK | 0777, 0), FILE_ATTRIBUTE_OFFLINE);
  EXPECT_EQ(platform::AttributeWordFor(S_IFCHR | 0666, 0), FILE_ATTRIBUTE_OFFLINE);
}

}  // namespace
