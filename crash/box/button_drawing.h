// The rules by which the full box draws its flat buttons: the face colour, the picture and
// the caption's places, and the fading between the normal and the highlighted face when a
// button gets the focus or is clicked.
#pragma once

#include <chrono>
#include <optional>

#include "crash/box/button_kind.h"
#include "crash/box/colour.h"
#include "crash/box/geometry.h"

namespace userdb::crash {

// How far the flat face differs from the system's button face on screens of more than 14
// bits per pixel; half of it for a disabled button.
inline constexpr int kFaceStep = 16;

// The face lightened by the step, or darkened where lightening would leave the colour
// range; the system's face unchanged on screens of 14 bits per pixel or fewer.
Rgb FlatFaceColour(Rgb system_face, int bits_per_pixel, bool enabled);

// A fade passes from the normal to the highlighted face in 8 steps, 10 ms apart.
inline constexpr int kFadeSteps = 8;
inline constexpr std::chrono::milliseconds kFadeStepTime{10};

// The face at `step` (0: `from`, kFadeSteps: `to`).
Rgb FadeColour(Rgb from, Rgb to, int step);

// A focus change always fades its button; a click fades it only when it is the show button
// or the last fade began more than 200 ms ago (`since_last_flash`; none: never flashed).
inline constexpr std::chrono::milliseconds kFlashPause{200};
bool ClickFlashes(ButtonKind clicked, std::optional<std::chrono::milliseconds> since_last_flash);

// The 16 × 16 picture, left of the caption.
inline constexpr Point kButtonPicturePosition{3, 3};
inline constexpr int kButtonPictureSize = 16;

// The caption, centred in the room right of the picture.
Point ButtonCaptionPosition(int button_width, int caption_width);

}  // namespace userdb::crash
