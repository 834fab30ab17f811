#include "engine/special_folder_match.h"

#include <gtest/gtest.h>

namespace {

TEST(SpecialFolderMatchTest, SubstringWithoutBoundaries) {
  const std::array<std::string_view, 4> special{"/data/Windows", "/etc/", "", "/tmp/"};
  struct Case {
    const char* folder;
    bool special;
  } cases[] = {
      {"/data/WINDOWS/", true},       {"/data/windows.old/", true},  {"/data/win/", false},
      {"/ETC/x/", true},              {"/home/me/etc/", true},       {"/home/me/etcetera/", false},
      {"/home/tmp/", true},           {"/home/me/", false},
  };
  for (const Case& c : cases) EXPECT_EQ(engine::IsSpecialFolder(c.folder, special), c.special) << c.folder;
}

TEST(SpecialFolderMatchTest, EmptyFoldersNeverMatch) {
  EXPECT_FALSE(engine::IsSpecialFolder("/anything/", {"", "", "", ""}));
}

}  // namespace
