#include "platform/camera_picture/picture_effects.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

enum CameraId { kPan = 0, kTilt = 1, kZoom = 3, kExposure = 4, kFocus = 6 };
enum ProcAmpId {
    kBrightness = 0,
    kContrast = 1,
    kHue = 2,
    kSaturation = 3,
    kGamma = 5,
    kColorEnable = 6,
    kWhiteBalance = 7,
    kBacklight = 8,
    kGain = 9,
};

// The neutral colour temperature: below it the picture turns warm, above it cool.
constexpr std::int32_t kNeutralKelvin = 5000;
// Focus at the far end of its range blurs by 2% of the picture's width.
constexpr std::int32_t kMaxBlurPermille = 20;
constexpr int kMatrixShift = 12;

// A control that acts: present, manual, with a range.
const ControlReading* Acting(const ControlReading& control) {
    return control.present && !control.automatic && control.max > control.min ? &control : nullptr;
}

// How far the value is from `neutral`, as a share of the control's range.
double Offset(const ControlReading& control, std::int32_t neutral) {
    return static_cast<double>(control.value - neutral) / (control.max - control.min);
}

// A factor that is 1 at the default: value / default where the default is above 0 (contrast 0
// to 100 with default 50 gives 0 to 2), else 1 plus twice the share of the range.
double Ratio(const ControlReading& control) {
    if (control.defaultValue > 0)
        return std::max(0.0, double(control.value) / control.defaultValue);
    return std::max(0.0, 1.0 + 2.0 * Offset(control, control.defaultValue));
}

struct Levels {
    double scale[3] = {1.0, 1.0, 1.0};  // B, G, R before the rest
    double contrast = 1.0;
    double offset = 0.0;      // levels added
    double gammaPower = 1.0;  // applied to the level as a share of full scale
    double shadowLift = 0.0;  // share of the distance to white that the darkest levels gain
    bool Neutral() const {
        return scale[0] == 1.0 && scale[1] == 1.0 && scale[2] == 1.0 && contrast == 1.0 &&
               offset == 0.0 && gammaPower == 1.0 && shadowLift == 0.0;
    }
};

Levels LevelsOf(const PictureControlReadings& readings) {
    Levels levels;
    double light = 1.0;
    if (const auto* gain = Acting(readings.procAmp[kGain])) {
        light *= 1.0 + std::max(-0.75, Offset(*gain, gain->defaultValue));
    }
    // Exposure counts in powers of two of seconds; half a stop of picture per step keeps the
    // whole range on the screen.
    if (const auto* exposure = Acting(readings.camera[kExposure])) {
        light *=
            std::clamp(std::exp2((exposure->value - exposure->defaultValue) / 2.0), 1.0 / 16, 16.0);
    }
    for (double& channel : levels.scale) channel = light;
    if (const auto* balance = Acting(readings.procAmp[kWhiteBalance])) {
        const std::int32_t neutral =
            balance->min <= kNeutralKelvin && kNeutralKelvin <= balance->max
                ? kNeutralKelvin
                : balance->defaultValue;
        const double cool = std::clamp(Offset(*balance, neutral), -1.0, 1.0) * 0.6;
        levels.scale[0] *= 1.0 + cool;  // blue
        levels.scale[2] *= 1.0 - cool;  // red
    }
    if (const auto* contrast = Acting(readings.procAmp[kContrast])) {
        levels.contrast = Ratio(*contrast);
    }
    if (const auto* brightness = Acting(readings.procAmp[kBrightness])) {
        levels.offset = 128.0 * Offset(*brightness, brightness->defaultValue);
    }
    if (const auto* gamma = Acting(readings.procAmp[kGamma])) {
        if (gamma->defaultValue > 0 && gamma->value > 0) {
            levels.gammaPower = double(gamma->defaultValue) / gamma->value;
        }
    }
    if (const auto* backlight = Acting(readings.procAmp[kBacklight])) {
        levels.shadowLift = 0.5 * Offset(*backlight, backlight->defaultValue);
    }
    return levels;
}

std::uint8_t Level(const Levels& levels, int channel, int level) {
    double x = level * levels.scale[channel];
    x = (x - 128.0) * levels.contrast + 128.0 + levels.offset;
    x = std::clamp(x, 0.0, 255.0);
    if (levels.gammaPower != 1.0) x = 255.0 * std::pow(x / 255.0, levels.gammaPower);
    x += levels.shadowLift * (255.0 - x) * (255.0 - x) / 255.0;
    return static_cast<std::uint8_t>(std::clamp(std::lround(x), 0L, 255L));
}

// Saturation scales and hue turns the colour difference around the luma (BT.601 weights).
bool ColourMatrix(const PictureControlReadings& readings, std::array<std::int32_t, 9>& matrix) {
    double saturation = 1.0;
    double hueDegrees = 0.0;
    if (const auto* colour = Acting(readings.procAmp[kColorEnable]); colour && colour->value == 0) {
        saturation = 0.0;
    } else {
        if (const auto* control = Acting(readings.procAmp[kSaturation])) {
            saturation = Ratio(*control);
        }
        // The hue control counts in degrees.
        if (const auto* control = Acting(readings.procAmp[kHue])) {
            hueDegrees = control->value - control->defaultValue;
        }
    }
    if (saturation == 1.0 && hueDegrees == 0.0) return false;
    // Order B, G, R throughout. Luma row, then the two colour differences against it.
    const double wb = 0.114, wg = 0.587, wr = 0.299;
    const double angle = hueDegrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(angle) * saturation, s = std::sin(angle) * saturation;
    // p' = Y + R(angle) * saturation * (p - Y) in the plane of U = B - Y, V = R - Y; G follows
    // from Y and the other two.
    double m[3][3];
    for (int column = 0; column < 3; ++column) {
        const double y = column == 0 ? wb : column == 1 ? wg : wr;
        const double u = (column == 0 ? 1.0 : 0.0) - y;
        const double v = (column == 2 ? 1.0 : 0.0) - y;
        const double u2 = c * u - s * v;
        const double v2 = s * u + c * v;
        const double b = y + u2;
        const double r = y + v2;
        const double g = (y - wb * b - wr * r) / wg;
        m[0][column] = b;
        m[1][column] = g;
        m[2][column] = r;
    }
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            matrix[static_cast<std::size_t>(row * 3 + column)] =
                static_cast<std::int32_t>(std::lround(m[row][column] * (1 << kMatrixShift)));
        }
    }
    return true;
}

std::uint8_t Clamp255(std::int32_t value) {
    return static_cast<std::uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value);
}

// Source position of every output position along one axis: the window of `window` / kWhole
// of the picture about its centre moved by `shift`, wrapping round.
void AxisMap(int size, std::int32_t window, std::int32_t shift, std::vector<std::int32_t>& map) {
    map.resize(static_cast<std::size_t>(size));
    const std::int64_t centre = std::int64_t{size} * PictureEffects::kWhole / 2 +
                                std::int64_t{shift} * size;  // in 1/kWhole pixels
    for (int i = 0; i < size; ++i) {
        const std::int64_t fromCentre =
            (std::int64_t{2 * i + 1 - size} * window) / 2;  // (i + 0.5 - size/2) * window
        const std::int64_t position = centre + fromCentre;
        std::int64_t at = position / PictureEffects::kWhole;
        if (position < 0 && position % PictureEffects::kWhole != 0) --at;  // rounded down
        at %= size;
        if (at < 0) at += size;
        map[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(at);
    }
}

void MoveWindow(const PictureEffects& effects, std::uint8_t* bgr, int width, int height,
                std::vector<std::uint8_t>& scratch) {
    std::vector<std::int32_t> columns, rows;
    AxisMap(width, effects.window, effects.shiftX, columns);
    // Up is a smaller row number.
    AxisMap(height, effects.window, -effects.shiftY, rows);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    scratch.resize(stride * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* source = bgr + static_cast<std::size_t>(rows[std::size_t(y)]) * stride;
        std::uint8_t* out = scratch.data() + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x, out += 3) {
            const std::uint8_t* pixel =
                source + static_cast<std::size_t>(columns[std::size_t(x)]) * 3;
            out[0] = pixel[0];
            out[1] = pixel[1];
            out[2] = pixel[2];
        }
    }
    std::memcpy(bgr, scratch.data(), scratch.size());
}

void MixColours(const std::array<std::int32_t, 9>& m, std::uint8_t* bgr, std::size_t pixels) {
    constexpr std::int32_t kHalf = 1 << (kMatrixShift - 1);
    for (std::size_t i = 0; i < pixels; ++i, bgr += 3) {
        const std::int32_t b = bgr[0], g = bgr[1], r = bgr[2];
        bgr[0] = Clamp255((m[0] * b + m[1] * g + m[2] * r + kHalf) >> kMatrixShift);
        bgr[1] = Clamp255((m[3] * b + m[4] * g + m[5] * r + kHalf) >> kMatrixShift);
        bgr[2] = Clamp255((m[6] * b + m[7] * g + m[8] * r + kHalf) >> kMatrixShift);
    }
}

void ApplyLevels(const std::array<std::array<std::uint8_t, 256>, 3>& lut, std::uint8_t* bgr,
                 std::size_t pixels) {
    for (std::size_t i = 0; i < pixels; ++i, bgr += 3) {
        bgr[0] = lut[0][bgr[0]];
        bgr[1] = lut[1][bgr[1]];
        bgr[2] = lut[2][bgr[2]];
    }
}

// Separable box blur with running sums, edges repeated: the cost does not grow with the radius.
void Blur(int radius, std::uint8_t* bgr, int width, int height,
          std::vector<std::uint8_t>& scratch) {
    const std::int32_t taps = 2 * radius + 1;
    const std::int32_t inverse = (1 << 16) / taps;  // the division as a multiplication
    const auto mean = [&](std::int32_t sum) {
        return static_cast<std::uint8_t>((sum * inverse + (1 << 15)) >> 16);
    };
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    scratch.resize(stride * static_cast<std::size_t>(height));
    // Along the rows, into scratch: each row with its edge pixels repeated `radius` times on
    // both sides, so that the running sums need no bounds checks.
    const std::size_t pad = static_cast<std::size_t>(radius) * 3;
    std::vector<std::uint8_t> padded(stride + 2 * pad);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = bgr + static_cast<std::size_t>(y) * stride;
        std::uint8_t* out = scratch.data() + static_cast<std::size_t>(y) * stride;
        for (std::size_t i = 0; i < pad; i += 3) {
            std::memcpy(&padded[i], row, 3);
            std::memcpy(&padded[pad + stride + i], row + stride - 3, 3);
        }
        std::memcpy(&padded[pad], row, stride);
        std::int32_t sum[3] = {0, 0, 0};
        for (std::size_t i = 0; i < 2 * pad + 3; ++i) sum[i % 3] += padded[i];
        const std::uint8_t* leaving = padded.data();
        const std::uint8_t* entering = padded.data() + 2 * pad + 3;
        for (int x = 0; x < width; ++x, out += 3, leaving += 3, entering += 3) {
            for (int c = 0; c < 3; ++c) {
                out[c] = mean(sum[c]);
                // The last pixel needs no next sum, and its entering pixel is past the row.
                if (x + 1 < width) sum[c] += entering[c] - leaving[c];
            }
        }
    }
    // Down the columns, back into the picture, a whole row at a time.
    std::vector<std::int32_t> sums(stride, 0);
    const auto row = [&](int y) {
        return scratch.data() + static_cast<std::size_t>(std::clamp(y, 0, height - 1)) * stride;
    };
    for (int y = -radius; y <= radius; ++y) {
        const std::uint8_t* source = row(y);
        for (std::size_t i = 0; i < stride; ++i) sums[i] += source[i];
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* out = bgr + static_cast<std::size_t>(y) * stride;
        const std::uint8_t* entering = row(y + radius + 1);
        const std::uint8_t* leaving = row(y - radius);
        for (std::size_t i = 0; i < stride; ++i) {
            out[i] = mean(sums[i]);
            sums[i] += entering[i] - leaving[i];
        }
    }
}

}  // namespace

PictureEffects EffectsOf(const PictureControlReadings& readings) {
    PictureEffects effects;
    // Zoom enlarges from its default, the whole picture, as the default is a camera's widest
    // view: 100..500 at 100 shows down to a fifth of it. Below the default it stays whole.
    if (const auto* zoom = Acting(readings.camera[kZoom]);
        zoom && zoom->value > zoom->defaultValue) {
        if (zoom->defaultValue > 0) {
            effects.window = static_cast<std::int32_t>(std::int64_t{PictureEffects::kWhole} *
                                                       zoom->defaultValue / zoom->value);
        } else {
            // Without a magnification in the numbers: up to four times across the range.
            effects.window = static_cast<std::int32_t>(
                PictureEffects::kWhole / (1.0 + 3.0 * Offset(*zoom, zoom->defaultValue)));
        }
    }
    // The whole range of pan or tilt goes once round the picture.
    if (const auto* pan = Acting(readings.camera[kPan])) {
        effects.shiftX = static_cast<std::int32_t>(
            std::lround(Offset(*pan, pan->defaultValue) * PictureEffects::kWhole));
    }
    if (const auto* tilt = Acting(readings.camera[kTilt])) {
        effects.shiftY = static_cast<std::int32_t>(
            std::lround(Offset(*tilt, tilt->defaultValue) * PictureEffects::kWhole));
    }
    const Levels levels = LevelsOf(readings);
    if (!levels.Neutral()) {
        for (int c = 0; c < 3; ++c) {
            for (int level = 0; level < 256; ++level) {
                effects.lut[static_cast<std::size_t>(c)][static_cast<std::size_t>(level)] =
                    Level(levels, c, level);
            }
        }
        // Rounding can bring a small change back to no change at all.
        for (int c = 0; c < 3; ++c) {
            for (int level = 0; level < 256; ++level) {
                if (effects.lut[std::size_t(c)][std::size_t(level)] != level) effects.levels = true;
            }
        }
    }
    effects.colour = ColourMatrix(readings, effects.matrix);
    if (const auto* focus = Acting(readings.camera[kFocus])) {
        const double away = std::abs(Offset(*focus, focus->defaultValue));
        effects.blurPermille = static_cast<std::int32_t>(std::lround(away * kMaxBlurPermille));
    }
    return effects;
}

void ApplyPictureEffects(const PictureEffects& effects, std::uint8_t* bgr, int width, int height,
                         std::vector<std::uint8_t>& scratch) {
    if (width <= 0 || height <= 0 || effects.Neutral()) return;
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (effects.MovesWindow()) MoveWindow(effects, bgr, width, height, scratch);
    if (effects.colour) MixColours(effects.matrix, bgr, pixels);
    if (effects.levels) ApplyLevels(effects.lut, bgr, pixels);
    if (effects.blurPermille > 0) {
        const int radius =
            std::max(1, static_cast<int>(std::int64_t{width} * effects.blurPermille / 1000));
        Blur(std::min(radius, std::max(1, std::min(width, height) / 2)), bgr, width, height,
             scratch);
    }
}
