#include "crash/box/button_drawing.h"

#include <algorithm>

namespace userdb::crash {

namespace {

constexpr int kMoreColoursFromBits = 15;

uint8_t Shifted(uint8_t channel, int step) {
  return static_cast<uint8_t>(std::clamp(channel + step, 0, 255));
}

}  // namespace

Rgb FlatFaceColour(Rgb system_face, int bits_per_pixel, bool enabled) {
  if (bits_per_pixel < kMoreColoursFromBits) return system_face;
  int step = enabled ? kFaceStep : kFaceStep / 2;
  const int brightest = std::max({system_face.red, system_face.green, system_face.blue});
  if (brightest + step > 255) step = -step;
  return {Shifted(system_face.red, step), Shifted(system_face.green, step),
          Shifted(system_face.blue, step)};
}

Rgb FadeColour(Rgb from, Rgb to, int step) {
  step = std::clamp(step, 0, kFadeSteps);
  const auto mix = [step](uint8_t a, uint8_t b) {
    return static_cast<uint8_t>(a + (b - a) * step / kFadeSteps);
  };
  return {mix(from.red, to.red), mix(from.green, to.green), mix(from.blue, to.blue)};
}

bool ClickFlashes(ButtonKind clicked, std::optional<std::chrono::milliseconds> since_last_flash) {
  return clicked == ButtonKind::kShow || !since_last_flash || *since_last_flash > kFlashPause;
}

Point ButtonCaptionPosition(int button_width, int caption_width) {
  return {27 + (button_width - caption_width - 35) / 2, 4};
}

}  // namespace userdb::crash
