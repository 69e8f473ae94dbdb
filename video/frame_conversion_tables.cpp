// The YUV tables. Built with floating-point contraction off (see CMakeLists.txt): every entry is
// a product and a sum rounded separately, then rounded to the nearest integer, ties to even.

#include <cfenv>
#include <cmath>

#include "video/frame_conversion.h"

namespace {

std::int32_t RoundedEntry(int i, double factor, double constant) {
    const double product = i * factor;
    const double sum = product + constant;
    return static_cast<std::int32_t>(std::nearbyint(sum));
}

// Rounds to nearest for the duration of the build, whatever mode a library left behind.
class NearestRounding {
  public:
    NearestRounding() : saved_(std::fegetround()) { std::fesetround(FE_TONEAREST); }
    ~NearestRounding() { std::fesetround(saved_); }
    NearestRounding(const NearestRounding&) = delete;
    NearestRounding& operator=(const NearestRounding&) = delete;

  private:
    int saved_;
};

}  // namespace

void TFrameConversion::BuildYuvTables() {
    if (FTablesReady) return;
    NearestRounding rounding;
    for (int i = 0; i < 256; ++i) {
        FLumaTable[i] = RoundedEntry(i, 298.082, 0.0);
        FUGreenTable[i] = RoundedEntry(i, -100.291, 0.0);
        FUBlueTable[i] = RoundedEntry(i, 516.412, -70870.016);
        FVRedTable[i] = RoundedEntry(i, 408.583, -57067.776);
        FVGreenTable[i] = RoundedEntry(i, -208.12, 34707.456);
    }
    FClampTable.fill(0);
    for (int k = 0; k <= 1023; ++k)
        FClampTable[1023 + k] = static_cast<std::uint8_t>(k < 256 ? k : 255);
    FTablesReady = true;
    ++FTableBuilds;
}
