#pragma once

#include <array>
#include <cstdint>
#include <vector>

// What the camera doubles' controls do to their picture, so that a person sees in the live
// picture what a slider does and a test can read it off a frame: zoom enlarges about the centre
// and pan and tilt move that window (the picture wraps round, so a move shows at any zoom);
// brightness, contrast, gamma, gain, exposure and backlight compensation change the levels;
// saturation and hue the colours (no colour at all with ColorEnable 0); white balance tints, warm
// below 5000 K and cool above; focus blurs away from its default, the setting in focus. A control
// in automatic mode, at its default (white balance: at 5000 K), or absent leaves the picture as
// it is; zoom below its default too. Portable: the host's
// simulated camera and the virtual camera draw with it.

// One control as the camera reports it.
struct ControlReading {
    bool present = false;
    std::int32_t min = 0;
    std::int32_t max = 0;
    std::int32_t defaultValue = 0;
    std::int32_t value = 0;
    bool automatic = false;
};

// The controls by the platform's numbers: the camera controls Pan (0) to Focus (6), the
// video-processing controls Brightness (0) to Gain (9).
struct PictureControlReadings {
    std::array<ControlReading, 7> camera{};
    std::array<ControlReading, 10> procAmp{};
};

// The effects, worked out once per frame so that drawing needs integer maths only.
struct PictureEffects {
    static constexpr std::int32_t kWhole = 1 << 16;

    // The part of the picture shown, as a share of its width and height (kWhole: all of it), and
    // how far its centre is moved, as a share of the width and height (positive: right, up).
    std::int32_t window = kWhole;
    std::int32_t shiftX = 0;
    std::int32_t shiftY = 0;
    // Per-channel levels (B, G, R); used when `levels` is set.
    bool levels = false;
    std::array<std::array<std::uint8_t, 256>, 3> lut{};
    // The colour mix, rows B', G', R' over columns B, G, R in 1/4096; used when `colour` is set.
    bool colour = false;
    std::array<std::int32_t, 9> matrix{};
    // Box blur radius in 1/1000 of the picture's width; 0: sharp.
    std::int32_t blurPermille = 0;

    bool MovesWindow() const { return window != kWhole || shiftX != 0 || shiftY != 0; }
    bool Neutral() const { return !MovesWindow() && !levels && !colour && blurPermille == 0; }
};

PictureEffects EffectsOf(const PictureControlReadings& readings);

// Applies `effects` to a picture of `width` x `height` pixels, B, G, R, top row first, no
// padding. `scratch` is working room kept by the caller from frame to frame.
void ApplyPictureEffects(const PictureEffects& effects, std::uint8_t* bgr, int width, int height,
                         std::vector<std::uint8_t>& scratch);
