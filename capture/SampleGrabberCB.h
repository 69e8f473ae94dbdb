#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "capture/platform.h"

// The frame callback: called on the streaming thread with the context pointer installed with
// it, the frame's first byte (valid only during the call) and the size of the sample's buffer.
using TFrameCallback = void (*)(void* data, std::uint8_t* buffer, std::int32_t& size);

// The main window receives this message (size, buffer address) for every frame that arrives
// while no frame callback is installed.
constexpr UINT kFrameWithoutCallbackMessage = WM_USER + 2;
// How long the streaming thread waits for the main window to handle that message. Bounded so
// that a main thread which is stopping the graph meanwhile is never stuck behind it.
constexpr UINT kMainWindowSendTimeoutMs = 250;

// Holds the installed (FCallback, FCallbackData) pair. The pair is published as one immutable
// unit, so the streaming thread sees either none or a complete pair; replaced pairs are freed
// once no streaming-thread call can still be using them.
class TSampleGrabberCBImpl {
  public:
    struct TCallbackPair {
        TFrameCallback FCallback;
        void* FCallbackData;
    };

    TSampleGrabberCBImpl() = default;
    ~TSampleGrabberCBImpl();
    TSampleGrabberCBImpl(const TSampleGrabberCBImpl&) = delete;
    TSampleGrabberCBImpl& operator=(const TSampleGrabberCBImpl&) = delete;

    // Main thread. A null callback uninstalls.
    void Install(TFrameCallback callback, void* data);
    // Streaming thread: calls the installed callback; false when none is installed.
    bool Deliver(std::uint8_t* buffer, std::int32_t size);

  private:
    void FreeRetiredIfUnused();

    std::atomic<const TCallbackPair*> FCurrent{nullptr};
    std::atomic<int> FActiveDeliveries{0};
    std::vector<const TCallbackPair*> FRetired;  // main thread only
};

// The grabber's callback interface as this system declares it: no interface id of its own.
// Redeclaring SampleCB and BufferCB overrides the inherited slots, so both declarations of one
// name share one body.
struct TSampleGrabberCBInt : ISampleGrabberCB {
    HRESULT STDMETHODCALLTYPE SampleCB(double SampleTime, IMediaSample* pSample) override = 0;
    HRESULT STDMETHODCALLTYPE BufferCB(double SampleTime, BYTE* pBuffer,
                                       LONG BufferLen) override = 0;

  protected:
    ~TSampleGrabberCBInt() = default;
};

// The frame callback object: reference counted (0 after construction, destroyed when the count
// returns to 0), forwards every frame to the installed callback or, while none is installed,
// to the main window.
class TSampleGrabberCB final : public TSampleGrabberCBInt {
  public:
    explicit TSampleGrabberCB(HWND mainWindow);
    TSampleGrabberCB(const TSampleGrabberCB&) = delete;
    TSampleGrabberCB& operator=(const TSampleGrabberCB&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE SampleCB(double SampleTime, IMediaSample* pSample) override;
    HRESULT STDMETHODCALLTYPE BufferCB(double SampleTime, BYTE* pBuffer, LONG BufferLen) override;

    TSampleGrabberCBImpl& Impl() { return *FImpl; }
    // Main thread: closed while the graph is being stopped, so that no new frame starts waiting
    // for a main thread that is itself waiting for the streaming thread.
    void SetMainWindowPath(bool open);

    // Callback objects alive in this process.
    static int LiveInstances();

  private:
    ~TSampleGrabberCB();
    // Streaming thread, inside SampleCB's and BufferCB's guard.
    void Deliver(BYTE* buffer, LONG size);

    std::atomic<ULONG> FRefCount{0};
    std::unique_ptr<TSampleGrabberCBImpl> FImpl;
    HWND FMainWindow;
    std::atomic<bool> FMainWindowPathOpen{true};
};
