#include "tests/e2e/graph_check/stream_graph.h"

namespace graph_check {

HRESULT StreamGraph::Build(IBaseFilter& source, FrameCounter* counter) {
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IGraphBuilder, graph.PutVoid());
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                              IID_ICaptureGraphBuilder2, builder.PutVoid());
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(kClsidSampleGrabber, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              grabberFilter.PutVoid());
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(kClsidNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              nullRenderer.PutVoid());
    if (SUCCEEDED(hr)) hr = grabberFilter.QueryInto(IID_ISampleGrabber, grabber);
    if (SUCCEEDED(hr)) hr = graph.QueryInto(IID_IMediaControl, control);
    if (FAILED(hr)) return hr;
    if (counter) {
        grabber->SetBufferSamples(FALSE);
        grabber->SetCallback(counter, 0);
    }
    builder->SetFiltergraph(graph.Get());
    graph->AddFilter(&source, L"Video Capture");
    graph->AddFilter(grabberFilter.Get(), L"Sample Grabber");
    graph->AddFilter(nullRenderer.Get(), L"Null Renderer");
    return S_OK;
}

HRESULT StreamGraph::Start(IBaseFilter& source, FrameCounter& counter, std::string& step) {
    step = "graph objects";
    HRESULT hr = Build(source, &counter);
    if (FAILED(hr)) return hr;
    step = "RenderStream";
    hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, &source,
                               grabberFilter.Get(), nullRenderer.Get());
    if (FAILED(hr)) return hr;
    step = "Run";
    return control->Run();
}

void StreamGraph::Stop() {
    if (control) control->Stop();
    if (grabber) grabber->SetCallback(nullptr, 1);
}

}  // namespace graph_check
