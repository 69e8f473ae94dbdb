// The sample grabber, the null renderer and the Smart Tee of the host capture runtime.
#include <cstring>

#include "platform/com_ptr.h"
#include "platform/host/dshow/filter.h"

namespace host::dshow {
namespace {

class SampleGrabber final : public Filter, public ISampleGrabber {
  public:
    SampleGrabber() : Filter(CLSID_SampleGrabber, L"SampleGrabber") {
        AddPin(L"Input", PINDIR_INPUT);
        AddPin(L"Output", PINDIR_OUTPUT);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        return Filter::QueryInterface(riid, ppvObject);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Filter::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Filter::Release(); }

    HRESULT STDMETHODCALLTYPE SetOneShot(BOOL OneShot) override {
        HOST_DSHOW_ENTER("ISampleGrabber::SetOneShot");
        return OneShot ? E_NOTIMPL : S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMediaType(const AM_MEDIA_TYPE*) override {
        HOST_DSHOW_ENTER("ISampleGrabber::SetMediaType");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectedMediaType(AM_MEDIA_TYPE* pType) override {
        if (!pType) return E_POINTER;
        HOST_DSHOW_ENTER("ISampleGrabber::GetConnectedMediaType");
        InternalScope internal;
        return Pins().front()->ConnectionMediaType(pType);
    }
    HRESULT STDMETHODCALLTYPE SetBufferSamples(BOOL BufferThem) override {
        HOST_DSHOW_ENTER("ISampleGrabber::SetBufferSamples");
        std::lock_guard lock(mutex_);
        bufferSamples_ = BufferThem != FALSE;
        if (!bufferSamples_) buffered_.clear();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurrentBuffer(LONG* pBufferSize, LONG* pBuffer) override {
        if (!pBufferSize) return E_POINTER;
        HOST_DSHOW_ENTER("ISampleGrabber::GetCurrentBuffer");
        std::lock_guard lock(mutex_);
        if (!bufferSamples_ || buffered_.empty()) return VFW_E_WRONG_STATE;
        LONG size = static_cast<LONG>(buffered_.size());
        if (!pBuffer) {
            *pBufferSize = size;
            return S_OK;
        }
        if (*pBufferSize < size) return E_OUTOFMEMORY;
        std::memcpy(pBuffer, buffered_.data(), buffered_.size());
        *pBufferSize = size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurrentSample(IMediaSample** ppSample) override {
        if (!ppSample) return E_POINTER;
        *ppSample = nullptr;
        HOST_DSHOW_ENTER("ISampleGrabber::GetCurrentSample");
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetCallback(ISampleGrabberCB* pCallback,
                                          LONG WhichMethodToCallback) override {
        HOST_DSHOW_ENTER("ISampleGrabber::SetCallback");
        if (WhichMethodToCallback != 0 && WhichMethodToCallback != 1) return E_INVALIDARG;
        ComPtr<ISampleGrabberCB> previous;
        {
            std::lock_guard lock(mutex_);
            previous = std::move(callback_);
            callback_ = ComPtr<ISampleGrabberCB>(pCallback);
            method_ = WhichMethodToCallback;
        }
        // The previous callback object may go with this release; outside the lock.
        return S_OK;
    }

  protected:
    HRESULT QueryOwnInterface(REFIID riid, void** ppvObject) override {
        if (riid == IID_ISampleGrabber) {
            *ppvObject = static_cast<ISampleGrabber*>(this);
            AddRef();
            return S_OK;
        }
        return Filter::QueryOwnInterface(riid, ppvObject);
    }

    void OnReceive(Pin&, IMediaSample* sample) override {
        ComPtr<ISampleGrabberCB> callback;
        LONG method = 0;
        {
            std::lock_guard lock(mutex_);
            callback = callback_;
            method = method_;
            if (bufferSamples_) {
                InternalScope internal;
                BYTE* data = nullptr;
                sample->GetPointer(&data);
                LONG length = sample->GetActualDataLength();
                buffered_.assign(data, data + (length > 0 ? length : 0));
            }
        }
        if (callback) {
            CountDeliveredFrame();
            REFERENCE_TIME start = 0;
            REFERENCE_TIME end = 0;
            sample->GetTime(&start, &end);
            double time = static_cast<double>(start) / 1e7;
            if (method == 0) {
                callback->SampleCB(time, sample);
            } else {
                BYTE* data = nullptr;
                LONG length = 0;
                {
                    InternalScope internal;
                    sample->GetPointer(&data);
                    length = sample->GetActualDataLength();
                }
                callback->BufferCB(time, data, length);
            }
        }
        Pins().back()->Deliver(sample);
    }

  private:
    ~SampleGrabber() override = default;

    std::mutex mutex_;
    ComPtr<ISampleGrabberCB> callback_;
    LONG method_ = 0;
    bool bufferSamples_ = false;
    std::vector<BYTE> buffered_;
};

class NullRenderer final : public Filter {
  public:
    NullRenderer() : Filter(CLSID_NullRenderer, L"Null Renderer") { AddPin(L"In", PINDIR_INPUT); }

  private:
    ~NullRenderer() override = default;
};

class SmartTee final : public Filter {
  public:
    SmartTee() : Filter(CLSID_SmartTee, L"Smart Tee") {
        AddPin(L"Input", PINDIR_INPUT);
        AddPin(L"Capture", PINDIR_OUTPUT, PIN_CATEGORY_CAPTURE);
        AddPin(L"Preview", PINDIR_OUTPUT, PIN_CATEGORY_PREVIEW);
    }

  protected:
    void OnReceive(Pin&, IMediaSample* sample) override {
        for (const auto& pin : Pins()) {
            if (pin->Direction() == PINDIR_OUTPUT) pin->Deliver(sample);
        }
    }

  private:
    ~SmartTee() override = default;
};

}  // namespace

IUnknown* NewSampleGrabber() { return static_cast<IBaseFilter*>(new SampleGrabber()); }
IUnknown* NewNullRenderer() { return static_cast<IBaseFilter*>(new NullRenderer()); }
IUnknown* NewSmartTee() { return static_cast<IBaseFilter*>(new SmartTee()); }

}  // namespace host::dshow
