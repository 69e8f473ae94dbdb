// The camera's video-processing controls and power-line frequency as an application reaches
// them, and the live picture that shows them:
//   graph_check --picture-controls --device NAME --id ID
// for a YUY2 instance registered with --picture-controls. Checks IAMVideoProcAmp's range, Set,
// Get and refusal with the value kept in the registry; the power-line frequency through the
// filter's IKsPropertySet likewise; then, while streaming, that a higher brightness raises the
// frames' mean luma and that focus away from its setting lowers the sharpest step between
// neighbouring pixels.
#include <dshow.h>
// After the platform's base headers, which the kernel-streaming ones need.
#include <ks.h>
#include <ksmedia.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/com_apartment.h"
#include "tests/e2e/graph_check/graph_check.h"
#include "tests/e2e/graph_check/stream_graph.h"
#include "virtual_camera/camera_settings.h"

namespace graph_check {
namespace {

constexpr DWORD kPowerLineId = 13;  // KSPROPERTY_VIDEOPROCAMP_POWERLINE_FREQUENCY

long Stored(const std::wstring& id, int control) {
    const auto setting = vcam::LoadControl(id, control);
    return setting ? setting->value : -9999;
}

void CheckProcAmp(const std::wstring& id, IBaseFilter& source) {
    ComPtr<IAMVideoProcAmp> procAmp;
    HRESULT hr = source.QueryInterface(IID_IAMVideoProcAmp, procAmp.PutVoid());
    Check(hr == S_OK && procAmp, "IAMVideoProcAmp on the filter", Hex(hr));
    if (!procAmp) return;
    long min = 0, max = 0, step = 0, def = 0, caps = 0;
    hr = procAmp->GetRange(VideoProcAmp_Brightness, &min, &max, &step, &def, &caps);
    Check(hr == S_OK && min == -64 && max == 64 && step == 1 && def == 0,
          "Brightness range -64..64/1=0",
          Hex(hr) + " " + std::to_string(min) + ".." + std::to_string(max));
    hr = procAmp->GetRange(VideoProcAmp_WhiteBalance, &min, &max, &step, &def, &caps);
    long value = 0, flags = 0;
    procAmp->Get(VideoProcAmp_WhiteBalance, &value, &flags);
    Check(hr == S_OK && min == 2800 && max == 6500 && caps == 3 && flags == 1,
          "WhiteBalance 2800..6500, automatic");
    hr = procAmp->Set(VideoProcAmp_Contrast, 70, VideoProcAmp_Flags_Manual);
    Check(hr == S_OK, "Contrast Set", Hex(hr));
    hr = procAmp->Get(VideoProcAmp_Contrast, &value, &flags);
    Check(hr == S_OK && value == 70 && flags == VideoProcAmp_Flags_Manual, "Contrast Get",
          std::to_string(value));
    Check(Stored(id, vcam::kFirstProcAmpControl + VideoProcAmp_Contrast) == 70,
          "Contrast persisted in the registry");
    Check(procAmp->Set(VideoProcAmp_Contrast, 101, VideoProcAmp_Flags_Manual) == E_INVALIDARG,
          "Contrast out of range refused");
    Check(procAmp->Set(VideoProcAmp_Contrast, 50, VideoProcAmp_Flags_Auto) == E_INVALIDARG,
          "Contrast has no automatic mode");
    procAmp->Set(VideoProcAmp_Contrast, 50, VideoProcAmp_Flags_Manual);
}

void CheckPowerLine(const std::wstring& id, IBaseFilter& source) {
    ComPtr<IKsPropertySet> properties;
    HRESULT hr = source.QueryInterface(IID_IKsPropertySet, properties.PutVoid());
    Check(hr == S_OK && properties, "IKsPropertySet on the filter", Hex(hr));
    if (!properties) return;
    DWORD support = 0;
    hr = properties->QuerySupported(IID_IAMVideoProcAmp, kPowerLineId, &support);
    Check(hr == S_OK && support == (KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET),
          "power line: QuerySupported gives Get and Set", Hex(hr));
    Check(properties->QuerySupported(IID_IAMVideoProcAmp, 12, &support) != S_OK,
          "another property of the set is not supported");
    KSPROPERTY_VIDEOPROCAMP_S property{};
    property.Property.Set = IID_IAMVideoProcAmp;
    property.Property.Id = kPowerLineId;
    property.Property.Flags = KSPROPERTY_TYPE_GET;
    DWORD returned = 0;
    BYTE* instance = reinterpret_cast<BYTE*>(&property) + sizeof(KSPROPERTY);
    const DWORD instanceSize = sizeof property - sizeof(KSPROPERTY);
    hr = properties->Get(IID_IAMVideoProcAmp, kPowerLineId, instance, instanceSize, &property,
                         sizeof property, &returned);
    Check(hr == S_OK && property.Value == 1 && returned == sizeof property,
          "power line: Get gives 50 Hz", Hex(hr) + " value " + std::to_string(property.Value));
    property.Property.Flags = KSPROPERTY_TYPE_SET;
    property.Value = 2;
    hr = properties->Set(IID_IAMVideoProcAmp, kPowerLineId, instance, instanceSize, &property,
                         sizeof property);
    Check(hr == S_OK, "power line: Set 60 Hz", Hex(hr));
    Check(Stored(id, vcam::kPowerLineControl) == 2, "power line persisted in the registry");
    property.Value = 5;
    Check(properties->Set(IID_IAMVideoProcAmp, kPowerLineId, instance, instanceSize, &property,
                          sizeof property) == E_INVALIDARG,
          "power line: 5 refused");
}

// YUY2: the luma of every other byte.
double MeanLuma(const std::vector<BYTE>& frame) {
    double sum = 0;
    for (size_t i = 0; i < frame.size(); i += 2) sum += frame[i];
    return frame.empty() ? 0 : sum / static_cast<double>(frame.size() / 2);
}

// The sharpest step between neighbouring luma samples of the top row.
int SharpestStep(const std::vector<BYTE>& frame, long width) {
    int sharpest = 0;
    for (long x = 0; x + 1 < width && static_cast<size_t>(2 * x + 2) < frame.size(); ++x) {
        sharpest = std::max(sharpest, std::abs(frame[2 * x + 2] - frame[2 * x]));
    }
    return sharpest;
}

// A frame drawn after the controls changed: the camera reads them a few times a second.
std::vector<BYTE> FrameAfterChange(FrameCounter& counter) {
    Sleep(400);
    const long seen = counter.Frames();
    for (int i = 0; i < 300 && counter.Frames() < seen + 2; ++i) Sleep(10);
    return counter.LatestFrame();
}

void CheckPicture(IBaseFilter& source, long width) {
    ComPtr<IAMVideoProcAmp> procAmp;
    ComPtr<IAMCameraControl> camera;
    source.QueryInterface(IID_IAMVideoProcAmp, procAmp.PutVoid());
    source.QueryInterface(IID_IAMCameraControl, camera.PutVoid());
    if (!procAmp || !camera) return Check(false, "picture: the control interfaces");
    FrameCounter counter;
    counter.KeepLatestFrame();
    StreamGraph stream;
    std::string failedStep;
    const HRESULT hr = stream.Start(source, counter, failedStep);
    Check(SUCCEEDED(hr), "picture: the stream starts (" + failedStep + ")", Hex(hr));
    if (FAILED(hr)) return stream.Stop();

    procAmp->Set(VideoProcAmp_Brightness, 0, VideoProcAmp_Flags_Manual);
    const std::vector<BYTE> plain = FrameAfterChange(counter);
    procAmp->Set(VideoProcAmp_Brightness, 50, VideoProcAmp_Flags_Manual);
    const std::vector<BYTE> bright = FrameAfterChange(counter);
    Check(!plain.empty() && MeanLuma(bright) > MeanLuma(plain) + 20,
          "picture: brightness 50 raises the mean luma",
          std::to_string(MeanLuma(plain)) + " -> " + std::to_string(MeanLuma(bright)));
    procAmp->Set(VideoProcAmp_Brightness, 0, VideoProcAmp_Flags_Manual);

    const int sharp = SharpestStep(FrameAfterChange(counter), width);
    camera->Set(CameraControl_Focus, 250, CameraControl_Flags_Manual);
    const int blurred = SharpestStep(FrameAfterChange(counter), width);
    Check(sharp >= 20 && blurred * 2 < sharp, "picture: focus away from its setting blurs",
          "sharpest step " + std::to_string(sharp) + " -> " + std::to_string(blurred));
    camera->Set(CameraControl_Focus, 0, CameraControl_Flags_Auto);
    const int refocused = SharpestStep(FrameAfterChange(counter), width);
    Check(refocused == sharp, "picture: automatic focus is sharp again", std::to_string(refocused));
    stream.Stop();
}

}  // namespace

bool IsPictureControlsPart(const wchar_t* firstArgument) {
    return std::wstring(firstArgument) == L"--picture-controls";
}

int RunPictureControls(int argc, wchar_t** argv) {
    std::wstring device;
    std::wstring id;
    long width = 320;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::wstring name = argv[i];
        if (name == L"--device") device = argv[i + 1];
        if (name == L"--id") id = argv[i + 1];
        if (name == L"--width") width = _wtol(argv[i + 1]);
    }
    if (device.empty() || id.empty()) {
        std::fprintf(stderr,
                     "usage: graph_check --picture-controls --device NAME --id ID [--width W]\n");
        return 2;
    }
    {
        ComApartment com(COINIT_APARTMENTTHREADED);
        int position = 0;
        ComPtr<IBaseFilter> source = FindDevice(device, position);
        Check(static_cast<bool>(source), "picture controls: device found");
        if (source) {
            CheckProcAmp(id, *source.Get());
            CheckPowerLine(id, *source.Get());
            CheckPicture(*source.Get(), width);
        }
    }
    std::printf("graph_check: %d passed, %d failed\n", g_passed, g_failed);
    return g_failed == 0 && g_passed > 0 ? 0 : 1;
}

}  // namespace graph_check
