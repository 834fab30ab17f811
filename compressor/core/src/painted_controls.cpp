#include "compressor/painted_controls.h"

#include "compressor/quobran_settings.h"

namespace compressor {

namespace {

struct Design {
  Rect rect;
  bool grows;         // anchored left and right: the width follows the window
  bool moves_right;   // anchored right only
  bool moves_down;    // anchored bottom
};

Design DesignOf(Control control) {
  switch (control) {
    case Control::pb1:
      return {{304, 8, 291, 202}, true, false, false};
    case Control::pb2:
      return {{304, 462, 291, 27}, true, false, true};
    case Control::pb3:
      return {{8, 462, 281, 27}, false, false, true};
    case Control::pb4:
      return {{304, 216, 291, 27}, true, false, false};
    case Control::pb5:
      return {{304, 249, 137, 27}, true, false, false};
    case Control::pb6:
      return {{462, 249, 133, 27}, false, true, false};
    case Control::pb7:
      return {{304, 282, 291, 27}, true, false, false};
  }
  return {};
}

}  // namespace

const std::array<StatisticsLinePlace, 9> kStatisticsLines = {{
    {15, {128, 0, 0}},   // maroon
    {30, {0, 128, 0}},   // green
    {60, {0, 0, 128}},   // navy
    {75, {0, 0, 128}},
    {105, {0, 0, 255}},  // blue
    {120, {0, 0, 255}},
    {135, {0, 0, 255}},
    {150, {0, 0, 255}},
    {180, {128, 0, 128}},  // purple
}};

Rect ControlRect(Control control, int client_width, int client_height) {
  const Design design = DesignOf(control);
  Rect rect = design.rect;
  const int dx = client_width - kDesignedClientWidth;
  const int dy = client_height - kDesignedClientHeight;
  if (design.grows) rect.width += dx;
  if (design.moves_right) rect.left += dx;
  if (design.moves_down) rect.top += dy;
  return rect;
}

int FrameLevel(Control control, int frame, int brightness) {
  const int level = control == Control::pb1 ? brightness - frame : brightness - 5 * frame;
  return level < 1 ? 0 : level;
}

Rgb CaptionColour(Control control, bool hovered, bool disabled, int brightness) {
  Rgb colour{brightness, brightness, 255};
  if (control == Control::pb1) return hovered ? kSilver : kGray;
  if (hovered) {
    switch (control) {
      case Control::pb2:
        colour = {200, brightness / 3, brightness / 3};
        break;
      case Control::pb3:
      case Control::pb4:
        colour = {brightness / 2, 255, brightness / 2};
        break;
      case Control::pb5:
        colour = {200, brightness / 2, 200};
        break;
      case Control::pb6:
        colour = {brightness / 2, 200, 200};
        break;
      case Control::pb7:
        colour = {brightness, 255, brightness / 2};
        break;
      case Control::pb1:
        break;
    }
  }
  if (disabled) colour = kGray;
  return colour;
}

FittedCaption FitCaption(int width, int height, const std::function<TextSize(int points)>& measure) {
  FittedCaption fitted{96, 0, 0};
  for (;;) {
    const TextSize size = measure(fitted.points);
    fitted.x = width / 2 - size.width / 2;
    fitted.y = height / 2 - size.height / 2;
    if ((fitted.x >= width / 10 && fitted.y >= height / 10) || fitted.points <= 1) return fitted;
    --fitted.points;
  }
}

}  // namespace compressor
