#pragma once
// What the parts of graph_check share: the PASS/FAIL lines, bounded steps, the device by its
// friendly name, and a grabber callback that counts frames.
#include <dshow.h>
#include <qedit.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com_ptr.h"

namespace graph_check {

// Not in every SDK's headers.
constexpr GUID kClsidSampleGrabber = {
    0xc1f400a0, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};
constexpr GUID kClsidNullRenderer = {
    0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

extern int g_passed;
extern int g_failed;

std::string Narrow(const std::wstring& text);
void Check(bool ok, const std::string& what, const std::string& detail = "");
std::string Hex(HRESULT hr);
// The device of that friendly name, bound; `position` its place in the enumeration.
ComPtr<IBaseFilter> FindDevice(const std::wstring& name, int& position);
ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted);

class FrameCounter final : public ISampleGrabberCB {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ISampleGrabberCB) {
            *out = static_cast<ISampleGrabberCB*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // lives on the stack

    HRESULT STDMETHODCALLTYPE SampleCB(double, IMediaSample* sample) override {
        BYTE* data = nullptr;
        if (SUCCEEDED(sample->GetPointer(&data)) && data) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (first_.empty()) {
                first_.assign(data, data + sample->GetActualDataLength());
                bufferSize_ = sample->GetSize();
            }
            if (keepLatest_) latest_.assign(data, data + sample->GetActualDataLength());
        }
        ++frames_;
        if (holdOnce_.exchange(false)) Sleep(1500);  // a slow consumer, once
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE BufferCB(double, BYTE*, long) override { return S_OK; }

    long Frames() const { return frames_; }
    void HoldNextFrame() { holdOnce_ = true; }
    // Keeps a copy of every frame from now on, for LatestFrame.
    void KeepLatestFrame() { keepLatest_ = true; }
    std::vector<BYTE> LatestFrame() {
        std::lock_guard<std::mutex> lock(mutex_);
        return latest_;
    }
    std::vector<BYTE> FirstFrame(long& bufferSize) {
        std::lock_guard<std::mutex> lock(mutex_);
        bufferSize = bufferSize_;
        return first_;
    }

  private:
    std::atomic<ULONG> refs_{1};
    std::atomic<long> frames_{0};
    std::atomic<bool> holdOnce_{false};
    std::mutex mutex_;
    std::vector<BYTE> first_;
    std::atomic<bool> keepLatest_{false};
    std::vector<BYTE> latest_;
    long bufferSize_ = 0;
};

// The one-stream checks: "--hold", "--busy" and "--release" (stream_holding.cpp).
bool IsStreamHoldingPart(const wchar_t* firstArgument);
int RunStreamHoldingPart(int argc, wchar_t** argv);

// The video-processing controls, the power line and the picture that shows them:
// "--picture-controls" (picture_controls.cpp).
bool IsPictureControlsPart(const wchar_t* firstArgument);
int RunPictureControls(int argc, wchar_t** argv);

// The station's program streaming for a while: "--station" (station_program.cpp).
bool IsStationProgramPart(const wchar_t* firstArgument);
int RunStationProgram(int argc, wchar_t** argv);

}  // namespace graph_check
