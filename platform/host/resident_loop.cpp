// The resident program's signals on Linux, from signals: SIGTERM and SIGINT ask it to end (its
// stop request; StopSessionInstance sends SIGTERM), SIGHUP is the end of the session, SIGUSR1 a
// device arrival and SIGUSR2 the resume from sleep (the host has no camera notifications of its
// own; a test or a udev rule may send them), SIGCHLD the end of a child. They stay blocked and are
// taken with sigtimedwait, so the wait sleeps and nothing runs inside a signal handler.
#include "platform/resident_loop.h"

#include <signal.h>

#include <cerrno>
#include <ctime>

#include "platform/host/child_process_native.h"

struct ResidentLoop::Impl {
    Handler handler;
    sigset_t signals;
    sigset_t previousMask;
    ~Impl() { pthread_sigmask(SIG_SETMASK, &previousMask, nullptr); }
};

ResidentLoop::ResidentLoop(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ResidentLoop::~ResidentLoop() = default;

std::unique_ptr<ResidentLoop> ResidentLoop::Create(const std::string&, const std::string&,
                                                   Handler handler, std::string& errorText) {
    auto impl = std::make_unique<Impl>();
    impl->handler = std::move(handler);
    sigemptyset(&impl->signals);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2, SIGCHLD}) {
        sigaddset(&impl->signals, signal);
    }
    if (int error = pthread_sigmask(SIG_BLOCK, &impl->signals, &impl->previousMask); error != 0) {
        errorText = "cannot block the signals";
        return nullptr;
    }
    return std::unique_ptr<ResidentLoop>(new ResidentLoop(std::move(impl)));
}

void ResidentLoop::Wait(std::optional<std::uint32_t> timeoutMs, ChildProcess* child) {
    // A child that ended before the wait left its SIGCHLD pending, so the wait returns at once.
    (void)child;
    siginfo_t info{};
    int signal = -1;
    if (timeoutMs) {
        timespec timeout{static_cast<time_t>(*timeoutMs / 1000),
                         static_cast<long>(*timeoutMs % 1000) * 1'000'000L};
        signal = sigtimedwait(&impl_->signals, &info, &timeout);
    } else {
        signal = sigwaitinfo(&impl_->signals, &info);
    }
    if (signal < 0) return;  // time is up, or an interruption: the caller looks again
    const Handler handler = impl_->handler;
    if (!handler) return;
    switch (signal) {
        case SIGTERM:
        case SIGINT:
            handler(ResidentSignal::StopRequested);
            break;
        case SIGHUP:
            handler(ResidentSignal::SessionEnding);
            break;
        case SIGUSR1:
            handler(ResidentSignal::DeviceArrived);
            break;
        case SIGUSR2:
            handler(ResidentSignal::Resumed);
            break;
        default:
            break;  // SIGCHLD: the caller asks the child
    }
}
