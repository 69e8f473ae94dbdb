// Every platform call of a run (open, read the format, read and set a camera control, a
// video-processing control and the power-line frequency, close) made to
// fail with a status and then to raise, one call at a time, and every call of the frame
// callback object likewise: nothing crashes or hangs, everything is released, and each
// operation answers as the capture graph's rules say.
#include <array>
#include <map>
#include <set>
#include <stdexcept>
#include <utility>

#include "capture_fixture.h"
#include "recording_window.h"

namespace {

constexpr HRESULT kInjected = MakeHostStatus(0x80070052);
constexpr char kCameraName[] = "Host Virtual Camera";

// The operations of a run, in the order in which the video image makes them.
enum class Phase {
    Create,
    Start,
    ReadFormat,
    GetControl,
    SetControl,
    GetProcAmp,
    SetProcAmp,
    GetPowerLine,
    SetPowerLine,
    Destroy
};
constexpr std::size_t kPhases = 10;
constexpr std::array<const char*, kPhases> kPhaseNames = {
    "create",          "start",           "read format",    "get control",    "set control",
    "get video proc.", "set video proc.", "get power line", "set power line", "destroy"};

constexpr PictureControl kBrightness = *PictureControlByKey("brightness");
constexpr PictureControl kPowerLine = *PictureControlByKey("powerlinefrequency");

// What an injected fault does to the operation in which it happens.
enum class Effect {
    Returned,         // the operation returns the injected status
    Ignored,          // the operation answers as in a run without the fault
    MinusOne,         // the raised exception becomes status -1
    EFail,            // the operation fails with E_FAIL
    Raised,           // the exception reaches the caller (the video image makes it -1)
    NoCameraControl,  // the operation succeeds, and the controls answer 1 from then on
    NoProcAmp,        // the operation succeeds, the video-processing controls answer S_FALSE
    NoPowerLine,      // the operation succeeds, the power-line frequency answers S_FALSE
};

struct Rule {
    Phase phase;
    // "Interface::Method(detail)" or, for every detail, "Interface::Method".
    const char* call;
    Effect onStatus;
    Effect onRaise;
    // The graph does not run again, so no frame reaches the main window afterwards.
    bool stopsFrames = false;
};

// The calls that the platform makes on the main thread, phase by phase. A call of a run that
// finds no rule here fails the sweep, so a new platform call has to be classified.
const Rule kRules[] = {
    // TVideoSample's construction: the first failing step's status, -1 for an exception.
    {Phase::Create, "CoCreateInstance", Effect::Returned, Effect::MinusOne},
    {Phase::Create, "IUnknown::QueryInterface(ISampleGrabber)", Effect::Returned, Effect::MinusOne},
    {Phase::Create, "ISampleGrabber::SetBufferSamples", Effect::Ignored, Effect::MinusOne},
    {Phase::Create, "ISampleGrabber::SetCallback", Effect::Ignored, Effect::MinusOne},
    {Phase::Create, "IUnknown::QueryInterface(IMediaControl)", Effect::Returned, Effect::MinusOne},
    {Phase::Create, "IUnknown::QueryInterface(IVideoWindow)", Effect::Returned, Effect::MinusOne},
    {Phase::Create, "IUnknown::QueryInterface(IMediaEventEx)", Effect::Returned, Effect::MinusOne},
    {Phase::Create, "IMediaEventEx::SetNotifyWindow", Effect::Returned, Effect::MinusOne},
    // StartCapture: the first failure; an exception in the device search is E_FAIL, one in
    // RenderStream -1, others reach the caller.
    {Phase::Start, "ICaptureGraphBuilder2::SetFiltergraph", Effect::Returned, Effect::Raised},
    {Phase::Start, "CoCreateInstance", Effect::Returned, Effect::Raised},
    {Phase::Start, "ICreateDevEnum::CreateClassEnumerator", Effect::Returned, Effect::Raised},
    {Phase::Start, "IEnumMoniker::Next", Effect::Returned, Effect::EFail},
    {Phase::Start, "IMoniker::BindToStorage", Effect::Returned, Effect::EFail},
    {Phase::Start, "IPropertyBag::Read", Effect::Returned, Effect::EFail},
    // A name that cannot be converted matches nothing: the devices run out.
    {Phase::Start, "WideCharToMultiByte", Effect::EFail, Effect::EFail},
    {Phase::Start, "IMoniker::BindToObject", Effect::Returned, Effect::EFail},
    {Phase::Start, "IUnknown::QueryInterface(IAMCameraControl)", Effect::NoCameraControl,
     Effect::Raised},
    // The interfaces of the further picture controls only add controls: without them the
    // stream starts as before and those controls answer S_FALSE.
    {Phase::Start, "IUnknown::QueryInterface(IAMVideoProcAmp)", Effect::NoProcAmp,
     Effect::NoProcAmp},
    {Phase::Start, "IUnknown::QueryInterface(IKsPropertySet)", Effect::NoPowerLine,
     Effect::NoPowerLine},
    {Phase::Start, "IKsPropertySet::QuerySupported", Effect::NoPowerLine, Effect::NoPowerLine},
    {Phase::Start, "IFilterGraph::AddFilter", Effect::Returned, Effect::Raised},
    {Phase::Start, "ICaptureGraphBuilder2::RenderStream", Effect::Returned, Effect::MinusOne},
    {Phase::Start, "IMediaControl::Run", Effect::Returned, Effect::Raised},
    // ReadCurrentFormat: stopping and restarting are ignored; the stream runs again on every
    // way out.
    {Phase::ReadFormat, "IMediaControl::Stop", Effect::Ignored, Effect::Ignored},
    {Phase::ReadFormat, "IMediaFilter::Stop", Effect::Ignored, Effect::Ignored},
    {Phase::ReadFormat, "ICaptureGraphBuilder2::FindInterface", Effect::Returned, Effect::Raised},
    {Phase::ReadFormat, "IAMStreamConfig::GetFormat", Effect::Returned, Effect::Raised},
    {Phase::ReadFormat, "IMediaFilter::Run", Effect::Ignored, Effect::Ignored},
    {Phase::ReadFormat, "IMediaControl::Run", Effect::Ignored, Effect::Ignored, true},
    // The camera controls: the platform's status unchanged.
    {Phase::GetControl, "IAMCameraControl::GetRange", Effect::Returned, Effect::Raised},
    {Phase::GetControl, "IAMCameraControl::Get", Effect::Returned, Effect::Raised},
    {Phase::SetControl, "IAMCameraControl::Set", Effect::Returned, Effect::Raised},
    // The video-processing controls and the power-line frequency likewise.
    {Phase::GetProcAmp, "IAMVideoProcAmp::GetRange", Effect::Returned, Effect::Raised},
    {Phase::GetProcAmp, "IAMVideoProcAmp::Get", Effect::Returned, Effect::Raised},
    {Phase::SetProcAmp, "IAMVideoProcAmp::Set", Effect::Returned, Effect::Raised},
    {Phase::GetPowerLine, "IKsPropertySet::Get", Effect::Returned, Effect::Raised},
    {Phase::SetPowerLine, "IKsPropertySet::Set", Effect::Returned, Effect::Raised},
    // Destroy ignores every status and goes on past every exception.
    {Phase::Destroy, "IMediaControl::Stop", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "IMediaFilter::Stop", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "IBaseFilter::EnumPins", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "IEnumPins::Next", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "IPin::ConnectedTo", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "IPin::QueryPinInfo", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "IFilterGraph::Disconnect", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "IFilterGraph::RemoveFilter", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "ISampleGrabber::SetCallback", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "IMediaControl::StopWhenReady", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "IMediaEventEx::SetNotifyWindow", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "IVideoWindow::put_Visible", Effect::Ignored, Effect::Ignored},
    {Phase::Destroy, "IVideoWindow::put_Owner", Effect::Ignored, Effect::Ignored},
};

// The rule for a logged call: the one naming its detail, else the one for the call as a whole.
const Rule* RuleFor(Phase phase, const std::string& entry) {
    std::string call = entry.substr(0, entry.find('('));
    const Rule* general = nullptr;
    for (const Rule& rule : kRules) {
        if (rule.phase != phase) continue;
        if (entry == rule.call) return &rule;
        if (call == rule.call) general = &rule;
    }
    return general;
}

// One operation's answer: a status, or an exception that reached the caller.
struct Outcome {
    bool ran = false;
    bool raised = false;
    HRESULT status = S_OK;

    bool operator==(const Outcome& other) const {
        return ran == other.ran && raised == other.raised && status == other.status;
    }
};

template <class Operation>
Outcome Call(Operation operation) {
    Outcome outcome;
    outcome.ran = true;
    try {
        outcome.status = operation();
    } catch (const std::runtime_error&) {
        outcome.raised = true;
    }
    return outcome;
}

struct RunResult {
    std::array<Outcome, kPhases> outcomes;  // by Phase; Destroy has none
    std::int32_t width = -1;
    std::int32_t height = -1;
    std::uint32_t compression = 1;
    bool streamsAfterRead = false;
    bool framesAfterRead = false;
    std::vector<std::string> log;
    std::array<std::size_t, kPhases> phaseEnds{};  // log size when each phase ended

    const Outcome& operator[](Phase phase) const {
        return outcomes[static_cast<std::size_t>(phase)];
    }
    Phase PhaseOf(std::size_t logIndex) const {
        std::size_t phase = 0;
        while (phase + 1 < phaseEnds.size() && logIndex >= phaseEnds[phase]) ++phase;
        return static_cast<Phase>(phase);
    }
};

class FailureSweepTest : public CaptureTest {
  protected:
    // Without a preview pin, rendering puts a Smart Tee between the device and the grabber,
    // and teardown has one more filter to take out.
    static void FreshDevices(bool previewPin = true) {
        dshow::ResetRuntime();
        dshow::DeviceConfig device = Camera(L"Host Virtual Camera");
        device.previewPin = previewPin;
        dshow::UseDevices({device});
    }

    // The run that the video image makes: after a failed start or format reading it goes
    // straight to Destroy. `mainWindow`: frames without a callback go to a main window, which
    // then has to be served between the steps; `awaitFrame`: one of them must arrive after
    // the format was read.
    static RunResult RunOnce(bool mainWindow, bool awaitFrame) {
        RunResult run;
        auto mark = [&](Phase phase) {
            run.phaseEnds[static_cast<std::size_t>(phase)] = dshow::CallLog().size();
        };
        auto outcome = [&](Phase phase) -> Outcome& {
            return run.outcomes[static_cast<std::size_t>(phase)];
        };
        RecordingWindow window;
        HRESULT created = E_UNEXPECTED;
        auto capture =
            std::make_unique<TVideoSample>(mainWindow ? window.Handle() : WindowHandle{}, created);
        outcome(Phase::Create) = Outcome{true, false, created};
        mark(Phase::Create);

        outcome(Phase::Start) = Call([&] { return capture->StartCapture(kCameraName); });
        mark(Phase::Start);
        if (!outcome(Phase::Start).raised && SUCCEEDED(outcome(Phase::Start).status)) {
            outcome(Phase::ReadFormat) = Call(
                [&] { return capture->ReadCurrentFormat(run.width, run.height, run.compression); });
            run.streamsAfterRead = dshow::RunningStreams() == 1;
            if (awaitFrame) {
                std::size_t before = window.Count();
                run.framesAfterRead = PumpUntil([&] { return window.Count() > before; });
            }
        }
        mark(Phase::ReadFormat);

        const Outcome& read = outcome(Phase::ReadFormat);
        std::atomic<int> frames{0};
        if (read.ran && !read.raised && SUCCEEDED(read.status)) {
            capture->SetFrameCallback(
                [](void* data, std::uint8_t*, std::int32_t&) {
                    static_cast<std::atomic<int>*>(data)->fetch_add(1);
                },
                &frames);
            std::int32_t min = 0, max = 0, step = 0, defaultValue = 0, flags = 0, value = 0;
            outcome(Phase::GetControl) = Call([&] {
                return capture->GetCameraSetting(CameraControl_Zoom, min, max, step, defaultValue,
                                                 flags, value);
            });
            mark(Phase::GetControl);
            outcome(Phase::SetControl) = Call([&] {
                return capture->SetCameraSetting(CameraControl_Zoom, 200,
                                                 CameraControl_Flags_Manual);
            });
            mark(Phase::SetControl);
            PictureControlState state;
            outcome(Phase::GetProcAmp) =
                Call([&] { return capture->GetPictureSetting(kBrightness, state); });
            mark(Phase::GetProcAmp);
            outcome(Phase::SetProcAmp) = Call([&] {
                return capture->SetPictureSetting(kBrightness, 10, kCameraControlFlagsManual);
            });
            mark(Phase::SetProcAmp);
            outcome(Phase::GetPowerLine) =
                Call([&] { return capture->GetPictureSetting(kPowerLine, state); });
            mark(Phase::GetPowerLine);
            outcome(Phase::SetPowerLine) = Call([&] {
                return capture->SetPictureSetting(kPowerLine, 2, kCameraControlFlagsManual);
            });
            mark(Phase::SetPowerLine);
        } else {
            for (Phase phase : {Phase::GetControl, Phase::SetControl, Phase::GetProcAmp,
                                Phase::SetProcAmp, Phase::GetPowerLine, Phase::SetPowerLine}) {
                mark(phase);
            }
        }
        // A frame may wait for the main window while the graph stops.
        if (mainWindow) {
            PumpUntil([] { return host::MessageQueue::Instance().PendingCount() == 0; });
        }
        capture.reset();
        mark(Phase::Destroy);
        PumpUntil([] { return host::MessageQueue::Instance().PendingCount() == 0; });
        run.log = dshow::CallLog();
        return run;
    }

    // Checks the faulty run against the rule for the phase in which the fault happened.
    static void ExpectEffect(const Rule& rule, Effect effect, const RunResult& clean,
                             const RunResult& run) {
        const Outcome& got = run[rule.phase];
        switch (effect) {
            case Effect::Returned:
                EXPECT_EQ(got, (Outcome{true, false, kInjected}));
                break;
            case Effect::Ignored:
                EXPECT_EQ(got, clean[rule.phase]);
                break;
            case Effect::MinusOne:
                EXPECT_EQ(got, (Outcome{true, false, -1}));
                break;
            case Effect::EFail:
                EXPECT_EQ(got, (Outcome{true, false, E_FAIL}));
                break;
            case Effect::Raised:
                EXPECT_TRUE(got.ran && got.raised);
                break;
            case Effect::NoCameraControl:
                EXPECT_EQ(got, clean[rule.phase]);
                EXPECT_EQ(run[Phase::GetControl], (Outcome{true, false, S_FALSE}));
                EXPECT_EQ(run[Phase::SetControl], (Outcome{true, false, S_FALSE}));
                break;
            case Effect::NoProcAmp:
                EXPECT_EQ(got, clean[rule.phase]);
                EXPECT_EQ(run[Phase::GetProcAmp], (Outcome{true, false, S_FALSE}));
                EXPECT_EQ(run[Phase::SetProcAmp], (Outcome{true, false, S_FALSE}));
                EXPECT_EQ(run[Phase::GetPowerLine], clean[Phase::GetPowerLine]);
                break;
            case Effect::NoPowerLine:
                EXPECT_EQ(got, clean[rule.phase]);
                EXPECT_EQ(run[Phase::GetProcAmp], clean[Phase::GetProcAmp]);
                EXPECT_EQ(run[Phase::GetPowerLine], (Outcome{true, false, S_FALSE}));
                EXPECT_EQ(run[Phase::SetPowerLine], (Outcome{true, false, S_FALSE}));
                break;
        }
        if (rule.phase != Phase::ReadFormat) return;
        if (effect == Effect::Ignored) {
            EXPECT_EQ(run.width, clean.width);
            EXPECT_EQ(run.height, clean.height);
            EXPECT_EQ(run.compression, clean.compression);
        } else {
            EXPECT_EQ(run.width, 0);
            EXPECT_EQ(run.height, 0);
            EXPECT_EQ(run.compression, 0u);
        }
        // On every way out the stream runs again and frames take the main-window path.
        EXPECT_TRUE(run.streamsAfterRead);
        if (!rule.stopsFrames) {
            EXPECT_TRUE(run.framesAfterRead);
        }
    }

    static void ExpectAllReleased() {
        EXPECT_EQ(dshow::LiveObjects(), 0);
        EXPECT_EQ(TSampleGrabberCB::LiveInstances(), 0);
        EXPECT_EQ(dshow::RunningStreams(), 0);
    }
};

TEST_F(FailureSweepTest, EveryCallOfARunFailsAndRaisesInTurn) {
    std::set<const Rule*> used;
    int calls = 0;
    int cases = 0;
    for (bool previewPin : {true, false}) {
        SCOPED_TRACE(previewPin ? "device with a preview pin" : "device without a preview pin");
        FreshDevices(previewPin);
        const RunResult clean = RunOnce(false, false);
        ASSERT_EQ(clean[Phase::Create], (Outcome{true, false, S_OK}));
        ASSERT_EQ(clean[Phase::Start], (Outcome{true, false, S_OK}));
        ASSERT_EQ(clean[Phase::ReadFormat], (Outcome{true, false, S_OK}));
        ASSERT_EQ(clean[Phase::GetControl], (Outcome{true, false, S_OK}));
        ASSERT_EQ(clean[Phase::SetControl], (Outcome{true, false, S_OK}));
        ASSERT_EQ(clean[Phase::GetProcAmp], (Outcome{true, false, S_OK}));
        ASSERT_EQ(clean[Phase::SetProcAmp], (Outcome{true, false, S_OK}));
        ASSERT_EQ(clean[Phase::GetPowerLine], (Outcome{true, false, S_OK}));
        ASSERT_EQ(clean[Phase::SetPowerLine], (Outcome{true, false, S_OK}));
        ASSERT_EQ(clean.width, 640);

        std::map<std::string, int> seen;  // occurrences of each entry so far
        for (std::size_t i = 0; i < clean.log.size(); ++i) {
            const std::string& entry = clean.log[i];
            const int occurrence = seen[entry]++;
            const Phase phase = clean.PhaseOf(i);
            const Rule* rule = RuleFor(phase, entry);
            ASSERT_NE(rule, nullptr) << "no rule for " << entry << " in "
                                     << kPhaseNames[static_cast<std::size_t>(phase)];
            used.insert(rule);
            ++calls;
            for (bool raise : {false, true}) {
                SCOPED_TRACE(entry + " #" + std::to_string(occurrence + 1) + " in " +
                             kPhaseNames[static_cast<std::size_t>(phase)] +
                             (raise ? ", raising" : ", failing"));
                FreshDevices(previewPin);
                if (raise) {
                    dshow::ThrowInCall(entry, occurrence);
                } else {
                    dshow::FailCall(entry, kInjected, occurrence);
                }
                const bool reading = phase == Phase::ReadFormat;
                RunResult run = RunOnce(reading, reading && !rule->stopsFrames);
                EXPECT_GT(dshow::CallCount(entry), occurrence) << "the fault never happened";
                ExpectEffect(*rule, raise ? rule->onRaise : rule->onStatus, clean, run);
                ExpectAllReleased();
                ++cases;
            }
        }
    }
    RecordProperty("calls", calls);
    RecordProperty("cases", cases);
    // A rule that no call of the runs needs describes a call that is no longer made.
    for (const Rule& rule : kRules) {
        EXPECT_TRUE(used.count(&rule)) << "unused rule: " << rule.call << " in "
                                       << kPhaseNames[static_cast<std::size_t>(rule.phase)];
    }
}

// The frame callback object's calls, each failing and raising while a frame is handed over:
// the frame is dropped, nothing reaches the platform's thread, the next frame goes through.
TEST_F(FailureSweepTest, EveryCallOfTheFrameCallbackObjectFailsAndRaises) {
    enum class Entry { Sample, Buffer };
    enum class Path { Callback, MainWindow };
    struct FrameRule {
        const char* call;  // none: the installed frame callback itself raises
        Entry entry;
        Path path;
    } rules[] = {
        {"IMediaSample::GetSize", Entry::Sample, Path::Callback},
        {"IMediaSample::GetSize", Entry::Sample, Path::MainWindow},
        {"IMediaSample::GetPointer", Entry::Sample, Path::Callback},
        {"IMediaSample::GetPointer", Entry::Sample, Path::MainWindow},
        {"SendMessageTimeoutA", Entry::Sample, Path::MainWindow},
        {"SendMessageTimeoutA", Entry::Buffer, Path::MainWindow},
        {nullptr, Entry::Sample, Path::Callback},
        {nullptr, Entry::Buffer, Path::Callback},
    };
    struct Receiver {
        int frames = 0;
        bool raise = false;
    };
    int cases = 0;
    for (const FrameRule& rule : rules) {
        for (bool raise : {false, true}) {
            if (!rule.call && !raise) continue;
            SCOPED_TRACE(std::string(rule.call ? rule.call : "frame callback") +
                         (rule.entry == Entry::Sample ? " in SampleCB" : " in BufferCB") +
                         (rule.path == Path::Callback ? " to the callback" : " to the window") +
                         (raise ? ", raising" : ", failing"));
            FreshDevices();
            RecordingWindow window;
            ComPtr<TSampleGrabberCBInt> callbackObject(
                new TSampleGrabberCB(static_cast<HWND>(window.Handle())));
            Receiver receiver;
            if (rule.path == Path::Callback) {
                static_cast<TSampleGrabberCB*>(callbackObject.Get())
                    ->Impl()
                    .Install(
                        [](void* data, std::uint8_t*, std::int32_t&) {
                            auto* r = static_cast<Receiver*>(data);
                            if (std::exchange(r->raise, false)) throw std::runtime_error("frame");
                            ++r->frames;
                        },
                        &receiver);
            }
            ComPtr<IMediaSample> sample;
            sample.Attach(dshow::NewMediaSample(64));
            BYTE* bytes = nullptr;
            ASSERT_EQ(sample->GetPointer(&bytes), S_OK);
            auto handOver = [&] {
                return rule.entry == Entry::Sample ? callbackObject->SampleCB(0.0, sample.Get())
                                                   : callbackObject->BufferCB(0.0, bytes, 64);
            };
            auto received = [&] {
                return rule.path == Path::Callback ? static_cast<std::size_t>(receiver.frames)
                                                   : window.Count();
            };

            if (!rule.call) {
                receiver.raise = true;
            } else if (raise) {
                dshow::ThrowInCall(rule.call);
            } else {
                dshow::FailCall(rule.call, kInjected);
            }
            HRESULT status = E_UNEXPECTED;
            EXPECT_NO_THROW(status = handOver());
            EXPECT_EQ(status, S_OK);
            EXPECT_EQ(received(), 0u);
            EXPECT_EQ(handOver(), S_OK);
            EXPECT_EQ(received(), 1u);
            ++cases;
        }
    }
    RecordProperty("cases", cases);
}

// On a running graph: an exception from the media sample ends the frame, not the process.
TEST_F(FailureSweepTest, MediaSampleExceptionsStayOffTheStreamingThread) {
    auto capture = Create();
    ASSERT_EQ(capture->StartCapture(kCameraName), S_OK);
    std::atomic<int> frames{0};
    capture->SetFrameCallback(
        [](void* data, std::uint8_t*, std::int32_t&) {
            static_cast<std::atomic<int>*>(data)->fetch_add(1);
        },
        &frames);
    for (const char* call : {"IMediaSample::GetSize", "IMediaSample::GetPointer"}) {
        SCOPED_TRACE(call);
        const int calls = dshow::CallCount(call);
        dshow::ThrowInCall(call, 0, 3);
        ASSERT_TRUE(PumpUntil([&] { return dshow::CallCount(call) >= calls + 3; }));
        const int before = frames.load();
        EXPECT_TRUE(PumpUntil([&] { return frames.load() >= before + 2; }));
    }
    capture.reset();
}

}  // namespace
