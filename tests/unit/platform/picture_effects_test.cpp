// What the camera doubles' controls do to their picture: each control seen in the frame, and
// automatic modes, defaults and absent controls leaving the picture as it is.
#include "platform/camera_picture/picture_effects.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/camera_picture/camera_picture.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 32;
constexpr std::size_t kStride = kWidth * 3;  // a multiple of 4: no padding

enum Camera { kPan = 0, kTilt = 1, kZoom = 3, kExposure = 4, kFocus = 6 };
enum ProcAmp {
    kBrightness = 0,
    kContrast = 1,
    kHue = 2,
    kSaturation = 3,
    kGamma = 5,
    kColorEnable = 6,
    kWhiteBalance = 7,
    kGain = 9,
};

ControlReading Control(std::int32_t min, std::int32_t max, std::int32_t defaultValue,
                       std::int32_t value, bool automatic = false) {
    return ControlReading{true, min, max, defaultValue, value, automatic};
}

// A common webcam's controls, every one at its default.
PictureControlReadings Webcam() {
    PictureControlReadings r;
    r.camera[kPan] = Control(-180, 180, 0, 0);
    r.camera[kTilt] = Control(-180, 180, 0, 0);
    r.camera[kZoom] = Control(100, 500, 100, 100);
    r.camera[kExposure] = Control(-13, -1, -6, -6, true);
    r.camera[kFocus] = Control(0, 250, 0, 0, true);
    r.procAmp[kBrightness] = Control(-64, 64, 0, 0);
    r.procAmp[kContrast] = Control(0, 100, 50, 50);
    r.procAmp[kHue] = Control(-40, 40, 0, 0);
    r.procAmp[kSaturation] = Control(0, 128, 64, 64);
    r.procAmp[kGamma] = Control(72, 500, 100, 100);
    r.procAmp[kColorEnable] = Control(0, 1, 1, 1);
    r.procAmp[kWhiteBalance] = Control(2800, 6500, 4600, 4600, true);
    r.procAmp[kGain] = Control(0, 100, 0, 0);
    return r;
}

// Frame 0 (the block off the band's left edge) in top-down RGB, as B, G, R pixels.
class Frame {
  public:
    explicit Frame(const PictureControlReadings& readings) {
        CameraPicture picture({kWidth, kHeight, PictureLayout::Rgb24, true});
        picture.SetEffects(EffectsOf(readings));
        bytes_.resize(picture.FrameSize());
        EXPECT_EQ(picture.Draw(0, bytes_.data(), bytes_.size()), bytes_.size());
    }
    const std::uint8_t* At(int x, int y) const { return &bytes_[y * kStride + x * 3]; }
    int Blue(int x, int y) const { return At(x, y)[0]; }
    int Green(int x, int y) const { return At(x, y)[1]; }
    int Red(int x, int y) const { return At(x, y)[2]; }
    double MeanLevel() const {
        double sum = 0;
        for (std::uint8_t b : bytes_) sum += b;
        return sum / static_cast<double>(bytes_.size());
    }
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
};

// The unchanged picture's pixel (x, y) as B, G, R.
std::vector<int> Plain(int x, int y) {
    std::uint8_t bgr[3];
    CameraPicture::Pixel(kWidth, kHeight, 0, x, y, bgr);
    return {bgr[0], bgr[1], bgr[2]};
}
std::vector<int> Shown(const Frame& frame, int x, int y) {
    return {frame.Blue(x, y), frame.Green(x, y), frame.Red(x, y)};
}

TEST(PictureEffects, DefaultsAutomaticModesAndAbsentControlsLeaveThePictureAsItIs) {
    EXPECT_TRUE(EffectsOf(PictureControlReadings{}).Neutral());
    EXPECT_TRUE(EffectsOf(Webcam()).Neutral());
    PictureControlReadings automatic = Webcam();
    automatic.camera[kFocus].value = 200;  // automatic: the camera focuses itself
    automatic.camera[kExposure].value = -1;
    automatic.procAmp[kWhiteBalance].value = 2800;
    EXPECT_TRUE(EffectsOf(automatic).Neutral());
    PictureControlReadings absent = Webcam();
    absent.procAmp[kBrightness].present = false;
    absent.procAmp[kBrightness].value = 64;
    EXPECT_TRUE(EffectsOf(absent).Neutral());

    const Frame frame(Webcam());
    for (int y = 0; y < kHeight; y += 5) {
        for (int x = 0; x < kWidth; x += 3) EXPECT_EQ(Shown(frame, x, y), Plain(x, y)) << x;
    }
}

TEST(PictureEffects, ZoomEnlargesAboutTheCentreAndPanAndTiltMoveTheWindow) {
    PictureControlReadings zoomed = Webcam();
    zoomed.camera[kZoom].value = 200;  // the middle half of the picture
    const Frame twice(zoomed);
    // Output x shows source x / 2 + width / 4.
    for (int x : {0, 10, 31, 40, 63}) {
        EXPECT_EQ(Shown(twice, x, 2), Plain(x / 2 + kWidth / 4, 2)) << x;
    }
    // The grey band (3/8 to 5/8 of the height) now fills a quarter to three quarters.
    const int bandRow = kHeight / 2;
    EXPECT_EQ(Shown(twice, 5, bandRow), Plain(5 / 2 + kWidth / 4, bandRow));

    PictureControlReadings panned = Webcam();
    panned.camera[kPan].value = 90;  // a quarter of the range: a quarter of the width right
    const Frame right(panned);
    for (int x : {0, 20, 47, 48, 63}) {
        EXPECT_EQ(Shown(right, x, 2), Plain((x + kWidth / 4) % kWidth, 2)) << x;
    }
    PictureControlReadings tilted = Webcam();
    tilted.camera[kTilt].value = 90;  // up: the rows above come into view
    const Frame up(tilted);
    for (int y : {0, 8, 20, 31}) {
        EXPECT_EQ(Shown(up, 40, y), Plain(40, (y - kHeight / 4 + kHeight) % kHeight)) << y;
    }
}

TEST(PictureEffects, LevelControlsBrightenAndDarken) {
    const double plain = Frame(Webcam()).MeanLevel();
    const auto mean = [](int which, bool camera, std::int32_t value) {
        PictureControlReadings r = Webcam();
        ControlReading& control =
            camera ? r.camera[std::size_t(which)] : r.procAmp[std::size_t(which)];
        control.automatic = false;
        control.value = value;
        return Frame(r).MeanLevel();
    };
    EXPECT_GT(mean(kBrightness, false, 40), plain + 20);
    EXPECT_LT(mean(kBrightness, false, -40), plain - 20);
    EXPECT_GT(mean(kGain, false, 100), plain + 10);
    EXPECT_GT(mean(kExposure, true, -2), plain + 10);
    EXPECT_LT(mean(kExposure, true, -12), plain - 10);
    EXPECT_GT(mean(kGamma, false, 300), plain + 10);
    EXPECT_LT(mean(kGamma, false, 72), plain - 5);

    PictureControlReadings flat = Webcam();
    flat.procAmp[kContrast].value = 0;  // every level at mid grey
    const Frame grey(flat);
    EXPECT_EQ(Shown(grey, 0, 0), (std::vector<int>{128, 128, 128}));
    EXPECT_EQ(Shown(grey, 63, 0), (std::vector<int>{128, 128, 128}));
    PictureControlReadings strong = Webcam();
    strong.procAmp[kContrast].value = 100;
    const Frame harsh(strong);
    EXPECT_EQ(harsh.Red(0, 0), 255) << "white clips";
    EXPECT_EQ(harsh.Red(kWidth - 1, 0), 0) << "black clips";
}

TEST(PictureEffects, ColourControlsChangeTheColoursAndLeaveGreyGrey) {
    const int yellowX = kWidth * 1 / 8 + 2;  // B 16, G 235, R 235
    PictureControlReadings off = Webcam();
    off.procAmp[kColorEnable].value = 0;
    const Frame noColour(off);
    PictureControlReadings pale = Webcam();
    pale.procAmp[kSaturation].value = 0;
    const Frame desaturated(pale);
    for (const Frame* frame : {&noColour, &desaturated}) {
        for (int x = 0; x < kWidth; x += 4) {
            EXPECT_LE(std::abs(frame->Blue(x, 0) - frame->Red(x, 0)), 1) << x;
            EXPECT_LE(std::abs(frame->Green(x, 0) - frame->Red(x, 0)), 1) << x;
        }
    }
    PictureControlReadings vivid = Webcam();
    vivid.procAmp[kSaturation].value = 128;
    const Frame saturated(vivid);
    // Yellow moves further from grey: its blue (16) goes to nothing.
    EXPECT_EQ(saturated.Blue(yellowX, 0), 0);

    PictureControlReadings turned = Webcam();
    turned.procAmp[kHue].value = 40;
    const Frame hue(turned);
    EXPECT_NE(Shown(hue, yellowX, 0), Plain(yellowX, 0));
    EXPECT_EQ(Shown(hue, 1, 0), Plain(1, 0)) << "white stays white";
    EXPECT_EQ(Shown(hue, kWidth - 1, 0), Plain(kWidth - 1, 0)) << "black stays black";
}

TEST(PictureEffects, WhiteBalanceTintsWarmBelowNeutralAndCoolAbove) {
    PictureControlReadings warm = Webcam();
    warm.procAmp[kWhiteBalance] = Control(2800, 6500, 4600, 2800);
    const Frame warmFrame(warm);
    PictureControlReadings cool = Webcam();
    cool.procAmp[kWhiteBalance] = Control(2800, 6500, 4600, 6500);
    const Frame coolFrame(cool);
    PictureControlReadings neutral = Webcam();
    neutral.procAmp[kWhiteBalance] = Control(2800, 6500, 4600, 5000);
    EXPECT_TRUE(EffectsOf(neutral).Neutral()) << "5000 K is neutral, whatever the default";
    // The white bar at the left: 235 in every channel unchanged.
    EXPECT_GT(warmFrame.Red(1, 0), warmFrame.Blue(1, 0) + 40);
    EXPECT_GT(coolFrame.Blue(1, 0), coolFrame.Red(1, 0) + 40);
}

TEST(PictureEffects, FocusAwayFromItsSettingBlursEdgesOnly) {
    PictureControlReadings blurred = Webcam();
    blurred.camera[kFocus] = Control(0, 250, 0, 250);
    const Frame soft(blurred);
    const Frame sharp(Webcam());
    // The edge between the white and the yellow bar (at x = 8): sharp, a full step in blue.
    const int edge = kWidth / 8;
    EXPECT_EQ(sharp.Blue(edge - 1, 0) - sharp.Blue(edge, 0), 235 - 16);
    EXPECT_LT(soft.Blue(edge - 1, 0) - soft.Blue(edge, 0), (235 - 16) / 2);
    // Inside a bar, far from its edges, the colour stays: green in the yellow bar's middle.
    EXPECT_EQ(soft.Green(edge + 4, 0), 235);
    // Far from the focus setting blurs more than near it.
    PictureControlReadings slightly = Webcam();
    slightly.camera[kFocus] = Control(0, 250, 0, 60);
    EXPECT_GT(EffectsOf(slightly).blurPermille, 0);
    EXPECT_LT(EffectsOf(slightly).blurPermille, EffectsOf(blurred).blurPermille);
}

// Every layout carries the effects: a brighter picture is brighter in YUV too.
TEST(PictureEffects, EveryLayoutCarriesThem) {
    PictureControlReadings bright = Webcam();
    bright.procAmp[kBrightness].value = 64;
    for (PictureLayout layout : {PictureLayout::Yuy2, PictureLayout::I420, PictureLayout::Grey}) {
        CameraPicture plain({kWidth, kHeight, layout, false});
        CameraPicture changed({kWidth, kHeight, layout, false});
        changed.SetEffects(EffectsOf(bright));
        std::vector<std::uint8_t> a(plain.FrameSize()), b(changed.FrameSize());
        ASSERT_EQ(plain.Draw(0, a.data(), a.size()), a.size());
        ASSERT_EQ(changed.Draw(0, b.data(), b.size()), b.size());
        // The black bar's first luma sample, in every layout at the start of the last bar's row.
        const std::size_t luma =
            layout == PictureLayout::Yuy2 ? (kWidth - 2) * 2 : static_cast<std::size_t>(kWidth - 2);
        EXPECT_GT(b[luma], a[luma] + 40) << static_cast<int>(layout);
    }
}

}  // namespace
