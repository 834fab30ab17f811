#pragma once
#include <string>

#include "compressor/options_panel.h"

namespace compressor {

inline constexpr const char* kMainSection = "Main";
// The main window's designed client area, and the smallest outer size it can be given.
inline constexpr int kDesignedClientWidth = 603;
inline constexpr int kDesignedClientHeight = 514;
inline constexpr int kMinOuterWidth = 611;
inline constexpr int kMinOuterHeight = 548;

// The window's outer frame, in screen pixels.
struct WindowRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

struct WindowPlacement {
  // False: the window keeps its designed size and opens centred on the screen.
  bool restore = false;
  WindowRect rect;  // with restore: the stored frame, no smaller than the minimum
};

// Quobran.ini in the program directory.
std::string SettingsPath();

// Gives the eleven boxes their stored states, with the guard LoadingSettings set so that no
// handler acts, and says where the window goes: to its stored place when "Save Window Position"
// is checked and the stored left and top lie inside the screen with a margin of 10 pixels (0 is
// outside), else centred. Missing keys, sections and files give the defaults, and the window's
// current frame for its four keys.
WindowPlacement LoadSettings(OptionsPanel& options, const std::string& path, const WindowRect& current,
                             int screen_width, int screen_height);

// Writes the fifteen keys of section "Main", every other section and key of the file kept.
// Nothing while the settings are being read. The window's frame is written whether or not it will
// be restored.
bool SaveSettings(const OptionsPanel& options, const std::string& path, const WindowRect& current);

}  // namespace compressor
