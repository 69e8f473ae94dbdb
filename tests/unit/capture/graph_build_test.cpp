// Statuses of construction and of StartCapture, step by step.
#include "capture_fixture.h"

namespace {

constexpr HRESULT kInjected = MakeHostStatus(0x8007000E);

class GraphBuildTest : public CaptureTest {};

TEST_F(GraphBuildTest, ConstructionStopsAtTheFirstFailingStep) {
    struct Case {
        const char* call;
        int skip;
        int creations;   // CoCreateInstance calls made in all
        bool startable;  // whether StartCapture still has every member it uses
    } cases[] = {
        {"CoCreateInstance", 0, 1, false},  // filter graph
        {"CoCreateInstance", 1, 2, false},  // sample grabber
        {"CoCreateInstance", 2, 3, false},  // null renderer
        {"IUnknown::QueryInterface(ISampleGrabber)", 0, 3, false},
        {"CoCreateInstance", 3, 4, false},  // capture graph builder
        {"IUnknown::QueryInterface(IMediaControl)", 0, 4, false},
        {"IUnknown::QueryInterface(IVideoWindow)", 0, 4, true},
        {"IUnknown::QueryInterface(IMediaEventEx)", 0, 4, true},
        {"IMediaEventEx::SetNotifyWindow", 0, 4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.call) + " after " + std::to_string(c.skip));
        dshow::ClearCallLog();
        dshow::FailCall(c.call, kInjected, c.skip);
        HRESULT status = S_OK;
        auto capture = Create(&status);
        EXPECT_EQ(status, kInjected);
        EXPECT_EQ(dshow::CallCount("CoCreateInstance"), c.creations);
        // A graph without the members that starting uses cannot start.
        HRESULT started = capture->StartCapture("");
        if (c.startable) {
            EXPECT_EQ(started, S_OK);
        } else {
            EXPECT_LT(started, 0);
            EXPECT_EQ(dshow::CallCount("ICreateDevEnum::CreateClassEnumerator"), 0);
        }
    }
}

TEST_F(GraphBuildTest, LaterStepsDoNotRunAfterAFailure) {
    dshow::FailCall("IUnknown::QueryInterface(ISampleGrabber)", kInjected);
    auto capture = Create();
    EXPECT_EQ(dshow::CallCount("ISampleGrabber::SetBufferSamples"), 0);
    EXPECT_EQ(dshow::CallCount("ISampleGrabber::SetCallback"), 0);
    EXPECT_EQ(TSampleGrabberCB::LiveInstances(), 0);
}

TEST_F(GraphBuildTest, IgnoredStatusesOfGrabberSetupDoNotFailConstruction) {
    dshow::FailCall("ISampleGrabber::SetBufferSamples", kInjected);
    dshow::FailCall("ISampleGrabber::SetCallback", kInjected);
    HRESULT status = E_FAIL;
    auto capture = Create(&status);
    EXPECT_EQ(status, S_OK);
    EXPECT_EQ(dshow::CallCount("ICaptureGraphBuilder2::SetFiltergraph"), 0);
    EXPECT_EQ(dshow::CallCount("IUnknown::QueryInterface(IMediaEventEx)"), 1);
}

TEST_F(GraphBuildTest, ConstructionTurnsAnExceptionIntoMinusOne) {
    dshow::ThrowInCall("CoCreateInstance", 1);
    HRESULT status = S_OK;
    auto capture = Create(&status);
    EXPECT_EQ(status, -1);
    EXPECT_LT(capture->StartCapture(""), 0);
}

TEST_F(GraphBuildTest, SuccessfulConstructionWiresTheCallbackAndNotifyWindow) {
    HRESULT status = E_FAIL;
    auto capture = Create(&status);
    EXPECT_EQ(status, S_OK);
    std::vector<std::string> log = dshow::CallLog();
    int bufferSamples = LogIndex(log, "ISampleGrabber::SetBufferSamples");
    int callback = LogIndex(log, "ISampleGrabber::SetCallback");
    int notify = LogIndex(log, "IMediaEventEx::SetNotifyWindow");
    ASSERT_GE(bufferSamples, 0);
    EXPECT_LT(bufferSamples, callback);
    EXPECT_LT(callback, notify);
    // The grabber holds a reference of its own to the callback object.
    EXPECT_EQ(TSampleGrabberCB::LiveInstances(), 1);
}

TEST_F(GraphBuildTest, StartCaptureReturnsTheFirstFailure) {
    struct Case {
        const char* call;
    } cases[] = {
        {"ICaptureGraphBuilder2::SetFiltergraph"},   {"IFilterGraph::AddFilter(Video Capture)"},
        {"IFilterGraph::AddFilter(Sample Grabber)"}, {"IFilterGraph::AddFilter(Null Renderer)"},
        {"ICaptureGraphBuilder2::RenderStream"},     {"IMediaControl::Run"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        auto capture = Create();
        dshow::ClearCallLog();
        dshow::FailCall(c.call, kInjected);
        EXPECT_EQ(capture->StartCapture(""), kInjected);
        EXPECT_EQ(dshow::RunningStreams(), 0);
    }
}

TEST_F(GraphBuildTest, AddFilterFailureStopsBeforeTheNextFilter) {
    auto capture = Create();
    dshow::ClearCallLog();
    dshow::FailCall("IFilterGraph::AddFilter(Sample Grabber)", kInjected);
    EXPECT_EQ(capture->StartCapture(""), kInjected);
    EXPECT_EQ(dshow::CallCount("IFilterGraph::AddFilter(Null Renderer)"), 0);
    EXPECT_EQ(dshow::CallCount("ICaptureGraphBuilder2::RenderStream"), 0);
}

TEST_F(GraphBuildTest, RenderStreamExceptionCountsAsMinusOne) {
    auto capture = Create();
    dshow::ThrowInCall("ICaptureGraphBuilder2::RenderStream");
    EXPECT_EQ(capture->StartCapture(""), -1);
    EXPECT_EQ(dshow::CallCount("IMediaControl::Run"), 0);
}

TEST_F(GraphBuildTest, RunAboutToRunCountsAsSuccess) {
    auto capture = Create();
    dshow::FailCall("IMediaControl::Run", S_FALSE);
    EXPECT_EQ(capture->StartCapture(""), S_FALSE);
}

TEST_F(GraphBuildTest, ExceptionsOutsideTheGuardedStepsReachTheCaller) {
    auto capture = Create();
    dshow::ThrowInCall("IMediaControl::Run");
    EXPECT_THROW(capture->StartCapture(""), std::runtime_error);
}

TEST_F(GraphBuildTest, DeviceWithoutCameraControlStillStarts) {
    dshow::DeviceConfig device = Camera(L"Plain");
    device.cameraControl = false;
    dshow::UseDevices({device});
    auto capture = Create();
    EXPECT_EQ(capture->StartCapture("plain"), S_OK);
    EXPECT_EQ(dshow::RunningStreams(), 1);
}

}  // namespace
