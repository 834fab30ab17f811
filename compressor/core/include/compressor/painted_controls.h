#pragma once
#include <array>
#include <functional>

#include "compressor/control_panel.h"

namespace compressor {

struct Rgb {
  int r = 0;
  int g = 0;
  int b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kWindowColour{209, 209, 209};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kSilver{192, 192, 192};
inline constexpr Rgb kGray{128, 128, 128};

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Where a control sits in a client area of the given size: designed for 603 x 514; the anchors
// say which edges follow the window's right and bottom edges.
Rect ControlRect(Control control, int client_width, int client_height);

// The gray level of background frame i (0 = the outermost); frames run while i < height / 3.
int FrameLevel(Control control, int frame, int brightness);

// The caption's colour, the later rule winning: the base colour, the panel's gray or silver, a
// hovered button's own colour, and gray for a disabled button whatever else holds.
Rgb CaptionColour(Control control, bool hovered, bool disabled, int brightness);

struct TextSize {
  int width = 0;
  int height = 0;
};
struct FittedCaption {
  int points = 0;
  int x = 0;
  int y = 0;
};
// From 96 points down, one point at a time, until the caption keeps a tenth of the control's width
// and height free on each side; it never goes below 1 point, so a caption too long for any size
// still ends the search.
FittedCaption FitCaption(int width, int height, const std::function<TextSize(int points)>& measure);

// The statistics lines of the status panel: Label1 ... Label9 at x = 10.
struct StatisticsLinePlace {
  int y;
  Rgb colour;
};
inline constexpr int kStatisticsLineX = 10;
inline constexpr int kStatisticsLinePoints = 8;
extern const std::array<StatisticsLinePlace, 9> kStatisticsLines;

}  // namespace compressor
