#pragma once
// The camera's one output pin: media type negotiation, allocator choice, the stream
// configuration and pin category that capture graph builders ask for, and the streaming thread.
#include <dshow.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/com_ptr.h"
#include "virtual_camera/media_type.h"

class CameraPicture;

namespace vcam {

class VirtualCameraFilter;

class CapturePin final : public IPin, public IAMStreamConfig, public IKsPropertySet {
  public:
    explicit CapturePin(VirtualCameraFilter& filter);
    CapturePin(const CapturePin&) = delete;
    CapturePin& operator=(const CapturePin&) = delete;
    ~CapturePin();

    // The pin lives inside the filter and shares its reference count.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE Connect(IPin* receiver, const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* connector,
                                                const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* info) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT STDMETHODCALLTYPE QueryId(LPWSTR* id) override;
    HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin** pins, ULONG* count) override;
    HRESULT STDMETHODCALLTYPE EndOfStream() override;
    HRESULT STDMETHODCALLTYPE BeginFlush() override;
    HRESULT STDMETHODCALLTYPE EndFlush() override;
    HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop,
                                         double rate) override;

    HRESULT STDMETHODCALLTYPE SetFormat(AM_MEDIA_TYPE* type) override;
    HRESULT STDMETHODCALLTYPE GetFormat(AM_MEDIA_TYPE** type) override;
    HRESULT STDMETHODCALLTYPE GetNumberOfCapabilities(int* count, int* size) override;
    HRESULT STDMETHODCALLTYPE GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

    HRESULT STDMETHODCALLTYPE Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize,
                                  LPVOID data, DWORD dataSize) override;
    HRESULT STDMETHODCALLTYPE Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize,
                                  LPVOID data, DWORD dataSize, DWORD* returned) override;
    HRESULT STDMETHODCALLTYPE QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

    // Called by the filter, with the filter's lock held.
    void Configure(const VideoFormat& format);
    bool IsConnected() const { return static_cast<bool>(connected_); }
    HRESULT Activate();  // stopped -> paused: commit the allocator, start the streaming thread
    void SetRunning(bool running, REFERENCE_TIME start, ComPtr<IReferenceClock> clock);
    // Ends the current run: nothing of it is delivered any more, and a sample of it that
    // downstream still holds is flushed out, because its time stamp belongs to that run's start.
    void RetireRun();
    void Deactivate();  // -> stopped: waits for the streaming thread to finish

  private:
    // The stream caps: fixed by the instance's settings, the configured size first.
    std::vector<MediaType> Capabilities() const;
    // What the pin proposes when it connects: the current type first, then the other caps.
    std::vector<MediaType> OfferedTypes() const;
    void SetCurrent(const VideoFormat& format);
    HRESULT ConnectAs(IPin* receiver, const AM_MEDIA_TYPE* type);
    HRESULT TryConnection(IPin* receiver, const MediaType& type);
    HRESULT DecideAllocator();
    HRESULT SetBufferSize(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& wanted);
    void DropConnection();
    void Stream();
    bool DeliverFrame(uint64_t frame, uint64_t generation, CameraPicture& picture);

    VirtualCameraFilter& filter_;
    VideoFormat configured_;
    VideoFormat format_;
    MediaType currentType_;

    // Connection state: changed only while the filter is stopped.
    ComPtr<IPin> connected_;
    ComPtr<IMemInputPin> input_;
    ComPtr<IMemAllocator> allocator_;
    MediaType connectionType_;

    // Streaming state, shared with the streaming thread under streamLock_.
    std::mutex streamLock_;
    // Held by the streaming thread from the last look at its run through Receive, so that
    // RetireRun can wait until no sample of the old run is on its way.
    std::mutex deliveryLock_;
    std::condition_variable streamWake_;
    bool stopping_ = false;
    bool running_ = false;
    bool downstreamRefused_ = false;
    uint64_t runGeneration_ = 0;  // counts runs, so a refusal is held against its own run only
    REFERENCE_TIME startTime_ = 0;
    ComPtr<IReferenceClock> clock_;
    std::thread thread_;
};

}  // namespace vcam
