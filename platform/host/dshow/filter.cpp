#include "platform/host/dshow/filter.h"

#include <algorithm>
#include <cwchar>
#include <utility>

namespace host::dshow {
namespace {

void CopyName(const std::wstring& name, WCHAR* target, std::size_t capacity) {
    std::size_t length = std::min(name.size(), capacity - 1);
    std::wmemcpy(target, name.data(), length);
    target[length] = L'\0';
}

// Enumerates a snapshot of one filter's pins; holds the filter alive meanwhile.
class PinEnumerator final : public SingleInterfaceObject<IEnumPins, IID_IEnumPins> {
  public:
    PinEnumerator(Filter& filter, std::size_t position) : filter_(filter), position_(position) {
        filter_.AddRef();
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override {
        if (!ppPins) return E_POINTER;
        if (cPins != 1 && !pcFetched) return E_INVALIDARG;
        HOST_DSHOW_ENTER("IEnumPins::Next", filter_.Name());
        ULONG fetched = 0;
        const auto& pins = filter_.Pins();
        while (fetched < cPins && position_ < pins.size()) {
            ppPins[fetched] = pins[position_++].get();
            ppPins[fetched]->AddRef();
            ++fetched;
        }
        if (pcFetched) *pcFetched = fetched;
        return fetched == cPins ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG cPins) override {
        HOST_DSHOW_ENTER("IEnumPins::Skip", filter_.Name());
        position_ = std::min(position_ + cPins, filter_.Pins().size());
        return position_ < filter_.Pins().size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        HOST_DSHOW_ENTER("IEnumPins::Reset", filter_.Name());
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumPins** ppEnum) override {
        if (!ppEnum) return E_POINTER;
        HOST_DSHOW_ENTER("IEnumPins::Clone", filter_.Name());
        *ppEnum = new PinEnumerator(filter_, position_);
        return S_OK;
    }

  private:
    ~PinEnumerator() { filter_.Release(); }

    Filter& filter_;
    std::size_t position_;
};

}  // namespace

// ---- Pin -----------------------------------------------------------------------------------

Pin::Pin(Filter& owner, std::wstring name, PIN_DIRECTION direction, const GUID& category)
    : owner_(owner), name_(std::move(name)), direction_(direction), category_(category) {}

Pin::~Pin() {
    if (peer_) std::exchange(peer_, nullptr)->Release();
}

std::string Pin::Describe() const { return owner_.Name() + "." + Narrow(name_); }

HRESULT STDMETHODCALLTYPE Pin::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    HOST_DSHOW_ENTER("IUnknown::QueryInterface", InterfaceName(riid));
    if (riid == IID_IUnknown || riid == IID_IPin) {
        *ppvObject = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    return owner_.QueryPinInterface(*this, riid, ppvObject);
}

ULONG STDMETHODCALLTYPE Pin::AddRef() { return owner_.AddRef(); }
ULONG STDMETHODCALLTYPE Pin::Release() { return owner_.Release(); }

HRESULT STDMETHODCALLTYPE Pin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE*) {
    if (!pReceivePin) return E_POINTER;
    HOST_DSHOW_ENTER("IPin::Connect", Describe());
    Pin* input = AsRuntimePin(pReceivePin);
    if (!input) return VFW_E_CANNOT_CONNECT;
    return ConnectTo(*input);
}

HRESULT STDMETHODCALLTYPE Pin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE*) {
    if (!pConnector) return E_POINTER;
    HOST_DSHOW_ENTER("IPin::ReceiveConnection", Describe());
    Pin* output = AsRuntimePin(pConnector);
    if (!output) return VFW_E_CANNOT_CONNECT;
    return output->ConnectTo(*this);
}

HRESULT Pin::ConnectTo(Pin& input) {
    if (direction_ != PINDIR_OUTPUT || input.direction_ != PINDIR_INPUT) {
        return VFW_E_CANNOT_CONNECT;
    }
    if (peer_ || input.peer_) return VFW_E_ALREADY_CONNECTED;
    if (owner_.State() != State_Stopped || input.owner_.State() != State_Stopped) {
        return VFW_E_NOT_STOPPED;
    }
    std::optional<DeviceConfig> format = owner_.OfferedFormat(*this);
    if (!format) return VFW_E_CANNOT_CONNECT;
    if (HRESULT refused = owner_.OnConnecting(*this); FAILED(refused)) return refused;
    peer_ = &input;
    input.AddRef();
    input.peer_ = this;
    AddRef();
    format_ = format;
    input.format_ = format;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::Disconnect() {
    HOST_DSHOW_ENTER("IPin::Disconnect", Describe());
    return Unlink();
}

HRESULT Pin::Unlink() {
    if (owner_.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!peer_) return S_FALSE;
    // Only this side lets go, as on the platform: the peer keeps its link until it is
    // disconnected itself.
    Pin* peer = std::exchange(peer_, nullptr);
    format_.reset();
    if (direction_ == PINDIR_OUTPUT) owner_.OnDisconnected(*this);
    peer->Release();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::ConnectedTo(IPin** pPin) {
    if (!pPin) return E_POINTER;
    *pPin = nullptr;
    HOST_DSHOW_ENTER("IPin::ConnectedTo", Describe());
    if (!peer_) return VFW_E_NOT_CONNECTED;
    *pPin = peer_;
    peer_->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return E_POINTER;
    HOST_DSHOW_ENTER("IPin::ConnectionMediaType", Describe());
    if (!peer_ || !format_) {
        *pmt = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    FillMediaType(*pmt, *format_);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::QueryPinInfo(PIN_INFO* pInfo) {
    if (!pInfo) return E_POINTER;
    HOST_DSHOW_ENTER("IPin::QueryPinInfo", Describe());
    pInfo->pFilter = &owner_;
    owner_.AddRef();
    pInfo->dir = direction_;
    CopyName(name_, pInfo->achName, MAX_PIN_NAME);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Pin::QueryDirection(PIN_DIRECTION* pPinDir) {
    if (!pPinDir) return E_POINTER;
    HOST_DSHOW_ENTER("IPin::QueryDirection", Describe());
    *pPinDir = direction_;
    return S_OK;
}

void Pin::Deliver(IMediaSample* sample) {
    // The link of a running filter does not change: connections change only while stopped.
    if (Pin* peer = peer_) peer->owner_.Receive(*peer, sample);
}

// ---- Filter --------------------------------------------------------------------------------

Filter::Filter(const CLSID& clsid, std::wstring name)
    : clsid_(clsid), defaultName_(std::move(name)), name_(defaultName_) {}

Filter::~Filter() = default;

Pin& Filter::AddPin(std::wstring name, PIN_DIRECTION direction, const GUID& category) {
    pins_.push_back(std::make_unique<Pin>(*this, std::move(name), direction, category));
    return *pins_.back();
}

std::string Filter::Name() const { return Narrow(name_); }

HRESULT STDMETHODCALLTYPE Filter::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    HOST_DSHOW_ENTER("IUnknown::QueryInterface", InterfaceName(riid));
    return QueryOwnInterface(riid, ppvObject);
}

HRESULT Filter::QueryOwnInterface(REFIID riid, void** ppvObject) {
    if (riid == IID_IUnknown || riid == IID_IPersist || riid == IID_IMediaFilter ||
        riid == IID_IBaseFilter) {
        *ppvObject = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT Filter::QueryPinInterface(Pin&, REFIID, void**) { return E_NOINTERFACE; }

ULONG STDMETHODCALLTYPE Filter::AddRef() { return refs_.Add(); }

ULONG STDMETHODCALLTYPE Filter::Release() {
    ULONG remaining = refs_.Drop();
    if (remaining == 0) delete this;
    return remaining;
}

HRESULT STDMETHODCALLTYPE Filter::GetClassID(CLSID* pClassID) {
    if (!pClassID) return E_POINTER;
    HOST_DSHOW_ENTER("IPersist::GetClassID", Name());
    *pClassID = clsid_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::Stop() {
    HOST_DSHOW_ENTER("IMediaFilter::Stop", Name());
    StopFilter();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::Pause() {
    HOST_DSHOW_ENTER("IMediaFilter::Pause", Name());
    // Paused filters hold their data: nothing streams, as when stopped.
    StopFilter();
    std::lock_guard lock(streamLock_);
    state_ = State_Paused;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::Run(REFERENCE_TIME) {
    HOST_DSHOW_ENTER("IMediaFilter::Run", Name());
    RunFilter();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::GetState(DWORD, FILTER_STATE* State) {
    if (!State) return E_POINTER;
    HOST_DSHOW_ENTER("IMediaFilter::GetState", Name());
    *State = this->State();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::SetSyncSource(IReferenceClock*) {
    HOST_DSHOW_ENTER("IMediaFilter::SetSyncSource", Name());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::GetSyncSource(IReferenceClock** pClock) {
    if (!pClock) return E_POINTER;
    HOST_DSHOW_ENTER("IMediaFilter::GetSyncSource", Name());
    *pClock = nullptr;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::EnumPins(IEnumPins** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    HOST_DSHOW_ENTER("IBaseFilter::EnumPins", Name());
    *ppEnum = new PinEnumerator(*this, 0);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::FindPin(LPCWSTR Id, IPin** ppPin) {
    if (!Id || !ppPin) return E_POINTER;
    *ppPin = nullptr;
    HOST_DSHOW_ENTER("IBaseFilter::FindPin", Name());
    for (const auto& pin : pins_) {
        if (pin->Name() == Id) {
            *ppPin = pin.get();
            pin->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT STDMETHODCALLTYPE Filter::QueryFilterInfo(FILTER_INFO* pInfo) {
    if (!pInfo) return E_POINTER;
    HOST_DSHOW_ENTER("IBaseFilter::QueryFilterInfo", Name());
    CopyName(name_, pInfo->achName, MAX_FILTER_NAME);
    pInfo->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
    HOST_DSHOW_ENTER("IBaseFilter::JoinFilterGraph", Name());
    graph_ = pGraph;
    name_ = pGraph && pName ? std::wstring(pName) : defaultName_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Filter::QueryVendorInfo(LPWSTR* pVendorInfo) {
    if (!pVendorInfo) return E_POINTER;
    *pVendorInfo = nullptr;
    return E_NOTIMPL;
}

FILTER_STATE Filter::State() const {
    std::lock_guard lock(streamLock_);
    return state_;
}

void Filter::RunFilter() {
    {
        std::lock_guard lock(streamLock_);
        if (state_ == State_Running) return;
        state_ = State_Running;
    }
    OnRun();
}

void Filter::StopFilter() {
    {
        // Waits for a sample that is passing through right now.
        std::lock_guard lock(streamLock_);
        if (state_ == State_Stopped) return;
        state_ = State_Stopped;
    }
    OnStop();
}

void Filter::Receive(Pin& input, IMediaSample* sample) {
    std::lock_guard lock(streamLock_);
    if (state_ != State_Running) return;
    OnReceive(input, sample);
}

void Filter::OnReceive(Pin&, IMediaSample*) {}

std::optional<DeviceConfig> Filter::OfferedFormat(const Pin&) const {
    // A transform offers downstream what it receives upstream.
    for (const auto& pin : pins_) {
        if (pin->Direction() == PINDIR_INPUT && pin->Peer()) return pin->Format();
    }
    return std::nullopt;
}

Pin* Filter::FirstFreePin(PIN_DIRECTION direction) const {
    for (const auto& pin : pins_) {
        if (pin->Direction() == direction && !pin->Peer()) return pin.get();
    }
    return nullptr;
}

Filter* AsRuntimeFilter(IUnknown* object) {
    if (!object) return nullptr;
    InternalScope internal;
    IBaseFilter* filter = nullptr;
    if (object->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)) != S_OK) {
        return nullptr;
    }
    auto* runtimeFilter = dynamic_cast<Filter*>(filter);
    filter->Release();  // the caller holds its own reference to `object`
    return runtimeFilter;
}

Pin* AsRuntimePin(IPin* pin) { return dynamic_cast<Pin*>(pin); }

// ---- MediaSample ---------------------------------------------------------------------------

MediaSample::MediaSample(LONG size)
    : buffer_(static_cast<std::size_t>(size > 0 ? size : 0)), size_(size), actualLength_(size) {}

HRESULT STDMETHODCALLTYPE MediaSample::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) return E_POINTER;
    *ppvObject = nullptr;
    if (riid == IID_IUnknown || riid == IID_IMediaSample) {
        *ppvObject = static_cast<IMediaSample*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE MediaSample::AddRef() { return refs_.Add(); }

ULONG STDMETHODCALLTYPE MediaSample::Release() {
    ULONG remaining = refs_.Drop();
    if (remaining == 0) delete this;
    return remaining;
}

HRESULT STDMETHODCALLTYPE MediaSample::GetPointer(BYTE** ppBuffer) {
    if (!ppBuffer) return E_POINTER;
    *ppBuffer = nullptr;
    HOST_DSHOW_ENTER("IMediaSample::GetPointer", {}, false);
    *ppBuffer = buffer_.data();
    return S_OK;
}

LONG STDMETHODCALLTYPE MediaSample::GetSize() {
    // A size, not a status: an injected status is reported as the size.
    if (auto injected = EnterCall("IMediaSample::GetSize", {}, false)) return *injected;
    return size_;
}

HRESULT STDMETHODCALLTYPE MediaSample::GetTime(REFERENCE_TIME* pTimeStart,
                                               REFERENCE_TIME* pTimeEnd) {
    if (!pTimeStart || !pTimeEnd) return E_POINTER;
    *pTimeStart = start_;
    *pTimeEnd = end_;
    return S_OK;
}

LONG STDMETHODCALLTYPE MediaSample::GetActualDataLength() { return actualLength_; }

HRESULT STDMETHODCALLTYPE MediaSample::SetActualDataLength(LONG length) {
    if (length < 0 || length > Size()) return E_INVALIDARG;
    actualLength_ = length;
    return S_OK;
}

IMediaSample* NewMediaSample(LONG size) { return new MediaSample(size); }

void MediaSample::SetTimes(REFERENCE_TIME start, REFERENCE_TIME end) {
    start_ = start;
    end_ = end;
}

}  // namespace host::dshow
