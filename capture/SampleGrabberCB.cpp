#include "capture/SampleGrabberCB.h"

namespace {

std::atomic<int> liveCallbackObjects{0};

// Nothing raised in a frame's handling may reach the platform's streaming thread: the frame is
// dropped instead.
template <class Step>
void KeepingExceptionsFromTheStreamingThread(Step step) {
    try {
        step();
    } catch (...) {
    }
}

}  // namespace

// ---- TSampleGrabberCBImpl -------------------------------------------------------------------

TSampleGrabberCBImpl::~TSampleGrabberCBImpl() {
    // The callback object dies only after the grabber let go of it, so no delivery runs now.
    delete FCurrent.load();
    for (const TCallbackPair* pair : FRetired) delete pair;
}

void TSampleGrabberCBImpl::Install(TFrameCallback callback, void* data) {
    const TCallbackPair* next = callback ? new TCallbackPair{callback, data} : nullptr;
    if (const TCallbackPair* previous = FCurrent.exchange(next)) FRetired.push_back(previous);
    FreeRetiredIfUnused();
}

void TSampleGrabberCBImpl::FreeRetiredIfUnused() {
    // A delivery announces itself before it loads the pair (both sequentially consistent). If
    // none is announced after the exchange above, any later one loads the new pair, so the
    // retired ones are out of reach.
    if (FRetired.empty() || FActiveDeliveries.load() != 0) return;
    for (const TCallbackPair* pair : FRetired) delete pair;
    FRetired.clear();
}

bool TSampleGrabberCBImpl::Deliver(std::uint8_t* buffer, std::int32_t size) {
    FActiveDeliveries.fetch_add(1);
    struct Leave {
        std::atomic<int>& count;
        ~Leave() { count.fetch_sub(1); }
    } leave{FActiveDeliveries};
    const TCallbackPair* pair = FCurrent.load();
    if (!pair) return false;
    // What the callee writes into its size is not read afterwards.
    std::int32_t calleeSize = size;
    pair->FCallback(pair->FCallbackData, buffer, calleeSize);
    return true;
}

// ---- TSampleGrabberCB -----------------------------------------------------------------------

TSampleGrabberCB::TSampleGrabberCB(HWND mainWindow)
    : FImpl(std::make_unique<TSampleGrabberCBImpl>()), FMainWindow(mainWindow) {
    liveCallbackObjects.fetch_add(1);
}

TSampleGrabberCB::~TSampleGrabberCB() { liveCallbackObjects.fetch_sub(1); }

int TSampleGrabberCB::LiveInstances() { return liveCallbackObjects.load(); }

HRESULT STDMETHODCALLTYPE TSampleGrabberCB::QueryInterface(REFIID riid, void** ppvObject) {
    if (!ppvObject) return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_ISampleGrabberCB)) {
        *ppvObject = static_cast<ISampleGrabberCB*>(this);
        AddRef();
        return S_OK;
    }
    *ppvObject = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TSampleGrabberCB::AddRef() { return FRefCount.fetch_add(1) + 1; }

ULONG STDMETHODCALLTYPE TSampleGrabberCB::Release() {
    ULONG remaining = FRefCount.fetch_sub(1) - 1;
    if (remaining == 0) delete this;
    return remaining;
}

void TSampleGrabberCB::SetMainWindowPath(bool open) { FMainWindowPathOpen.store(open); }

HRESULT STDMETHODCALLTYPE TSampleGrabberCB::SampleCB(double, IMediaSample* pSample) {
    if (!pSample) return S_OK;
    KeepingExceptionsFromTheStreamingThread([&] {
        // The buffer's size, not the length of the valid data in it.
        LONG size = pSample->GetSize();
        if (size <= 0) return;
        BYTE* buffer = nullptr;
        if (FAILED(pSample->GetPointer(&buffer)) || !buffer) return;
        Deliver(buffer, size);
    });
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TSampleGrabberCB::BufferCB(double, BYTE* pBuffer, LONG BufferLen) {
    if (BufferLen <= 0 || !pBuffer) return S_OK;
    KeepingExceptionsFromTheStreamingThread([&] { Deliver(pBuffer, BufferLen); });
    return S_OK;
}

void TSampleGrabberCB::Deliver(BYTE* buffer, LONG size) {
    if (FImpl->Deliver(buffer, static_cast<std::int32_t>(size))) return;
    if (!FMainWindow || !FMainWindowPathOpen.load()) return;
    DWORD_PTR result = 0;
    SendMessageTimeoutA(FMainWindow, kFrameWithoutCallbackMessage, static_cast<WPARAM>(size),
                        reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                        kMainWindowSendTimeoutMs, &result);
}
