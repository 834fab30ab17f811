#pragma once
#include <optional>
#include <string>
#include <vector>

namespace cli {

// The eight engine options; their defaults are those of the settings file (OptionsFromSettings).
struct EngineOptions {
  bool ExcludeSystem = false;
  bool SmartFile = false;
  bool TryFile = false;
  bool PreserveSystem = false;
  bool DecompWorthy = false;
  bool UseVelnor = false;
  bool Defragment = false;
  bool DefragmentAny = false;
};

struct CommandLine {
  bool help = false;
  bool stretch = false;
  EngineOptions options;
  std::optional<std::string> log_path;
  std::vector<std::string> folders;  // as given
};

// The options' defaults come from section "Main" of the settings file, where it has them.
EngineOptions OptionsFromSettings(const std::string& settings_path);

// False with `error` set for an unknown word, a missing command or no folder.
bool ParseCommandLine(const std::vector<std::string>& arguments, const EngineOptions& defaults,
                      CommandLine& parsed, std::string& error);

extern const char* const kUsage;

}  // namespace cli
