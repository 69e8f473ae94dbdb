// The filter graph of the host capture runtime: named filters, connections, run and stop, the
// video-window and event interfaces.
#include <algorithm>
#include <deque>

#include "platform/host/dshow/filter.h"
#include "platform/host/message_queue.h"

namespace host::dshow {
namespace {

constexpr HRESULT kAbort = MakeHostStatus(0x80004004);  // E_ABORT: no event waiting
constexpr LONG kEventPaused = 0x0E;                     // EC_PAUSED
constexpr HRESULT kNoVideoRenderer = E_NOINTERFACE;     // nothing in the graph shows video
constexpr HRESULT kDuplicateNameAdded = MakeHostStatus(0x0004022D);

class FilterGraph final : public IGraphBuilder,
                          public IMediaControl,
                          public IVideoWindow,
                          public IMediaEventEx,
                          private LiveObject {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) return E_POINTER;
        *ppvObject = nullptr;
        HOST_DSHOW_ENTER("IUnknown::QueryInterface", InterfaceName(riid));
        if (riid == IID_IUnknown || riid == IID_IFilterGraph || riid == IID_IGraphBuilder) {
            *ppvObject = static_cast<IGraphBuilder*>(this);
        } else if (riid == IID_IMediaControl) {
            *ppvObject = static_cast<IMediaControl*>(this);
        } else if (riid == IID_IVideoWindow) {
            *ppvObject = static_cast<IVideoWindow*>(this);
        } else if (riid == IID_IMediaEventEx || riid == IID_IMediaEvent) {
            *ppvObject = static_cast<IMediaEventEx*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG remaining = refs_.Drop();
        if (remaining == 0) delete this;
        return remaining;
    }

    // ---- IFilterGraph / IGraphBuilder

    HRESULT STDMETHODCALLTYPE AddFilter(IBaseFilter* pFilter, LPCWSTR pName) override {
        HOST_DSHOW_ENTER("IFilterGraph::AddFilter", pName ? Narrow(pName) : std::string());
        if (!pFilter) return E_POINTER;
        Filter* filter = AsRuntimeFilter(pFilter);
        if (!filter) return E_INVALIDARG;
        if (Find(filter) != members_.end()) return E_INVALIDARG;
        std::wstring name = pName ? pName : L"Filter";
        HRESULT status = S_OK;
        for (int suffix = 1; FindByName(name) != members_.end(); ++suffix) {
            name = (pName ? pName : L"Filter") + std::wstring(L" ") + std::to_wstring(suffix);
            status = kDuplicateNameAdded;
        }
        filter->AddRef();
        members_.push_back(filter);
        InternalScope internal;
        filter->JoinFilterGraph(this, name.c_str());
        return status;
    }

    HRESULT STDMETHODCALLTYPE RemoveFilter(IBaseFilter* pFilter) override {
        Filter* filter = AsRuntimeFilter(pFilter);
        HOST_DSHOW_ENTER("IFilterGraph::RemoveFilter", filter ? filter->Name() : std::string());
        auto it = Find(filter);
        if (it == members_.end()) return VFW_E_NOT_FOUND;
        Leave(*filter);
        members_.erase(it);
        filter->Release();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE FindFilterByName(LPCWSTR pName, IBaseFilter** ppFilter) override {
        if (!pName || !ppFilter) return E_POINTER;
        *ppFilter = nullptr;
        HOST_DSHOW_ENTER("IFilterGraph::FindFilterByName", Narrow(pName));
        auto it = FindByName(pName);
        if (it == members_.end()) return VFW_E_NOT_FOUND;
        *ppFilter = *it;
        (*it)->AddRef();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE ConnectDirect(IPin* ppinOut, IPin* ppinIn,
                                            const AM_MEDIA_TYPE*) override {
        HOST_DSHOW_ENTER("IFilterGraph::ConnectDirect");
        return Join(ppinOut, ppinIn);
    }

    HRESULT STDMETHODCALLTYPE Reconnect(IPin*) override {
        HOST_DSHOW_ENTER("IFilterGraph::Reconnect");
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE Disconnect(IPin* ppin) override {
        Pin* pin = AsRuntimePin(ppin);
        HOST_DSHOW_ENTER("IFilterGraph::Disconnect", pin ? pin->Describe() : std::string());
        if (!ppin) return E_POINTER;
        if (!pin || Find(&pin->Owner()) == members_.end()) return VFW_E_NOT_IN_GRAPH;
        return pin->Unlink();
    }

    HRESULT STDMETHODCALLTYPE SetDefaultSyncSource() override {
        HOST_DSHOW_ENTER("IFilterGraph::SetDefaultSyncSource");
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Connect(IPin* ppinOut, IPin* ppinIn) override {
        HOST_DSHOW_ENTER("IGraphBuilder::Connect");
        return Join(ppinOut, ppinIn);
    }

    HRESULT STDMETHODCALLTYPE Render(IPin*) override {
        HOST_DSHOW_ENTER("IGraphBuilder::Render");
        return E_NOTIMPL;
    }

    // ---- IMediaControl

    HRESULT STDMETHODCALLTYPE Run() override {
        HOST_DSHOW_ENTER("IMediaControl::Run");
        // Downstream filters first, so that they take the first samples the sources send.
        for (auto it = members_.rbegin(); it != members_.rend(); ++it) (*it)->RunFilter();
        state_ = State_Running;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Pause() override {
        HOST_DSHOW_ENTER("IMediaControl::Pause");
        for (Filter* filter : members_) {
            InternalScope internal;
            filter->Pause();
        }
        state_ = State_Paused;
        RaiseEvent(kEventPaused, S_OK, 0);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Stop() override {
        HOST_DSHOW_ENTER("IMediaControl::Stop");
        StopAll();
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetState(LONG, OAFilterState* pfs) override {
        if (!pfs) return E_POINTER;
        HOST_DSHOW_ENTER("IMediaControl::GetState");
        *pfs = state_;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE StopWhenReady() override {
        HOST_DSHOW_ENTER("IMediaControl::StopWhenReady");
        StopAll();
        return S_OK;
    }

    // ---- IVideoWindow: no filter of the capture graph shows video, so there is nothing to
    // forward to; the graph still remembers what was asked.

    HRESULT STDMETHODCALLTYPE put_Visible(LONG Visible) override {
        HOST_DSHOW_ENTER("IVideoWindow::put_Visible");
        visible_ = Visible;
        return kNoVideoRenderer;
    }
    HRESULT STDMETHODCALLTYPE get_Visible(LONG* pVisible) override {
        if (!pVisible) return E_POINTER;
        HOST_DSHOW_ENTER("IVideoWindow::get_Visible");
        *pVisible = visible_;
        return kNoVideoRenderer;
    }
    HRESULT STDMETHODCALLTYPE put_Owner(OAHWND Owner) override {
        HOST_DSHOW_ENTER("IVideoWindow::put_Owner");
        owner_ = Owner;
        return kNoVideoRenderer;
    }
    HRESULT STDMETHODCALLTYPE get_Owner(OAHWND* Owner) override {
        if (!Owner) return E_POINTER;
        HOST_DSHOW_ENTER("IVideoWindow::get_Owner");
        *Owner = owner_;
        return kNoVideoRenderer;
    }

    // ---- IMediaEventEx: events wait in a queue; each one is announced to the notify window.

    HRESULT STDMETHODCALLTYPE GetEvent(LONG* lEventCode, LONG_PTR* lParam1, LONG_PTR* lParam2,
                                       LONG) override {
        if (!lEventCode || !lParam1 || !lParam2) return E_POINTER;
        HOST_DSHOW_ENTER("IMediaEventEx::GetEvent");
        *lEventCode = 0;
        *lParam1 = 0;
        *lParam2 = 0;
        if (events_.empty()) return kAbort;
        *lEventCode = events_.front().code;
        *lParam1 = events_.front().param1;
        *lParam2 = events_.front().param2;
        events_.pop_front();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE FreeEventParams(LONG, LONG_PTR, LONG_PTR) override {
        HOST_DSHOW_ENTER("IMediaEventEx::FreeEventParams");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetNotifyWindow(OAHWND hwnd, LONG lMsg,
                                              LONG_PTR lInstanceData) override {
        HOST_DSHOW_ENTER("IMediaEventEx::SetNotifyWindow");
        notifyWindow_ = hwnd;
        notifyMessage_ = lMsg;
        notifyData_ = lInstanceData;
        return S_OK;
    }

  private:
    ~FilterGraph() {
        // A graph that goes away stops and takes every filter out, which breaks the reference
        // cycles that connected pins form.
        StopAll();
        while (!members_.empty()) {
            Filter* filter = members_.back();
            Leave(*filter);
            members_.pop_back();
            filter->Release();
        }
    }

    void RaiseEvent(LONG code, LONG_PTR param1, LONG_PTR param2) {
        events_.push_back({code, param1, param2});
        if (notifyWindow_) {
            host::MessageQueue::Instance().Post(reinterpret_cast<WindowHandle>(notifyWindow_),
                                                static_cast<unsigned>(notifyMessage_), 0,
                                                notifyData_);
        }
    }

    std::vector<Filter*>::iterator Find(Filter* filter) {
        return std::find(members_.begin(), members_.end(), filter);
    }

    std::vector<Filter*>::iterator FindByName(const std::wstring& name) {
        return std::find_if(members_.begin(), members_.end(),
                            [&](Filter* filter) { return filter->Name() == Narrow(name); });
    }

    HRESULT Join(IPin* out, IPin* in) {
        Pin* output = AsRuntimePin(out);
        Pin* input = AsRuntimePin(in);
        if (!out || !in) return E_POINTER;
        if (!output || !input) return VFW_E_CANNOT_CONNECT;
        if (Find(&output->Owner()) == members_.end() || Find(&input->Owner()) == members_.end()) {
            return VFW_E_NOT_IN_GRAPH;
        }
        return output->ConnectTo(*input);
    }

    void StopAll() {
        for (auto it = members_.rbegin(); it != members_.rend(); ++it) (*it)->StopFilter();
        state_ = State_Stopped;
    }

    // Takes a filter out of the graph: stopped, every connection of it broken on both sides.
    void Leave(Filter& filter) {
        filter.StopFilter();
        for (const auto& pin : filter.Pins()) {
            if (Pin* peer = pin->Peer()) {
                peer->Owner().StopFilter();
                if (peer->Peer() == pin.get()) peer->Unlink();
                pin->Unlink();
            }
        }
        InternalScope internal;
        filter.JoinFilterGraph(nullptr, nullptr);
    }

    RefCount refs_;
    std::vector<Filter*> members_;  // counted, in the order added
    OAFilterState state_ = State_Stopped;
    LONG visible_ = OATRUE;
    OAHWND owner_ = 0;
    OAHWND notifyWindow_ = 0;
    LONG notifyMessage_ = 0;
    LONG_PTR notifyData_ = 0;
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };
    std::deque<Event> events_;
};

}  // namespace

IUnknown* NewFilterGraph() { return static_cast<IGraphBuilder*>(new FilterGraph()); }

}  // namespace host::dshow
