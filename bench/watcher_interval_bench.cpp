// bench_watcher_interval: lookups of use intervals through engine::WatcherInterval, on one thread,
// in tables of 1,000 and 1,000,000 rows, against a plain scan of the 1,000-row table. The figure
// to read is items_per_second (lookups per second).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "engine/watcher_interval.h"
#include "shared/ascii_case.h"
#include "shared/path_hash.h"
#include "shared/watcher_table.h"

namespace {

constexpr size_t kQueries = 1 << 16;  // cycled; far more than the caches hold for the big table

// A home folder's worth of names; the numbers make each path unique.
std::string MakePath(std::mt19937_64& random) {
  static const char* const kUsers[] = {"user", "anna", "bob", "carmen", "dev"};
  static const char* const kAreas[] = {"projects", "documents", "music", "pictures", ".cache", "downloads"};
  static const char* const kFolders[] = {"src", "include", "docs", "test", "build", "assets", "lib"};
  static const char* const kStems[] = {"file", "main", "util", "readme", "image", "track", "report", "data"};
  static const char* const kExts[] = {".cpp", ".h", ".txt", ".md", ".png", ".json", ".mp3", ".pdf", ".o"};
  auto pick = [&random](const auto& list) {
    return list[random() % (sizeof list / sizeof list[0])];
  };
  std::string path = "/home/";
  path += pick(kUsers);
  path += '/';
  path += pick(kAreas);
  path += "/p" + std::to_string(random() % 1000) + '/';
  path += pick(kFolders);
  path += '/';
  path += pick(kStems);
  path += std::to_string(random() % 10000);
  path += pick(kExts);
  return path;
}

struct Fixture {
  shared::WatcherTable table;
  std::vector<std::string> queries;  // kQueries, each present with probability `present` percent
  size_t distinct_hashes = 0;
};

// Built once per (rows, present) pair: a million rows take seconds to make.
const Fixture& GetFixture(size_t rows, int present_percent) {
  static std::map<std::pair<size_t, int>, std::unique_ptr<Fixture>> cache;
  auto& slot = cache[{rows, present_percent}];
  if (slot) return *slot;
  slot = std::make_unique<Fixture>();
  Fixture& f = *slot;
  std::mt19937_64 random(rows * 7919 + static_cast<size_t>(present_percent));
  std::unordered_set<std::string> seen;
  seen.reserve(rows * 2);
  f.table.WatcherPaths.reserve(rows);
  while (f.table.WatcherPaths.size() < rows) {
    std::string path = MakePath(random);
    if (!seen.insert(path).second) continue;
    f.table.WatcherHashes.push_back(static_cast<int32_t>(shared::PathHash(path)));
    f.table.WatcherIntervals.push_back(static_cast<int64_t>(random() % 1000000));
    f.table.WatcherPaths.push_back(std::move(path));
  }
  f.table.BuildIndex();
  std::unordered_set<int32_t> hashes(f.table.WatcherHashes.begin(), f.table.WatcherHashes.end());
  f.distinct_hashes = hashes.size();
  // Absent paths come from the same generator, so they share hashes with rows as real misses do.
  f.queries.reserve(kQueries);
  while (f.queries.size() < kQueries) {
    if (static_cast<int>(random() % 100) < present_percent) {
      // Upper-case now and then: the engine is handed paths as the folder walk spells them.
      std::string path = f.table.WatcherPaths[random() % rows];
      if (random() % 4 == 0) path = shared::AsciiUpper(path);
      f.queries.push_back(std::move(path));
    } else {
      std::string path = MakePath(random);
      if (seen.count(path) == 0) f.queries.push_back(std::move(path));
    }
  }
  return f;
}

void SetCounters(benchmark::State& state, const Fixture& f) {
  state.SetItemsProcessed(state.iterations());
  state.counters["rows"] = static_cast<double>(f.table.WatcherPaths.size());
  state.counters["rows_per_hash"] = static_cast<double>(f.table.WatcherPaths.size()) / static_cast<double>(f.distinct_hashes);
}

void BM_IndexLookup(benchmark::State& state) {
  const Fixture& f = GetFixture(static_cast<size_t>(state.range(0)), static_cast<int>(state.range(1)));
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(engine::WatcherInterval(&f.table, true, f.queries[i]));
    i = (i + 1) & (kQueries - 1);
  }
  SetCounters(state, f);
}

// What the index replaces: the first row with an equal hash and path, from the top.
int64_t ScanInterval(const shared::WatcherTable& table, std::string_view path) {
  thread_local std::string lowered;
  lowered.assign(path);
  for (char& c : lowered) c = shared::AsciiLower(c);
  const auto hash = static_cast<int32_t>(shared::PathHash(lowered));
  const size_t rows = table.WatcherPaths.size();
  for (size_t row = 0; row < rows; ++row) {
    if (table.WatcherHashes[row] == hash && table.WatcherPaths[row] == lowered) return table.WatcherIntervals[row];
  }
  return 0;
}

void BM_LinearScan(benchmark::State& state) {
  const Fixture& f = GetFixture(static_cast<size_t>(state.range(0)), static_cast<int>(state.range(1)));
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ScanInterval(f.table, f.queries[i]));
    i = (i + 1) & (kQueries - 1);
  }
  SetCounters(state, f);
}

}  // namespace

// Args: rows, percent of lookups that find a row. The 100 and 0 rows split the mix into its parts.
BENCHMARK(BM_LinearScan)->ArgNames({"rows", "present"})->Args({1000, 50});
BENCHMARK(BM_IndexLookup)
    ->ArgNames({"rows", "present"})
    ->Args({1000, 50})
    ->Args({1000000, 50})
    ->Args({1000000, 100})
    ->Args({1000000, 0});

BENCHMARK_MAIN();
