// The use data format: header and tag, record bytes, the bounded record reader, the zlib stream and
// the decoding both programs share.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shared/use_data_file.h"
#include "shared/use_data_format.h"
#include "shared/use_data_stream.h"

namespace {

using shared::UseRecord;

std::string Int32(int32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF));
  return bytes;
}

std::string HeaderWith(int32_t tag_length, const std::string& tag) { return Int32(tag_length) + tag; }

// Two records after the header; the second begins at SecondOffset().
std::string TwoRecords() {
  std::string content = shared::LoneHeader();
  shared::AppendUseRecord(content, UseRecord{"/d/first", 11, 100, 1, 1});
  shared::AppendUseRecord(content, UseRecord{"/d/second.txt", 22, 200, 60, 2});
  return content;
}
size_t SecondOffset() { return shared::kHeaderSize + shared::UseRecordSize(8); }

std::vector<std::string> PathsOf(std::string_view content) {
  std::vector<std::string> paths;
  shared::UseRecordReader reader(content);
  UseRecord record;
  while (reader.Next(record)) paths.emplace_back(record.Path);
  return paths;
}

TEST(UseDataFormatTest, LoneHeaderIsTheTagLengthAndTheTag) {
  EXPECT_EQ(shared::LoneHeader(), std::string("\x05\x00\x00\x00" "1.3.4", 9));
}

TEST(UseDataFormatTest, TagIsComparedExactly) {
  const struct {
    const char* name;
    std::string bytes;
    bool tagged;
  } cases[] = {
      {"lone header", shared::LoneHeader(), true},
      {"header and records", TwoRecords(), true},
      {"empty", "", false},
      {"shorter than TagLength", std::string("\x05\x00\x00", 3), false},
      {"cut tag", HeaderWith(5, "1.3."), false},
      {"older version", HeaderWith(5, "1.3.3"), false},
      {"upper-case variant", HeaderWith(5, "1.3.4").replace(4, 1, "I"), false},
      {"longer TagLength", HeaderWith(6, "1.3.4x"), false},
      {"shorter TagLength", HeaderWith(4, "1.3.4"), false},
      {"negative TagLength", HeaderWith(-1, "1.3.4"), false},
  };
  for (const auto& c : cases) EXPECT_EQ(shared::HasFormatTag(c.bytes), c.tagged) << c.name;
}

TEST(UseDataFormatTest, RecordIsLittleEndianInFieldOrder) {
  std::string content;
  shared::AppendUseRecord(content, UseRecord{"c:\\a.txt", 10027503, 0x0102030405060708, -2, 3});
  const std::string expected = std::string("\x08\x00", 2) + std::string("\xEF\x01\x99\x00", 4) + "c:\\a.txt" +
                               std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8) +
                               std::string("\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8) +
                               std::string("\x03\x00\x00\x00\x00\x00\x00\x00", 8);
  EXPECT_EQ(content, expected);
  EXPECT_EQ(content.size(), shared::UseRecordSize(8));

  UseRecord record;
  ASSERT_TRUE(shared::ReadUseRecordAt(content, 0, record));
  EXPECT_EQ(record.Path, "c:\\a.txt");
  EXPECT_EQ(record.PathHash, 10027503);
  EXPECT_EQ(record.LastUse, 0x0102030405060708);
  EXPECT_EQ(record.MeanInterval, -2);
  EXPECT_EQ(record.UseCount, 3);

  record.LastUse = 9;
  record.MeanInterval = 8;
  record.UseCount = 7;
  shared::OverwriteUseValues(content, record);
  UseRecord again;
  ASSERT_TRUE(shared::ReadUseRecordAt(content, 0, again));
  EXPECT_EQ(again.Path, "c:\\a.txt");
  EXPECT_EQ(again.PathHash, 10027503);
  EXPECT_EQ(again.LastUse, 9);
  EXPECT_EQ(again.MeanInterval, 8);
  EXPECT_EQ(again.UseCount, 7);
}

TEST(UseRecordReaderTest, ReadsEveryRecordInFileOrder) {
  const std::string content = TwoRecords();
  shared::UseRecordReader reader(content);
  UseRecord record;
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(record.Offset, shared::kHeaderSize);
  EXPECT_EQ(record.Path, "/d/first");
  EXPECT_EQ(record.PathHash, 11);
  ASSERT_TRUE(reader.Next(record));
  EXPECT_EQ(record.Offset, SecondOffset());
  EXPECT_EQ(record.Path, "/d/second.txt");
  EXPECT_EQ(record.LastUse, 200);
  EXPECT_EQ(record.MeanInterval, 60);
  EXPECT_EQ(record.UseCount, 2);
  EXPECT_FALSE(reader.Next(record));
  EXPECT_EQ(reader.End(), content.size());
}

TEST(UseRecordReaderTest, DamageYieldsTheRecordsBeforeItAndNothingElse) {
  const std::string whole = TwoRecords();
  std::string long_length = whole;
  long_length[SecondOffset()] = '\xFF';  // PathLength 0xFF0D: far past the end
  long_length[SecondOffset() + 1] = '\xFF';
  const struct {
    const char* name;
    std::string content;
    std::vector<std::string> paths;
  } cases[] = {
      {"empty", "", {}},
      {"cut header", whole.substr(0, 5), {}},
      {"lone header", shared::LoneHeader(), {}},
      {"one byte of PathLength", whole.substr(0, SecondOffset() + 1), {"/d/first"}},
      {"cut in the hash", whole.substr(0, SecondOffset() + 4), {"/d/first"}},
      {"cut in the path", whole.substr(0, SecondOffset() + 10), {"/d/first"}},
      {"cut in the last value", whole.substr(0, whole.size() - 1), {"/d/first"}},
      {"PathLength beyond the end", long_length, {"/d/first"}},
      {"whole", whole, {"/d/first", "/d/second.txt"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PathsOf(c.content), c.paths) << c.name;
    shared::UseRecordReader reader(c.content);
    UseRecord record;
    while (reader.Next(record)) {
      EXPECT_LE(record.Path.data() + record.Path.size(), c.content.data() + c.content.size()) << c.name;
    }
    EXPECT_LE(reader.End(), c.content.size()) << c.name;
  }
}

TEST(UseDataStreamTest, DeflatesAtLevelNineAndInflatesBack) {
  const std::string content = TwoRecords();
  const auto stream = shared::DeflateUseData(content);
  ASSERT_TRUE(stream);
  ASSERT_GE(stream->size(), 2u);
  // RFC 1950 header of a 32 KiB window with the maximum compression level.
  EXPECT_EQ(static_cast<unsigned char>((*stream)[0]), 0x78);
  EXPECT_EQ(static_cast<unsigned char>((*stream)[1]), 0xDA);
  const shared::Inflated inflated = shared::InflateUseData(*stream, shared::kMaxUseDataBytes);
  EXPECT_EQ(inflated.end, shared::StreamEnd::kComplete);
  EXPECT_EQ(inflated.bytes, content);
}

TEST(UseDataStreamTest, EveryWayAStreamCanEnd) {
  // Larger than one inflate step, so the steps and the cut are both exercised.
  std::string content = shared::LoneHeader();
  for (int i = 0; i < 6000; ++i) {
    shared::AppendUseRecord(content, UseRecord{"/data/file-" + std::to_string(i), i, i, i, i});
  }
  const std::string stream = *shared::DeflateUseData(content);
  std::string damaged = stream;
  damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x55);
  const struct {
    const char* name;
    std::string input;
    size_t max_bytes;
    shared::StreamEnd end;
    size_t bytes;  // how many leading bytes of `content` come out
  } cases[] = {
      {"complete", stream, shared::kMaxUseDataBytes, shared::StreamEnd::kComplete, content.size()},
      {"bytes after the stream are ignored", stream + "trailing", shared::kMaxUseDataBytes,
       shared::StreamEnd::kComplete, content.size()},
      {"bound equal to the size", stream, content.size(), shared::StreamEnd::kComplete, content.size()},
      {"bound one byte short", stream, content.size() - 1, shared::StreamEnd::kCapped, content.size() - 1},
      {"small bound", stream, 1000, shared::StreamEnd::kCapped, 1000},
      {"empty input", "", shared::kMaxUseDataBytes, shared::StreamEnd::kCut, 0},
      {"not zlib", "plain text, not a stream", shared::kMaxUseDataBytes, shared::StreamEnd::kInvalid, 0},
      {"damaged in the middle", damaged, shared::kMaxUseDataBytes, shared::StreamEnd::kInvalid, 0},
  };
  for (const auto& c : cases) {
    const shared::Inflated inflated = shared::InflateUseData(c.input, c.max_bytes);
    EXPECT_EQ(inflated.end, c.end) << c.name;
    EXPECT_EQ(inflated.bytes, content.substr(0, c.bytes)) << c.name;
  }
  // A cut stream gives a prefix of the content, however much of it zlib had decoded.
  const shared::Inflated cut = shared::InflateUseData(stream.substr(0, stream.size() / 2), shared::kMaxUseDataBytes);
  EXPECT_EQ(cut.end, shared::StreamEnd::kCut);
  EXPECT_GT(cut.bytes.size(), 0u);
  EXPECT_EQ(cut.bytes, content.substr(0, cut.bytes.size()));
}

TEST(UseDataDecodeTest, KeepsTheWholeRecordsOfOurFormatOnly) {
  std::string many = shared::LoneHeader();
  for (int i = 0; i < 1000; ++i) shared::AppendUseRecord(many, UseRecord{"/d/f" + std::to_string(i), i, 1, 1, 1});
  const std::string stream = *shared::DeflateUseData(many);

  const shared::UseData whole = shared::DecodeUseData(stream);
  EXPECT_TRUE(whole.Whole());
  EXPECT_EQ(whole.content, many);

  const shared::UseData cut = shared::DecodeUseData(stream.substr(0, stream.size() - 8));
  EXPECT_FALSE(cut.Whole());
  EXPECT_EQ(cut.content, many.substr(0, cut.content.size()));
  shared::UseRecordReader reader(cut.content);
  shared::UseRecord record;
  size_t records = 0;
  while (reader.Next(record)) ++records;
  EXPECT_GT(records, 0u);
  EXPECT_LT(records, 1000u);
  EXPECT_EQ(reader.End(), cut.content.size());  // no partial record is left at the end

  // A stream that inflates past the bound: the records inside the bound, then nothing.
  const shared::UseData capped = shared::DecodeUseData(stream, 4096);
  EXPECT_EQ(capped.end, shared::StreamEnd::kCapped);
  EXPECT_LE(capped.content.size(), 4096u);
  EXPECT_GT(capped.dropped_tail, 0u);
  const std::vector<std::string> paths = PathsOf(capped.content);
  ASSERT_FALSE(paths.empty());
  EXPECT_EQ(paths.front(), "/d/f0");

  std::string foreign = HeaderWith(5, "1.3.3");
  shared::AppendUseRecord(foreign, UseRecord{"/d/old", 1, 1, 1, 1});
  const shared::UseData other = shared::DecodeUseData(*shared::DeflateUseData(foreign));
  EXPECT_FALSE(other.tagged);
  EXPECT_EQ(other.content, shared::LoneHeader());

  const shared::UseData garbage = shared::DecodeUseData("not a stream");
  EXPECT_EQ(garbage.end, shared::StreamEnd::kInvalid);
  EXPECT_EQ(garbage.content, shared::LoneHeader());
}

}  // namespace
