#include "engine/file_rules.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <random>

#include "engine/trial_compression.h"

namespace {

using namespace engine;

TEST(FileRulesTest, RoundsUpToWholeClusters) {
  const std::pair<int64_t, int64_t> cases[] = {{0, 0}, {1, 4096}, {4096, 4096}, {4097, 8192}, {5000000000, 5000003584}};
  for (const auto& [size, rounded] : cases) EXPECT_EQ(RoundUpToClusters(size, 4096), rounded) << size;
}

TEST(FileRulesTest, NamesAndExtensionsMatchAsSubstrings) {
  for (const char* name : {"pagefile.sys", "mynltldr.bak", "myntldr.bak", "hiberfil.sys.old", "ntdetect.com"}) {
    EXPECT_EQ(IsSystemFileName(name), std::string(name) != "mynltldr.bak") << name;
  }
  EXPECT_EQ(ExtractFileExt("backup.tar.gz"), ".gz");
  EXPECT_EQ(ExtractFileExt("noext"), "");
  EXPECT_EQ(ExtractFileName("/a/b.c/d.txt"), "d.txt");
  for (const char* ext : {".gz", ".gzip", ".jpg", ".jpeg", ".png", ".mp4"}) EXPECT_TRUE(HasPoorlyCompressingExtension(ext)) << ext;
  for (const char* ext : {"", ".txt", ".g", ".tar"}) EXPECT_FALSE(HasPoorlyCompressingExtension(ext)) << ext;
}

TEST(FileRulesTest, AgeUnitsTruncateEachTimeAndWrapForTheFuture) {
  auto at = [](uint32_t high) { return platform::FileTime{0, high}; };
  EXPECT_EQ(AgeUnits(at(46 * 100), at(46 * 97)), 3u);
  EXPECT_EQ(AgeUnits(at(46 * 100 + 45), at(46 * 97)), 3u);  // up to one unit more elapsed
  EXPECT_EQ(AgeUnits(at(46 * 100), at(46 * 96 + 45)), 4u);  // or one less
  EXPECT_EQ(AgeUnits(at(46 * 97), at(46 * 100)), 4294967293u);
}

TEST(FileRulesTest, UseJudgementBounds) {
  struct Case {
    bool watcher_rule;
    int64_t interval_or_age;
    bool frequently, seldom;
  } cases[] = {
      {true, 0, true, false},       {true, 172799, true, false},  {true, 172800, false, false},
      {true, 431999, false, false}, {true, 432000, false, true},  {true, -86400, false, false},
      {false, 3, true, false},      {false, 4, false, false},     {false, 5, false, false},
      {false, 6, false, true},
  };
  for (const Case& c : cases) {
    const UseJudgement use = c.watcher_rule ? JudgeUse(true, UseDays(c.interval_or_age), 0)
                                            : JudgeUse(false, 0, static_cast<uint32_t>(c.interval_or_age));
    EXPECT_EQ(use.frequently_used, c.frequently) << c.interval_or_age;
    EXPECT_EQ(use.seldom_used, c.seldom) << c.interval_or_age;
  }
}

TEST(FileRulesTest, TrialBoundsGrowWithTheFile) {
  struct Case {
    int64_t on_disk, trial, read;
    bool pays;
  } cases[] = {
      {503808, 374999, 500000, true},        {503808, 375000, 500000, false},
      {2002944, 943717, 1048576, true},      {2002944, 943719, 1048576, false},  // ratio 89 / 90
      {400003072, 996147, 1048576, true},    {400003072, 996148, 1048576, false},  // 94 / 95
      {314572800, 996147, 1048576, true},    {314568704, 943719, 1048576, false},  // 300 MiB is large
      {12288, 100, 0, false},
  };
  for (const Case& c : cases) EXPECT_EQ(TrialPays(c.on_disk, c.trial, c.read), c.pays) << c.on_disk << " " << c.trial;
}

TEST(TrialCompressorTest, GivesTheBytesOfAFreshCompressAtLevelOne) {
  std::mt19937 random(7);
  TrialCompressor trial;
  for (size_t size : {size_t{1}, size_t{1000}, size_t{300000}, TrialCompressor::kTrialBytes}) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i % 3 == 0 ? random() % 256 : 'a' + i % 7);
    uLongf expected = compressBound(static_cast<uLong>(size));
    std::vector<Bytef> out(expected);
    ASSERT_EQ(compress2(out.data(), &expected, reinterpret_cast<const Bytef*>(data.data()), size, 1), Z_OK);
    TrialResult result;
    ASSERT_TRUE(trial.Compress(data.data(), size, result));
    EXPECT_EQ(result.trial_size, static_cast<int64_t>(expected)) << size;
    EXPECT_EQ(result.bytes_read, static_cast<int64_t>(size));
  }
}

}  // namespace
