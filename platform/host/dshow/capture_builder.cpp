// The capture graph builder of the host capture runtime: joins a device's capture pin through
// an optional intermediate filter to a renderer, and finds interfaces on a device's pins.
#include "platform/com_ptr.h"
#include "platform/host/dshow/filter.h"

namespace host::dshow {
namespace {

class CaptureGraphBuilder final
    : public SingleInterfaceObject<ICaptureGraphBuilder2, IID_ICaptureGraphBuilder2> {
  public:
    HRESULT STDMETHODCALLTYPE SetFiltergraph(IGraphBuilder* pfg) override {
        HOST_DSHOW_ENTER("ICaptureGraphBuilder2::SetFiltergraph");
        if (!pfg) return E_POINTER;
        if (graph_) return E_UNEXPECTED;
        graph_ = ComPtr<IGraphBuilder>(pfg);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetFiltergraph(IGraphBuilder** ppfg) override {
        if (!ppfg) return E_POINTER;
        *ppfg = nullptr;
        HOST_DSHOW_ENTER("ICaptureGraphBuilder2::GetFiltergraph");
        if (!graph_) return E_UNEXPECTED;
        *ppfg = graph_.Get();
        graph_->AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE RenderStream(const GUID* pCategory, const GUID* pType,
                                           IUnknown* pSource, IBaseFilter* pfCompressor,
                                           IBaseFilter* pfRenderer) override {
        HOST_DSHOW_ENTER("ICaptureGraphBuilder2::RenderStream");
        if (!pSource || !pfRenderer) return E_POINTER;
        if (!graph_) return E_UNEXPECTED;
        if (pType && !(*pType == MEDIATYPE_Video)) return E_INVALIDARG;
        Filter* source = AsRuntimeFilter(pSource);
        Filter* renderer = AsRuntimeFilter(pfRenderer);
        Filter* compressor = pfCompressor ? AsRuntimeFilter(pfCompressor) : nullptr;
        if (!source || !renderer || (pfCompressor && !compressor)) return E_INVALIDARG;
        if (!InThisGraph(*source) || !InThisGraph(*renderer) ||
            (compressor && !InThisGraph(*compressor))) {
            return VFW_E_NOT_IN_GRAPH;
        }

        Pin* upstream = FindPin(*source, pCategory);
        if (!upstream) return E_FAIL;
        InternalScope internal;

        // A device without a preview pin gets a Smart Tee, whose capture pin then feeds the
        // stream, as the platform's builder does.
        if (pCategory && *pCategory == PIN_CATEGORY_CAPTURE && !HasPreviewPin(*source)) {
            ComPtr<IBaseFilter> tee;
            tee.Attach(static_cast<IBaseFilter*>(NewSmartTee()));
            HRESULT hr = graph_->AddFilter(tee.Get(), L"Smart Tee");
            if (FAILED(hr)) return hr;
            Filter* teeFilter = AsRuntimeFilter(tee.Get());
            hr = Join(*upstream, teeFilter->FirstFreePin(PINDIR_INPUT));
            if (FAILED(hr)) return hr;
            upstream = FindPin(*teeFilter, &PIN_CATEGORY_CAPTURE);
        }
        if (compressor) {
            HRESULT hr = Join(*upstream, compressor->FirstFreePin(PINDIR_INPUT));
            if (FAILED(hr)) return hr;
            upstream = compressor->FirstFreePin(PINDIR_OUTPUT);
            if (!upstream) return VFW_E_CANNOT_CONNECT;
        }
        return Join(*upstream, renderer->FirstFreePin(PINDIR_INPUT));
    }

    HRESULT STDMETHODCALLTYPE FindInterface(const GUID* pCategory, const GUID*, IBaseFilter* pf,
                                            REFIID riid, void** ppint) override {
        if (!ppint) return E_POINTER;
        *ppint = nullptr;
        HOST_DSHOW_ENTER("ICaptureGraphBuilder2::FindInterface", InterfaceName(riid));
        if (!pf) return E_POINTER;
        InternalScope internal;
        if (pf->QueryInterface(riid, ppint) == S_OK) return S_OK;
        Filter* filter = AsRuntimeFilter(pf);
        if (!filter) return E_NOINTERFACE;
        for (const auto& pin : filter->Pins()) {
            if (pCategory && !(pin->Category() == *pCategory)) continue;
            if (pin->QueryInterface(riid, ppint) == S_OK) return S_OK;
        }
        return E_NOINTERFACE;
    }

  private:
    ~CaptureGraphBuilder() = default;

    bool InThisGraph(const Filter& filter) const {
        return filter.Graph() == static_cast<IFilterGraph*>(graph_.Get());
    }

    static bool HasPreviewPin(const Filter& filter) {
        for (const auto& pin : filter.Pins()) {
            if (pin->Direction() == PINDIR_OUTPUT && pin->Category() == PIN_CATEGORY_PREVIEW) {
                return true;
            }
        }
        return false;
    }

    // The first unconnected output pin of the category (any output pin without one).
    static Pin* FindPin(const Filter& filter, const GUID* category) {
        for (const auto& pin : filter.Pins()) {
            if (pin->Direction() != PINDIR_OUTPUT || pin->Peer()) continue;
            if (!category || pin->Category() == *category) return pin.get();
        }
        return nullptr;
    }

    HRESULT Join(Pin& output, Pin* input) {
        if (!input) return VFW_E_CANNOT_CONNECT;
        return graph_->ConnectDirect(&output, input, nullptr);
    }

    ComPtr<IGraphBuilder> graph_;
};

}  // namespace

IUnknown* NewCaptureGraphBuilder() { return new CaptureGraphBuilder(); }

}  // namespace host::dshow
