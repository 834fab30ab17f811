// Fuzz target for the reading side of the watcher's use data file, which both programs read and
// another process writes: the bounded inflate, the header check and the record reader. Any input
// must give whole records inside the data, and never a crash or an allocation past the bound.
//
// libFuzzer (clang): configure with -DCMAKE_CXX_COMPILER=clang++ -DQUOBRAN_FUZZ=ON and run
// build/tests/fuzz/use_data_fuzz fuzz/seeds/use_data. Every build replays the seeds as a test.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "shared/use_data_file.h"
#include "shared/use_data_format.h"

namespace {

// Small, so that streams that inflate without end are cut quickly.
constexpr size_t kBound = size_t{1} << 20;

void Require(bool condition) {
  if (!condition) std::abort();
}

// Every record lies inside `content`, they follow one another without gaps, and the reader ends
// at or before the end.
void CheckRecords(std::string_view content) {
  shared::UseRecordReader reader(content);
  shared::UseRecord record;
  size_t expected_offset = content.size() < shared::kHeaderSize ? content.size() : shared::kHeaderSize;
  while (reader.Next(record)) {
    Require(record.Offset == expected_offset);
    Require(record.Path.data() >= content.data());
    Require(record.Path.data() + record.Path.size() <= content.data() + content.size());
    expected_offset += shared::UseRecordSize(record.Path.size());
    Require(expected_offset <= content.size());
  }
  Require(reader.End() == expected_offset);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // As the bytes of a use data file.
  const shared::UseData decoded = shared::DecodeUseData(input, kBound);
  Require(decoded.content.size() <= kBound || decoded.content == shared::LoneHeader());
  Require(shared::HasFormatTag(decoded.content));
  if (!decoded.tagged) Require(decoded.content == shared::LoneHeader());
  CheckRecords(decoded.content);
  // What decoding keeps is whole records only.
  shared::UseRecordReader reader(decoded.content);
  shared::UseRecord record;
  while (reader.Next(record)) {
  }
  Require(reader.End() == decoded.content.size());

  // As inflated content, straight into the reader.
  CheckRecords(input);
  return 0;
}
