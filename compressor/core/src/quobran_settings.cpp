#include "compressor/quobran_settings.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/program_directory.h"
#include "shared/settings_file.h"

namespace compressor {

std::string SettingsPath() { return platform::ProgramDirectory() + shared::kSettingsFileName; }

WindowPlacement LoadSettings(OptionsPanel& options, const std::string& path, const WindowRect& current,
                             int screen_width, int screen_height) {
  options.LoadingSettings = true;
  const shared::Profile profile = shared::ReadProfile(path);
  // Written order: the eleven options first (cb1 ... cb5, cb6, cb7, cb8, cb9, cb10, cb11).
  for (const OptionBoxDesign& design : kOptionBoxes) {
    options.SetChecked(design.box, profile.GetInt(kMainSection, design.key, design.default_checked ? 1 : 0) != 0);
  }
  WindowRect stored;
  stored.left = profile.GetInt(kMainSection, "WinX", current.left);
  stored.top = profile.GetInt(kMainSection, "WinY", current.top);
  stored.width = profile.GetInt(kMainSection, "WinW", current.width);
  stored.height = profile.GetInt(kMainSection, "WinH", current.height);

  WindowPlacement placement;
  placement.restore = options.Checked(Box::cb7) && stored.left > 0 && stored.left < screen_width - 10 &&
                      stored.top > 0 && stored.top < screen_height - 10;
  if (placement.restore) {
    placement.rect = stored;
    placement.rect.width = std::max(stored.width, kMinOuterWidth);
    placement.rect.height = std::max(stored.height, kMinOuterHeight);
  }
  options.LoadingSettings = false;
  return placement;
}

bool SaveSettings(const OptionsPanel& options, const std::string& path, const WindowRect& current) {
  if (options.LoadingSettings) return false;
  std::vector<std::pair<std::string, std::string>> values;
  for (const OptionBoxDesign& design : kOptionBoxes) values.emplace_back(design.key, options.Checked(design.box) ? "1" : "0");
  values.emplace_back("WinX", std::to_string(current.left));
  values.emplace_back("WinY", std::to_string(current.top));
  values.emplace_back("WinW", std::to_string(current.width));
  values.emplace_back("WinH", std::to_string(current.height));
  return shared::WriteProfile(path, kMainSection, values);
}

}  // namespace compressor
