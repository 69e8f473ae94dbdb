#pragma once

// The filter and pin machinery of the host capture runtime: every filter of the runtime derives
// from Filter; its pins share the filter's reference count, as the platform's pins do.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/dshow/runtime.h"

namespace host::dshow {

class Filter;

class Pin final : public IPin {
  public:
    Pin(Filter& owner, std::wstring name, PIN_DIRECTION direction, const GUID& category);
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;
    ~Pin();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin* pConnector,
                                                const AM_MEDIA_TYPE* pmt) override;
    HRESULT STDMETHODCALLTYPE Disconnect() override;
    HRESULT STDMETHODCALLTYPE ConnectedTo(IPin** pPin) override;
    HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO* pInfo) override;
    HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* pPinDir) override;

    // Runtime side, not logged.
    HRESULT ConnectTo(Pin& input);
    HRESULT Unlink();
    Pin* Peer() const { return peer_; }
    Filter& Owner() const { return owner_; }
    PIN_DIRECTION Direction() const { return direction_; }
    const GUID& Category() const { return category_; }
    const std::wstring& Name() const { return name_; }
    const std::optional<DeviceConfig>& Format() const { return format_; }
    // Output pin, streaming thread: hands the sample to the connected input pin's filter.
    void Deliver(IMediaSample* sample);
    std::string Describe() const;

  private:
    Filter& owner_;
    std::wstring name_;
    PIN_DIRECTION direction_;
    GUID category_;
    Pin* peer_ = nullptr;  // counted
    std::optional<DeviceConfig> format_;
};

class Filter : public IBaseFilter, protected LiveObject {
    friend class Pin;

  public:
    Filter(const CLSID& clsid, std::wstring name);
    Filter(const Filter&) = delete;
    Filter& operator=(const Filter&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override;
    HRESULT STDMETHODCALLTYPE Stop() override;
    HRESULT STDMETHODCALLTYPE Pause() override;
    HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME tStart) override;
    HRESULT STDMETHODCALLTYPE GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
    HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock* pClock) override;
    HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** pClock) override;
    HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins** ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR Id, IPin** ppPin) override;
    HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* pInfo) override;
    HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR* pVendorInfo) override;

    // Runtime side, not logged.
    void StopFilter();
    void RunFilter();
    FILTER_STATE State() const;
    const std::vector<std::unique_ptr<Pin>>& Pins() const { return pins_; }
    Pin* FirstFreePin(PIN_DIRECTION direction) const;
    IFilterGraph* Graph() const { return graph_; }
    std::string Name() const;
    // Streaming thread: a sample arrives at one of this filter's input pins. Dropped unless the
    // filter runs; a filter being stopped waits until the sample has passed.
    void Receive(Pin& input, IMediaSample* sample);

    // The format an output pin offers; none when it has nothing to offer yet.
    virtual std::optional<DeviceConfig> OfferedFormat(const Pin& output) const;
    // Pins can answer for interfaces of their own (the capture pin's stream configuration).
    virtual HRESULT QueryPinInterface(Pin& pin, REFIID riid, void** ppvObject);

  protected:
    virtual ~Filter();
    Pin& AddPin(std::wstring name, PIN_DIRECTION direction, const GUID& category = GUID{});
    virtual HRESULT QueryOwnInterface(REFIID riid, void** ppvObject);
    virtual void OnReceive(Pin& input, IMediaSample* sample);
    virtual void OnRun() {}
    virtual void OnStop() {}
    // An output pin of this filter is about to connect (a failure refuses the connection), or
    // has been disconnected.
    virtual HRESULT OnConnecting(Pin&) { return S_OK; }
    virtual void OnDisconnected(Pin&) {}

  private:
    RefCount refs_;
    CLSID clsid_;
    std::wstring defaultName_;
    std::vector<std::unique_ptr<Pin>> pins_;
    IFilterGraph* graph_ = nullptr;  // not counted: the graph holds the filter
    std::wstring name_;
    mutable std::mutex streamLock_;  // held while a sample passes and while the state changes
    FILTER_STATE state_ = State_Stopped;
};

// Our own filters only: the runtime does not connect foreign ones.
Filter* AsRuntimeFilter(IUnknown* object);
Pin* AsRuntimePin(IPin* pin);

// One buffer that the streaming thread fills again for every frame.
class MediaSample final : public IMediaSample, private LiveObject {
  public:
    explicit MediaSample(LONG size);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetPointer(BYTE** ppBuffer) override;
    LONG STDMETHODCALLTYPE GetSize() override;
    HRESULT STDMETHODCALLTYPE GetTime(REFERENCE_TIME* pTimeStart,
                                      REFERENCE_TIME* pTimeEnd) override;
    LONG STDMETHODCALLTYPE GetActualDataLength() override;
    HRESULT STDMETHODCALLTYPE SetActualDataLength(LONG length) override;

    BYTE* Data() { return buffer_.data(); }
    LONG Size() const { return static_cast<LONG>(buffer_.size()); }
    void SetTimes(REFERENCE_TIME start, REFERENCE_TIME end);

  private:
    ~MediaSample() = default;
    RefCount refs_;
    std::vector<BYTE> buffer_;
    LONG size_;  // as reported, which a misbehaving device may give as 0 or less
    LONG actualLength_;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME end_ = 0;
};

}  // namespace host::dshow
