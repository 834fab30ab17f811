#include "command_line.h"

#include <array>

#include "compressor/options_panel.h"
#include "shared/settings_file.h"

namespace cli {

namespace {

// The settings key and its default come from the window's option boxes, so both fronts agree.
struct OptionFlag {
  compressor::Box box;
  const char* flag;
  bool EngineOptions::*field;
};

const std::array<OptionFlag, 8> kOptionFlags = {{
    {compressor::Box::cb1, "exclude-system", &EngineOptions::ExcludeSystem},
    {compressor::Box::cb2, "smart-file", &EngineOptions::SmartFile},
    {compressor::Box::cb3, "try-file", &EngineOptions::TryFile},
    {compressor::Box::cb4, "preserve-system", &EngineOptions::PreserveSystem},
    {compressor::Box::cb5, "decomp-worthy", &EngineOptions::DecompWorthy},
    {compressor::Box::cb9, "use-velnor", &EngineOptions::UseVelnor},
    {compressor::Box::cb10, "defragment", &EngineOptions::Defragment},
    {compressor::Box::cb11, "defragment-any", &EngineOptions::DefragmentAny},
}};

}  // namespace

const char* const kUsage =
    "usage: quobran-cli analyze|stretch [options] FOLDER...\n"
    "\n"
    "  analyze   count the files and tell what a stretch would save; nothing is changed\n"
    "  stretch   compress seldom used files, decompress frequently used or unprofitable ones\n"
    "\n"
    "options (defaults from section Main of Quobran.ini in the program folder):\n"
    "  --exclude-system    leave the system folders (/usr/, /etc/, /boot/, the temporary folder) alone\n"
    "  --smart-file        compress only seldom used files without listed extensions\n"
    "  --try-file          try a compression of each file's first mebibyte before compressing it\n"
    "  --preserve-system   leave files btrfs cannot compress (immutable, append-only, no-CoW) alone\n"
    "  --decomp-worthy     decompress frequently used files and files compression does not help\n"
    "  --use-velnor        judge use by Velnor's statistics instead of the last access time\n"
    "  --defragment        defragment each file that was compressed or decompressed\n"
    "  --defragment-any    defragment any fragmented file met in a stretch\n"
    "  --no-OPTION         switches OPTION off\n"
    "  --log FILE          write the activity log to FILE instead of Quobran.log\n"
    "  --help              show this text\n"
    "\n"
    "While it runs, quobran-cli counts as a running Quobran: Velnor stands aside, and it does not\n"
    "start while Quobran or another quobran-cli runs.\n"
    "\n"
    "exit status: 0 done, 2 bad command line, 3 Quobran already running, 130 interrupted\n";

EngineOptions OptionsFromSettings(const std::string& settings_path) {
  const shared::Profile profile = shared::ReadProfile(settings_path);
  EngineOptions options;
  for (const OptionFlag& option : kOptionFlags) {
    const compressor::OptionBoxDesign& design = compressor::DesignOf(option.box);
    options.*option.field = profile.GetInt("Main", design.key, design.default_checked ? 1 : 0) != 0;
  }
  return options;
}

bool ParseCommandLine(const std::vector<std::string>& arguments, const EngineOptions& defaults,
                      CommandLine& parsed, std::string& error) {
  parsed = CommandLine{};
  parsed.options = defaults;
  bool command_seen = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word == "--help" || word == "-h") {
      parsed.help = true;
      return true;
    }
    if (word == "--log") {
      if (i + 1 == arguments.size()) {
        error = "--log needs a file name";
        return false;
      }
      parsed.log_path = arguments[++i];
      continue;
    }
    if (word.rfind("--", 0) == 0 && word.size() > 2) {
      const bool negated = word.rfind("--no-", 0) == 0;
      const std::string name = word.substr(negated ? 5 : 2);
      bool known = false;
      for (const OptionFlag& option : kOptionFlags) {
        if (name == option.flag) {
          parsed.options.*option.field = !negated;
          known = true;
        }
      }
      if (!known) {
        error = "unknown option " + word;
        return false;
      }
      continue;
    }
    if (!command_seen) {
      if (word != "analyze" && word != "stretch") {
        error = "unknown command " + word + " (analyze or stretch)";
        return false;
      }
      parsed.stretch = word == "stretch";
      command_seen = true;
      continue;
    }
    parsed.folders.push_back(word);
  }
  if (!command_seen) {
    error = "no command given (analyze or stretch)";
    return false;
  }
  if (parsed.folders.empty()) {
    error = "no folder given";
    return false;
  }
  return true;
}

}  // namespace cli
