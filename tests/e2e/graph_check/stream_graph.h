#pragma once
// One program's stream of a camera, as a capture application builds it: the device's capture
// pin through a sample grabber (whose callback counts the frames) into a null renderer, run.
#include "tests/e2e/graph_check/graph_check.h"

namespace graph_check {

struct StreamGraph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<ICaptureGraphBuilder2> builder;
    ComPtr<IBaseFilter> grabberFilter;
    ComPtr<IBaseFilter> nullRenderer;
    ComPtr<ISampleGrabber> grabber;
    ComPtr<IMediaControl> control;

    // Creates the graph's objects and adds `source`, the grabber (its callback `counter`, when
    // given) and the null renderer, unconnected: for checks that connect or choose a format
    // themselves. The first failing status.
    HRESULT Build(IBaseFilter& source, FrameCounter* counter);
    // Builds the graph around `source`, renders the capture pin and runs it; the first failing
    // status, `step` naming the step ("graph objects", "RenderStream" or "Run").
    HRESULT Start(IBaseFilter& source, FrameCounter& counter, std::string& step);
    // Stops the graph and lets go of the callback.
    void Stop();
};

}  // namespace graph_check
