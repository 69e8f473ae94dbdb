#include "virtual_camera/capture_pin.h"

#include <uuids.h>

#include <chrono>
#include <cstring>
#include <new>

#include "platform/camera_picture/camera_picture.h"
#include "platform/com_apartment.h"
#include "virtual_camera/camera_filter.h"
#include "virtual_camera/enumerators.h"
#include "virtual_camera/module.h"

namespace vcam {
namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

struct StandardSize {
    int width;
    int height;
};
constexpr StandardSize kExtraSizes[] = {{320, 240}, {640, 480}, {1280, 720}};
// Frames between two readings of the controls for the picture: registry reads are not free.
constexpr uint64_t kControlsReadEvery = 3;

LPWSTR CoTaskString(const wchar_t* text) {
    const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (copy) std::memcpy(copy, text, bytes);
    return copy;
}

}  // namespace

CapturePin::CapturePin(VirtualCameraFilter& filter) : filter_(filter) {}

CapturePin::~CapturePin() { Deactivate(); }

HRESULT CapturePin::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPin) {
        *out = static_cast<IPin*>(this);
    } else if (iid == IID_IAMStreamConfig) {
        *out = static_cast<IAMStreamConfig*>(this);
    } else if (iid == IID_IKsPropertySet) {
        *out = static_cast<IKsPropertySet*>(this);
    } else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG CapturePin::AddRef() { return filter_.AddRef(); }
ULONG CapturePin::Release() { return filter_.Release(); }

void CapturePin::Configure(const VideoFormat& format) {
    configured_ = format;
    SetCurrent(format);
}

void CapturePin::SetCurrent(const VideoFormat& format) {
    format_ = format;
    currentType_ = MakeVideoType(format_);
}

std::vector<MediaType> CapturePin::Capabilities() const {
    std::vector<MediaType> types{MakeVideoType(configured_)};
    for (const auto& size : kExtraSizes) {
        if (size.width == configured_.width && size.height == configured_.height) continue;
        if (!IsValidFrameSize(configured_.format, size.width, size.height)) continue;
        VideoFormat other = configured_;
        other.width = size.width;
        other.height = size.height;
        types.push_back(MakeVideoType(other));
    }
    return types;
}

std::vector<MediaType> CapturePin::OfferedTypes() const {
    std::vector<MediaType> types{currentType_};
    for (MediaType& type : Capabilities()) {
        const auto format = ParseVideoType(type.Get());
        if (format && format->width == format_.width && format->height == format_.height) continue;
        types.push_back(std::move(type));
    }
    return types;
}

HRESULT CapturePin::Connect(IPin* receiver, const AM_MEDIA_TYPE* type) {
    if (!receiver) return E_POINTER;
    Guard lock(filter_.Lock());
    if (connected_) return VFW_E_ALREADY_CONNECTED;
    if (filter_.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    // A driver refuses the second stream here already: a graph's Run may report success for a
    // source that refuses to run (Wine's does), and its user would take the camera as open.
    if (const HRESULT busy = filter_.ClaimStream(); FAILED(busy)) return busy;
    const HRESULT hr = ConnectAs(receiver, type);
    if (FAILED(hr)) filter_.ReleaseStream();
    return hr;
}

HRESULT CapturePin::ConnectAs(IPin* receiver, const AM_MEDIA_TYPE* type) {
    // A complete type of ours (another size from the caps) is tried as asked; a partial one
    // selects among the types on offer, the current one first.
    if (type && type->pbFormat) {
        const auto asked = ParseVideoType(*type);
        if (!asked || asked->format != format_.format) return VFW_E_TYPE_NOT_ACCEPTED;
        MediaType exact;
        if (!exact.CopyFrom(*type)) return E_OUTOFMEMORY;
        return TryConnection(receiver, exact);
    }
    for (const MediaType& offered : OfferedTypes()) {
        if (type && !TypeMatches(*type, offered.Get())) continue;
        if (SUCCEEDED(TryConnection(receiver, offered))) return S_OK;
    }
    return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT CapturePin::TryConnection(IPin* receiver, const MediaType& type) {
    HRESULT hr = receiver->ReceiveConnection(this, &type.Get());
    if (FAILED(hr)) return hr;
    connected_ = ComPtr<IPin>(receiver);
    connectionType_ = type;
    hr = connected_.QueryInto(IID_IMemInputPin, input_);
    if (SUCCEEDED(hr)) hr = DecideAllocator();
    if (FAILED(hr)) {
        receiver->Disconnect();
        DropConnection();
        return hr;
    }
    // A connection in another size becomes the current format, as on a real camera.
    if (auto connectedFormat = ParseVideoType(type.Get())) {
        SetCurrent(*connectedFormat);
    }
    return S_OK;
}

HRESULT CapturePin::SetBufferSize(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& wanted) {
    ALLOCATOR_PROPERTIES props = wanted;
    const long frameBytes =
        static_cast<long>(FrameBufferSize(format_.format, format_.width, format_.height));
    if (props.cBuffers < 3) props.cBuffers = 3;
    if (props.cbBuffer < frameBytes) props.cbBuffer = frameBytes;
    if (props.cbAlign < 1) props.cbAlign = 1;
    ALLOCATOR_PROPERTIES actual{};
    HRESULT hr = allocator->SetProperties(&props, &actual);
    if (FAILED(hr)) return hr;
    return actual.cbBuffer >= frameBytes && actual.cBuffers >= 1 ? S_OK : E_FAIL;
}

HRESULT CapturePin::DecideAllocator() {
    ALLOCATOR_PROPERTIES wanted{};
    input_->GetAllocatorRequirements(&wanted);  // optional for the downstream pin
    // The downstream pin's allocator first; a memory allocator of our own when it has none or
    // when that one cannot hold our frames.
    ComPtr<IMemAllocator> allocator;
    if (SUCCEEDED(input_->GetAllocator(allocator.Put())) && allocator &&
        SUCCEEDED(SetBufferSize(allocator.Get(), wanted)) &&
        SUCCEEDED(input_->NotifyAllocator(allocator.Get(), FALSE))) {
        allocator_ = allocator;
        return S_OK;
    }
    HRESULT hr = CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IMemAllocator, allocator.PutVoid());
    if (FAILED(hr)) return hr;
    hr = SetBufferSize(allocator.Get(), wanted);
    if (SUCCEEDED(hr)) hr = input_->NotifyAllocator(allocator.Get(), FALSE);
    if (FAILED(hr)) return hr;
    allocator_ = allocator;
    return S_OK;
}

void CapturePin::DropConnection() {
    connected_.Reset();
    input_.Reset();
    allocator_.Reset();
    connectionType_ = MediaType();
}

HRESULT CapturePin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
    return E_UNEXPECTED;  // an output pin is never on the receiving side
}

HRESULT CapturePin::Disconnect() {
    Guard lock(filter_.Lock());
    if (filter_.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (!connected_) return S_FALSE;
    DropConnection();
    filter_.ReleaseStream();
    return S_OK;
}

HRESULT CapturePin::ConnectedTo(IPin** pin) {
    if (!pin) return E_POINTER;
    Guard lock(filter_.Lock());
    *pin = nullptr;
    if (!connected_) return VFW_E_NOT_CONNECTED;
    connected_.CopyTo(pin);
    return S_OK;
}

HRESULT CapturePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    Guard lock(filter_.Lock());
    if (!connected_) {
        std::memset(type, 0, sizeof(*type));
        return VFW_E_NOT_CONNECTED;
    }
    return connectionType_.CopyTo(type);
}

HRESULT CapturePin::QueryPinInfo(PIN_INFO* info) {
    if (!info) return E_POINTER;
    info->pFilter = static_cast<IBaseFilter*>(&filter_);
    info->pFilter->AddRef();
    info->dir = PINDIR_OUTPUT;
    wcsncpy(info->achName, kPinName, MAX_PIN_NAME - 1);
    info->achName[MAX_PIN_NAME - 1] = L'\0';
    return S_OK;
}

HRESULT CapturePin::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction) return E_POINTER;
    *direction = PINDIR_OUTPUT;
    return S_OK;
}

HRESULT CapturePin::QueryId(LPWSTR* id) {
    if (!id) return E_POINTER;
    *id = CoTaskString(kPinName);
    return *id ? S_OK : E_OUTOFMEMORY;
}

HRESULT CapturePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    Guard lock(filter_.Lock());
    const auto asked = ParseVideoType(*type);
    return asked && asked->format == format_.format ? S_OK : S_FALSE;
}

HRESULT CapturePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types) return E_POINTER;
    Guard lock(filter_.Lock());
    *types = new (std::nothrow) MediaTypeEnumerator(OfferedTypes(), 0);
    return *types ? S_OK : E_OUTOFMEMORY;
}

HRESULT CapturePin::QueryInternalConnections(IPin**, ULONG*) { return E_NOTIMPL; }
HRESULT CapturePin::EndOfStream() { return E_UNEXPECTED; }
HRESULT CapturePin::BeginFlush() { return E_UNEXPECTED; }
HRESULT CapturePin::EndFlush() { return E_UNEXPECTED; }
HRESULT CapturePin::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) { return S_OK; }

HRESULT CapturePin::SetFormat(AM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    Guard lock(filter_.Lock());
    const auto asked = ParseVideoType(*type);
    if (!asked || asked->format != format_.format) return VFW_E_INVALIDMEDIATYPE;
    if (filter_.State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (connected_) {
        if (TypeMatches(*type, connectionType_.Get())) return S_OK;
        if (connected_->QueryAccept(type) != S_OK) return VFW_E_INVALIDMEDIATYPE;
    }
    const VideoFormat previous = format_;
    SetCurrent(*asked);
    if (connected_ && filter_.Graph()) {
        // The graph breaks the connection and makes it again with the new current type.
        const HRESULT hr = filter_.Graph()->Reconnect(this);
        if (FAILED(hr)) {
            SetCurrent(previous);
            return hr;
        }
    }
    return S_OK;
}

HRESULT CapturePin::GetFormat(AM_MEDIA_TYPE** type) {
    if (!type) return E_POINTER;
    Guard lock(filter_.Lock());
    *type = (connected_ ? connectionType_ : currentType_).NewCopy();
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT CapturePin::GetNumberOfCapabilities(int* count, int* size) {
    if (!count || !size) return E_POINTER;
    Guard lock(filter_.Lock());
    *count = static_cast<int>(Capabilities().size());
    *size = sizeof(VIDEO_STREAM_CONFIG_CAPS);
    return S_OK;
}

HRESULT CapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) {
    if (!type || !caps) return E_POINTER;
    Guard lock(filter_.Lock());
    const auto types = Capabilities();
    if (index < 0) return E_INVALIDARG;
    if (static_cast<size_t>(index) >= types.size()) return S_FALSE;
    const MediaType& chosen = types[static_cast<size_t>(index)];
    const auto* info = reinterpret_cast<const VIDEOINFOHEADER*>(chosen.Get().pbFormat);
    VIDEO_STREAM_CONFIG_CAPS config{};
    config.guid = FORMAT_VideoInfo;
    const SIZE size{info->bmiHeader.biWidth, std::abs(info->bmiHeader.biHeight)};
    config.InputSize = size;
    config.MinCroppingSize = size;
    config.MaxCroppingSize = size;
    config.MinOutputSize = size;
    config.MaxOutputSize = size;
    config.CropGranularityX = config.CropGranularityY = 1;
    config.CropAlignX = config.CropAlignY = 1;
    config.OutputGranularityX = config.OutputGranularityY = 1;
    config.MinFrameInterval = config.MaxFrameInterval = info->AvgTimePerFrame;
    config.MinBitsPerSecond = config.MaxBitsPerSecond = static_cast<LONG>(info->dwBitRate);
    std::memcpy(caps, &config, sizeof(config));
    *type = chosen.NewCopy();
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT CapturePin::Set(REFGUID set, DWORD, LPVOID, DWORD, LPVOID, DWORD) {
    return set == AMPROPSETID_Pin ? E_PROP_ID_UNSUPPORTED : E_PROP_SET_UNSUPPORTED;
}

HRESULT CapturePin::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD dataSize,
                        DWORD* returned) {
    if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (!data && !returned) return E_POINTER;
    if (returned) *returned = sizeof(GUID);
    if (!data) return S_OK;  // a size query
    if (dataSize < sizeof(GUID)) return E_UNEXPECTED;
    std::memcpy(data, &PIN_CATEGORY_CAPTURE, sizeof(GUID));
    return S_OK;
}

HRESULT CapturePin::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
    if (set != AMPROPSETID_Pin) return E_PROP_SET_UNSUPPORTED;
    if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
    if (support) *support = KSPROPERTY_SUPPORT_GET;
    return S_OK;
}

HRESULT CapturePin::Activate() {
    if (!connected_ || thread_.joinable()) return S_OK;
    const HRESULT hr = allocator_->Commit();
    if (FAILED(hr)) return hr;
    {
        std::lock_guard<std::mutex> lock(streamLock_);
        stopping_ = false;
        running_ = false;
        downstreamRefused_ = false;
    }
    try {
        thread_ = std::thread([this] { Stream(); });
    } catch (...) {
        allocator_->Decommit();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CapturePin::SetRunning(bool running, REFERENCE_TIME start, ComPtr<IReferenceClock> clock) {
    {
        std::lock_guard<std::mutex> lock(streamLock_);
        running_ = running;
        if (running) {
            startTime_ = start;
            clock_ = std::move(clock);
            downstreamRefused_ = false;
            ++runGeneration_;
        }
    }
    streamWake_.notify_all();
}

void CapturePin::RetireRun() {
    SetRunning(false, 0, nullptr);
    if (!thread_.joinable()) return;
    // A paused renderer holds a sample until the graph runs, then waits for the sample's time;
    // stamped for a start that is no longer the graph's, that time may be hours away. The flush
    // releases such a sample, and the delivery lock outlasts any Receive already under way.
    connected_->BeginFlush();
    { std::lock_guard<std::mutex> delivered(deliveryLock_); }
    connected_->EndFlush();
}

void CapturePin::Deactivate() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(streamLock_);
        stopping_ = true;
        running_ = false;
    }
    streamWake_.notify_all();
    // Decommit releases a thread that waits in GetBuffer; then wait for the thread itself, as a
    // driver does: a thread held downstream keeps Stop waiting.
    if (allocator_) allocator_->Decommit();
    thread_.join();
    std::lock_guard<std::mutex> lock(streamLock_);
    clock_.Reset();
}

bool CapturePin::DeliverFrame(uint64_t frame, uint64_t generation, CameraPicture& picture) {
    ComPtr<IMediaSample> sample;
    if (FAILED(allocator_->GetBuffer(sample.Put(), nullptr, nullptr, 0)) || !sample) return false;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data)) || !data) return false;
    const size_t written = picture.Draw(frame, data, static_cast<size_t>(sample->GetSize()));
    if (written == 0) return true;  // skip a frame that did not fit, keep streaming
    sample->SetActualDataLength(static_cast<long>(written));

    std::lock_guard<std::mutex> delivering(deliveryLock_);
    REFERENCE_TIME start = 0;
    ComPtr<IReferenceClock> clock;
    {
        std::lock_guard<std::mutex> lock(streamLock_);
        // The run this frame was made for has ended while it was drawn: its time stamp would
        // be measured from the wrong start, so the frame is dropped, as a camera drops it.
        if (!running_ || runGeneration_ != generation) return true;
        clock = clock_;
        start = startTime_;
    }
    const REFERENCE_TIME duration = 10000000LL / format_.framesPerSecond;
    REFERENCE_TIME begin = static_cast<REFERENCE_TIME>(frame) * duration;
    REFERENCE_TIME now = 0;
    if (clock && SUCCEEDED(clock->GetTime(&now))) begin = now - start;
    REFERENCE_TIME end = begin + duration;
    sample->SetTime(&begin, &end);
    sample->SetSyncPoint(TRUE);
    sample->SetDiscontinuity(frame == 0 ? TRUE : FALSE);
    return input_->Receive(sample.Get()) == S_OK;
}

void CapturePin::Stream() {
    ComApartment apartment(COINIT_MULTITHREADED);
    CameraPicture picture(PictureFormatOf(format_));
    const auto interval = std::chrono::microseconds(1000000 / format_.framesPerSecond);
    auto due = std::chrono::steady_clock::now();
    uint64_t frame = 0;
    for (;;) {
        uint64_t generation = 0;
        {
            std::unique_lock<std::mutex> lock(streamLock_);
            streamWake_.wait(lock, [&] { return stopping_ || (running_ && !downstreamRefused_); });
            if (stopping_) break;
            // Keep the frame rate; a stop or pause wakes the wait early.
            if (streamWake_.wait_until(lock, due, [&] { return stopping_ || !running_; })) {
                if (stopping_) break;
                continue;
            }
            generation = runGeneration_;
        }
        const auto now = std::chrono::steady_clock::now();
        due = (due + interval < now) ? now + interval : due + interval;
        // The controls as they are now, read a few times a second: a setting shows at once.
        if (frame % kControlsReadEvery == 0)
            picture.SetEffects(EffectsOf(filter_.PictureReadings()));
        if (!DeliverFrame(frame, generation, picture)) {
            std::lock_guard<std::mutex> lock(streamLock_);
            // Downstream refused the sample (stopping, or end of its stream): wait for the
            // next run instead of spinning. A refusal from before the latest run (downstream
            // was still stopped then) does not hold against the new run.
            if (!stopping_ && generation == runGeneration_) downstreamRefused_ = true;
        }
        ++frame;
    }
}

}  // namespace vcam
