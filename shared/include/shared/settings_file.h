#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace shared {

// Quobran.ini, in the program directory, shared by both programs: section "Main" is Quobran's,
// section "Informer" Velnor's.
inline constexpr const char* kSettingsFileName = "Quobran.ini";
// A settings file is a few hundred bytes; anything beyond this is not ours to read or rewrite.
inline constexpr size_t kMaxSettingsBytes = 1u << 20;

// An INI text read the way the Windows private-profile functions read one: "[Section]" lines open
// sections, "key=value" lines below hold values; sections and keys match case-insensitively
// (ASCII), blanks around names and values do not count, the first of two equal sections or keys
// wins, and lines starting with ';' are comments. Every line is kept as it was, so a rewrite
// changes only the values it sets.
class Profile {
 public:
  static Profile Parse(std::string_view text);

  // The value with its surrounding blanks and one pair of enclosing quotes removed.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // A decimal integer in 32 bits, else `fallback`: missing, empty, "word", "12abc" and
  // "99999999999" all give the fallback.
  int32_t GetInt(std::string_view section, std::string_view key, int32_t fallback) const;
  // Replaces the value where the key is; else adds the key after the last line of its section;
  // else adds the section at the end. Names and values must not hold line ends.
  void Set(std::string_view section, std::string_view key, std::string_view value);

  std::string Text() const;

 private:
  struct Found {
    size_t section_line = 0;
    size_t end = 0;  // one past the section's last line
  };
  std::optional<Found> FindSection(std::string_view section) const;
  std::optional<size_t> FindKey(const Found& section, std::string_view key) const;

  std::vector<std::string> lines_;  // without their line ends
  std::string newline_ = "\n";     // the file's own line end for the lines we add
};

std::optional<int32_t> ParseProfileInt(std::string_view value);

// The file as it stands; an empty profile where it is missing, unreadable or a symbolic link. Of a
// file larger than kMaxSettingsBytes only that much is read.
Profile ReadProfile(const std::string& path);

// Sets the keys of one section in one rewrite, keeping every other section, key and comment.
// Writers of both programs take a lock on the folder around the read and the replacement, so two
// programs saving at once lose neither's keys. The new text goes to a temporary file in the same
// folder, is flushed to disk and renamed over the old one: a crash or a kill leaves the old file or
// the new one, whole. False, with the file as it was, when it cannot be replaced (no folder, no
// access, a link or a foreign object in its place, larger than kMaxSettingsBytes).
bool WriteProfile(const std::string& path, std::string_view section,
                  const std::vector<std::pair<std::string, std::string>>& values);

// Velnor's Disk Informer keeps its position in section "Informer".
inline constexpr const char* kInformerSection = "Informer";
struct InformerPosition {
  int32_t WinX = 0;
  int32_t WinY = 0;
};
// Each key missing or not a number takes its value from `designed`.
InformerPosition ReadInformerPosition(const std::string& path, InformerPosition designed);
bool WriteInformerPosition(const std::string& path, InformerPosition position);

}  // namespace shared
