// The host capture runtime's shared machinery: the call gate with injected failures and the
// call log, the live-object counter, COM start-up and class creation, task memory, strings and
// variants, and sent window messages.
#include "platform/host/dshow/runtime.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>

#include "platform/host/message_queue.h"

namespace host::dshow {
namespace {

struct Injection {
    HRESULT status = S_OK;
    bool raises = false;
    int skip = 0;
    int times = 1;
};

struct CallRecord {
    std::mutex mutex;
    std::map<std::string, Injection> injections;
    std::map<std::string, int> counts;
    std::vector<std::string> log;
    std::function<void(const BYTE*, LONG)> frameObserver;
};

CallRecord& Calls() {
    static CallRecord record;
    return record;
}

std::atomic<int> liveObjects{0};
std::atomic<int> runningStreams{0};
std::atomic<int> deliveredFrames{0};
thread_local int apartmentJoins = 0;
thread_local int internalDepth = 0;

}  // namespace

LiveObject::LiveObject() { liveObjects.fetch_add(1); }
LiveObject::~LiveObject() { liveObjects.fetch_sub(1); }

int LiveObjects() { return liveObjects.load(); }
int RunningStreams() { return runningStreams.load(); }
int FramesDelivered() { return deliveredFrames.load(); }
void StreamStarted() { runningStreams.fetch_add(1); }
void StreamStopped() { runningStreams.fetch_sub(1); }
void CountDeliveredFrame() { deliveredFrames.fetch_add(1); }
bool ComInitializedOnThisThread() { return apartmentJoins > 0; }

InternalScope::InternalScope() { ++internalDepth; }
InternalScope::~InternalScope() { --internalDepth; }

std::string InterfaceName(REFIID iid) {
    struct Known {
        const IID* iid;
        const char* name;
    };
    static const Known known[] = {
        {&IID_IUnknown, "IUnknown"},
        {&IID_IPersist, "IPersist"},
        {&IID_IMediaFilter, "IMediaFilter"},
        {&IID_IBaseFilter, "IBaseFilter"},
        {&IID_IPin, "IPin"},
        {&IID_IEnumPins, "IEnumPins"},
        {&IID_IFilterGraph, "IFilterGraph"},
        {&IID_IGraphBuilder, "IGraphBuilder"},
        {&IID_IMediaControl, "IMediaControl"},
        {&IID_IVideoWindow, "IVideoWindow"},
        {&IID_IMediaEvent, "IMediaEvent"},
        {&IID_IMediaEventEx, "IMediaEventEx"},
        {&IID_ICaptureGraphBuilder2, "ICaptureGraphBuilder2"},
        {&IID_ICreateDevEnum, "ICreateDevEnum"},
        {&IID_IEnumMoniker, "IEnumMoniker"},
        {&IID_IMoniker, "IMoniker"},
        {&IID_IPropertyBag, "IPropertyBag"},
        {&IID_IAMStreamConfig, "IAMStreamConfig"},
        {&IID_IAMCameraControl, "IAMCameraControl"},
        {&IID_IAMVideoProcAmp, "IAMVideoProcAmp"},
        {&IID_IKsPropertySet, "IKsPropertySet"},
        {&IID_IMediaSample, "IMediaSample"},
        {&IID_ISampleGrabber, "ISampleGrabber"},
        {&IID_ISampleGrabberCB, "ISampleGrabberCB"},
    };
    for (const Known& entry : known) {
        if (*entry.iid == iid) return entry.name;
    }
    return "unknown interface";
}

std::optional<HRESULT> EnterCall(const char* call, const std::string& detail, bool logged) {
    if (internalDepth > 0) return std::nullopt;
    CallRecord& calls = Calls();
    std::unique_lock lock(calls.mutex);
    std::string full = detail.empty() ? call : std::string(call) + "(" + detail + ")";
    ++calls.counts[call];
    if (!detail.empty()) ++calls.counts[full];
    if (logged) {
        // A long host run keeps the newest calls only.
        constexpr std::size_t kLogLimit = 100000;
        if (calls.log.size() >= kLogLimit) {
            calls.log.erase(calls.log.begin(),
                            calls.log.begin() + static_cast<std::ptrdiff_t>(kLogLimit / 2));
        }
        calls.log.push_back(full);
    }
    // An injection for the call with this detail comes before one for the call as a whole.
    auto it = calls.injections.find(full);
    if (it == calls.injections.end()) it = calls.injections.find(call);
    if (it == calls.injections.end()) return std::nullopt;
    Injection& injection = it->second;
    if (injection.skip > 0) {
        --injection.skip;
        return std::nullopt;
    }
    Injection fired = injection;
    if (injection.times > 0 && --injection.times == 0) calls.injections.erase(it);
    lock.unlock();
    if (fired.raises) throw std::runtime_error(std::string("injected exception in ") + call);
    return fired.status;
}

void FailCall(const std::string& call, HRESULT status, int skip, int times) {
    std::lock_guard lock(Calls().mutex);
    Calls().injections[call] = Injection{status, false, skip, times};
}

void ThrowInCall(const std::string& call, int skip, int times) {
    std::lock_guard lock(Calls().mutex);
    Calls().injections[call] = Injection{S_OK, true, skip, times};
}

int CallCount(const std::string& call) {
    std::lock_guard lock(Calls().mutex);
    auto it = Calls().counts.find(call);
    return it == Calls().counts.end() ? 0 : it->second;
}

std::vector<std::string> CallLog() {
    std::lock_guard lock(Calls().mutex);
    return Calls().log;
}

void ClearCallLog() {
    std::lock_guard lock(Calls().mutex);
    Calls().log.clear();
    Calls().counts.clear();
}

void SetFrameObserver(std::function<void(const BYTE*, LONG)> observer) {
    std::lock_guard lock(Calls().mutex);
    Calls().frameObserver = std::move(observer);
}

void ObserveFrame(const BYTE* buffer, LONG size) {
    std::function<void(const BYTE*, LONG)> observer;
    {
        std::lock_guard lock(Calls().mutex);
        observer = Calls().frameObserver;
    }
    if (observer) observer(buffer, size);
}

void ResetCalls() {
    std::lock_guard lock(Calls().mutex);
    Calls().injections.clear();
    Calls().counts.clear();
    Calls().log.clear();
    Calls().frameObserver = nullptr;
    deliveredFrames.store(0);
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        auto code = static_cast<std::uint32_t>(c);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::wstring Widen(const std::string& utf8) {
    std::wstring out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = lead < 0x80             ? 0
                    : (lead & 0xE0) == 0xC0 ? 1
                    : (lead & 0xF0) == 0xE0 ? 2
                    : (lead & 0xF8) == 0xF0 ? 3
                                            : -1;
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < utf8.size();
        std::uint32_t code = lead;
        if (valid && extra > 0) {
            code = lead & (0x7Fu >> (extra + 1));
            for (int k = 1; k <= extra && valid; ++k) {
                auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
                valid = (next & 0xC0) == 0x80;
                code = (code << 6) | (next & 0x3Fu);
            }
        }
        if (!valid) {
            // Not UTF-8: the byte stands for itself (Latin-1).
            out += static_cast<wchar_t>(lead);
            ++i;
            continue;
        }
        out += static_cast<wchar_t>(code);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

}  // namespace host::dshow

using namespace host::dshow;

// ---- COM -----------------------------------------------------------------------------------

HRESULT CoInitialize(LPVOID) {
    HOST_DSHOW_ENTER("CoInitialize");
    return apartmentJoins++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    EnterCall("CoUninitialize");
    if (apartmentJoins > 0) --apartmentJoins;
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    HOST_DSHOW_ENTER("CoCreateInstance");
    if (!ComInitializedOnThisThread()) return CO_E_NOTINITIALIZED;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    if ((dwClsContext & CLSCTX_INPROC_SERVER) == 0) return REGDB_E_CLASSNOTREG;

    struct Registration {
        const CLSID* clsid;
        IUnknown* (*create)();
    };
    static const Registration registry[] = {
        {&CLSID_FilterGraph, NewFilterGraph},
        {&CLSID_CaptureGraphBuilder2, NewCaptureGraphBuilder},
        {&CLSID_SystemDeviceEnum, NewSystemDeviceEnum},
        {&CLSID_SampleGrabber, NewSampleGrabber},
        {&CLSID_NullRenderer, NewNullRenderer},
        {&CLSID_SmartTee, NewSmartTee},
    };
    for (const Registration& registration : registry) {
        if (!(*registration.clsid == rclsid)) continue;
        InternalScope internal;
        IUnknown* object = registration.create();
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    return REGDB_E_CLASSNOTREG;
}

LPVOID CoTaskMemAlloc(std::size_t cb) { return std::malloc(cb == 0 ? 1 : cb); }
void CoTaskMemFree(LPVOID pv) { std::free(pv); }

// ---- Strings and variants ------------------------------------------------------------------

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    std::size_t length = std::wcslen(psz);
    auto* copy = static_cast<BSTR>(std::malloc((length + 1) * sizeof(OLECHAR)));
    if (!copy) return nullptr;
    std::wmemcpy(copy, psz, length + 1);
    return copy;
}

void SysFreeString(BSTR bstrString) { std::free(bstrString); }

void VariantInit(VARIANT* pvarg) {
    if (!pvarg) return;
    pvarg->vt = VT_EMPTY;
    pvarg->bstrVal = nullptr;
}

HRESULT VariantClear(VARIANT* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    if (pvarg->vt == VT_BSTR) SysFreeString(pvarg->bstrVal);
    VariantInit(pvarg);
    return S_OK;
}

int WideCharToMultiByte(UINT, DWORD, LPCWCH lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar) {
    // Its failure is 0, whatever status a test injects.
    if (EnterCall("WideCharToMultiByte")) return 0;
    if (!lpWideCharStr || cbMultiByte < 0) return 0;
    std::size_t length =
        cchWideChar < 0 ? std::wcslen(lpWideCharStr) + 1 : static_cast<std::size_t>(cchWideChar);
    if (lpUsedDefaultChar) *lpUsedDefaultChar = FALSE;
    if (cbMultiByte == 0) return static_cast<int>(length);
    if (!lpMultiByteStr || length > static_cast<std::size_t>(cbMultiByte)) return 0;
    char fallback = lpDefaultChar ? *lpDefaultChar : '?';
    for (std::size_t i = 0; i < length; ++i) {
        auto code = static_cast<std::uint32_t>(lpWideCharStr[i]);
        if (code > 0xFF) {
            lpMultiByteStr[i] = fallback;
            if (lpUsedDefaultChar) *lpUsedDefaultChar = TRUE;
        } else {
            lpMultiByteStr[i] = static_cast<char>(code);
        }
    }
    return static_cast<int>(length);
}

// ---- Sent messages -------------------------------------------------------------------------

LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    MessageResult result = 0;
    host::MessageQueue::Instance().Send(hWnd, Msg, wParam, lParam, std::chrono::hours(24 * 365),
                                        &result);
    return result;
}

LRESULT SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT, UINT uTimeout,
                            PDWORD_PTR lpdwResult) {
    // Sent from the streaming thread, so counted but not logged; its failure is 0.
    if (EnterCall("SendMessageTimeoutA", {}, false)) return 0;
    MessageResult result = 0;
    bool handled = host::MessageQueue::Instance().Send(
        hWnd, Msg, wParam, lParam, std::chrono::milliseconds(uTimeout), &result);
    if (handled && lpdwResult) *lpdwResult = static_cast<DWORD_PTR>(result);
    return handled ? 1 : 0;
}
