// Destroy: stop, removal of what is downstream of the device (deepest first), release.
#include "capture_fixture.h"

namespace {

class TeardownTest : public CaptureTest {
  protected:
    // Fails the test when one of `entries` is missing from the log or out of order.
    static void ExpectInOrder(const std::vector<std::string>& log,
                              const std::vector<std::string>& entries) {
        std::size_t from = 0;
        for (const std::string& entry : entries) {
            auto it = std::find(log.begin() + static_cast<std::ptrdiff_t>(from), log.end(), entry);
            ASSERT_NE(it, log.end()) << "missing or out of order: " << entry;
            from = static_cast<std::size_t>(it - log.begin()) + 1;
        }
    }
};

TEST_F(TeardownTest, RemovesDownstreamFiltersDeepestFirstThroughASmartTee) {
    dshow::DeviceConfig device = Camera(L"Cam");
    device.previewPin = false;
    dshow::UseDevices({device});
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    std::atomic<int> frames{0};
    capture->SetFrameCallback(
        [](void* data, std::uint8_t*, std::int32_t&) {
            static_cast<std::atomic<int>*>(data)->fetch_add(1);
        },
        &frames);
    ASSERT_TRUE(PumpUntil([&] { return frames.load() >= 2; }));

    dshow::ClearCallLog();
    capture.reset();
    std::vector<std::string> log = dshow::CallLog();
    ExpectInOrder(log, {
                           "IMediaControl::Stop",
                           "IMediaFilter::Stop(Video Capture)",
                           "IFilterGraph::Disconnect(Null Renderer.In)",
                           "IFilterGraph::Disconnect(Sample Grabber.Output)",
                           "IFilterGraph::RemoveFilter(Null Renderer)",
                           "IFilterGraph::Disconnect(Sample Grabber.Input)",
                           "IFilterGraph::Disconnect(Smart Tee.Capture)",
                           "IFilterGraph::RemoveFilter(Sample Grabber)",
                           "IFilterGraph::Disconnect(Smart Tee.Input)",
                           "IFilterGraph::Disconnect(Video Capture.Capture)",
                           "IFilterGraph::RemoveFilter(Smart Tee)",
                           "ISampleGrabber::SetCallback",
                           "IMediaControl::StopWhenReady",
                           "IMediaEventEx::SetNotifyWindow",
                           "IVideoWindow::put_Visible",
                           "IVideoWindow::put_Owner",
                       });
    EXPECT_EQ(dshow::CallCount("IFilterGraph::RemoveFilter"), 3);
}

TEST_F(TeardownTest, RemovesGrabberAndRendererOfADeviceWithPreviewPin) {
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    // No Smart Tee: the device has a preview pin of its own.
    dshow::ClearCallLog();
    capture.reset();
    std::vector<std::string> log = dshow::CallLog();
    ExpectInOrder(log, {"IFilterGraph::RemoveFilter(Null Renderer)",
                        "IFilterGraph::Disconnect(Video Capture.Capture)",
                        "IFilterGraph::RemoveFilter(Sample Grabber)"});
    // The walk ends at the device's unconnected preview pin.
    EXPECT_EQ(dshow::CallCount("IFilterGraph::RemoveFilter"), 2);
    EXPECT_EQ(dshow::CallCount("IPin::ConnectedTo(Video Capture.Preview)"), 1);
}

TEST_F(TeardownTest, DestroyAfterFailedStartWithoutDeviceReleasesEverything) {
    auto capture = Create();
    EXPECT_LT(capture->StartCapture("No Such Camera"), 0);
    dshow::ClearCallLog();
    capture.reset();
    EXPECT_EQ(dshow::CallCount("IMediaFilter::Stop"), 0);
    EXPECT_EQ(dshow::CallCount("IFilterGraph::RemoveFilter"), 0);
    ExpectInOrder(dshow::CallLog(),
                  {"IMediaControl::Stop", "ISampleGrabber::SetCallback",
                   "IMediaControl::StopWhenReady", "IMediaEventEx::SetNotifyWindow"});
}

TEST_F(TeardownTest, DestroyAfterFailedRenderStreamLeavesNothingBehind) {
    auto capture = Create();
    dshow::FailCall("ICaptureGraphBuilder2::RenderStream", E_FAIL);
    EXPECT_EQ(capture->StartCapture(""), E_FAIL);
    capture.reset();
}

TEST_F(TeardownTest, DestroyOfAPartlyBuiltObjectPassesOverMissingMembers) {
    dshow::FailCall("CoCreateInstance", E_OUTOFMEMORY, 2);
    auto capture = Create();
    dshow::ClearCallLog();
    capture.reset();
    EXPECT_EQ(dshow::CallCount("IMediaControl::Stop"), 0);
    EXPECT_EQ(dshow::CallCount("ISampleGrabber::SetCallback"), 0);
}

TEST_F(TeardownTest, ThrowingPlatformCallsDoNotStopTheTeardown) {
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    dshow::ThrowInCall("IMediaControl::Stop");
    dshow::ThrowInCall("ISampleGrabber::SetCallback");
    EXPECT_NO_THROW(capture.reset());
    EXPECT_EQ(dshow::CallCount("IMediaControl::StopWhenReady"), 1);
}

TEST_F(TeardownTest, FailingStopStatusesAreIgnored) {
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(""), S_OK);
    dshow::FailCall("IBaseFilter::EnumPins", E_FAIL);
    dshow::FailCall("ISampleGrabber::SetCallback", E_FAIL);
    capture.reset();
    EXPECT_EQ(dshow::CallCount("IFilterGraph::RemoveFilter"), 0);
}

}  // namespace
