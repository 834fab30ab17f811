#include "shared/ascii_case.h"

#include <gtest/gtest.h>

namespace {

TEST(AsciiCaseTest, OnlyAsciiLettersChange) {
  EXPECT_EQ(shared::AsciiLower("C:/Windows/NOTEPAD.EXE"), "c:/windows/notepad.exe");
  EXPECT_EQ(shared::AsciiUpper("/usr/Local-1_x/"), "/USR/LOCAL-1_X/");
  // Bytes from 0x80 up (UTF-8 or any code page) are left as they are, whatever the locale.
  EXPECT_EQ(shared::AsciiLower("\xC3\x84\xFF@[`{"), "\xC3\x84\xFF@[`{");
  EXPECT_EQ(shared::AsciiUpper("\xC3\xA4\xFF@[`{"), "\xC3\xA4\xFF@[`{");
}

}  // namespace
