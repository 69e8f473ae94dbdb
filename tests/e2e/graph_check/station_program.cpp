// The station's own program as the keeper's tests need it: it streams the camera for a while as
// any capture application does, and tells whether its stream was refused or ever stopped
// delivering frames.
//   graph_check --station --device NAME --seconds N
// Prints "info station streams" once frames arrive, then one PASS/FAIL line: refused, or the
// longest time without a frame (a gap of a second or more fails), and the frames counted.
#include <algorithm>
#include <cstdio>
#include <string>

#include "platform/com_apartment.h"
#include "tests/e2e/graph_check/graph_check.h"
#include "tests/e2e/graph_check/stream_graph.h"

namespace graph_check {
namespace {

constexpr DWORD kLongestGapMs = 1000;

int Stream(const std::wstring& device, int seconds) {
    int position = 0;
    ComPtr<IBaseFilter> source = FindDevice(device, position);
    Check(static_cast<bool>(source), "station: device found");
    if (!source) return 1;
    FrameCounter counter;
    StreamGraph stream;
    std::string failedStep;
    const HRESULT hr = stream.Start(*source.Get(), counter, failedStep);
    Check(SUCCEEDED(hr), "station: the stream starts (" + failedStep + ")", Hex(hr));
    if (FAILED(hr)) {
        stream.Stop();
        return 1;
    }
    for (int i = 0; i < 500 && counter.Frames() == 0; ++i) Sleep(10);
    std::printf("info station streams\n");
    std::fflush(stdout);

    DWORD longestGap = 0;
    long frames = counter.Frames();
    DWORD lastFrameAt = GetTickCount();
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    while (static_cast<LONG>(GetTickCount() - end) < 0) {
        Sleep(20);
        const DWORD now = GetTickCount();
        if (counter.Frames() != frames) {
            frames = counter.Frames();
            lastFrameAt = now;
        }
        longestGap = std::max(longestGap, now - lastFrameAt);
    }
    stream.Stop();
    Check(frames > 0 && longestGap < kLongestGapMs,
          "station: frames throughout (" + std::to_string(frames) + " frames, longest gap " +
              std::to_string(longestGap) + " ms)");
    return 0;
}

}  // namespace

bool IsStationProgramPart(const wchar_t* firstArgument) {
    return std::wstring(firstArgument) == L"--station";
}

int RunStationProgram(int argc, wchar_t** argv) {
    std::wstring device;
    int seconds = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::wstring name = argv[i];
        if (name == L"--device") device = argv[i + 1];
        if (name == L"--seconds") seconds = _wtoi(argv[i + 1]);
    }
    if (device.empty() || seconds <= 0) {
        std::fprintf(stderr, "usage: graph_check --station --device NAME --seconds N\n");
        return 2;
    }
    {
        ComApartment com(COINIT_APARTMENTTHREADED);
        Stream(device, seconds);
    }
    std::printf("graph_check: %d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 && g_passed > 0 ? 0 : 1;
}

}  // namespace graph_check
