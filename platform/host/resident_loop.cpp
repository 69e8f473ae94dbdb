// The resident program's signals on Linux, from signals: SIGTERM and SIGINT ask it to end (its
// stop request; StopSessionInstance sends SIGTERM), SIGHUP is the end of the session, SIGUSR1 a
// device arrival and SIGUSR2 the resume from sleep (the host has no camera notifications of its
// own; a test or a udev rule may send them). They stay blocked and are
// read from a signalfd, so the wait sleeps and nothing runs inside a signal handler. Beside them,
// inotify watches the folder of the host capture runtime's camera-use records, whose changes are
// what the registry's change notifications are on Windows.
#include "platform/resident_loop.h"

#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/host/dshow/camera_use_file.h"
#include "platform/host/dshow/test_controls.h"

namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

// The records file's folder and name: the folder is watched, because the file need not exist yet.
struct RecordsLocation {
    std::string folder;
    std::string name;
};

RecordsLocation LocateRecords() {
    const std::string devicesFile = host::dshow::SharedDevicesFilePath();
    if (devicesFile.empty()) return {};
    const std::string path = host::dshow::CameraUseFilePath(devicesFile);
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

}  // namespace

struct ResidentLoop::Impl {
    Handler handler;
    sigset_t signals;
    sigset_t previousMask;
    std::unique_ptr<FileDescriptor> signalFd;
    std::unique_ptr<FileDescriptor> recordsWatch;  // inotify; none when there are no records
    std::string recordsName;
    ~Impl() { pthread_sigmask(SIG_SETMASK, &previousMask, nullptr); }

    // Whether the pending inotify events name the records file; reads them all.
    bool RecordsChanged() const {
        alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
        const ssize_t length = ::read(recordsWatch->Get(), buffer, sizeof buffer);
        bool changed = false;
        for (ssize_t offset = 0; offset < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
            if (event->len > 0 && recordsName == event->name) changed = true;
            offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
        return changed;
    }
};

ResidentLoop::ResidentLoop(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ResidentLoop::~ResidentLoop() = default;

std::unique_ptr<ResidentLoop> ResidentLoop::Create(const std::string&, const std::string&,
                                                   Handler handler, std::string& errorText) {
    auto impl = std::make_unique<Impl>();
    impl->handler = std::move(handler);
    sigemptyset(&impl->signals);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2}) {
        sigaddset(&impl->signals, signal);
    }
    if (int error = pthread_sigmask(SIG_BLOCK, &impl->signals, &impl->previousMask); error != 0) {
        errorText = "cannot block the signals";
        return nullptr;
    }
    impl->signalFd = std::make_unique<FileDescriptor>(
        ::signalfd(-1, &impl->signals, SFD_CLOEXEC | SFD_NONBLOCK));
    if (impl->signalFd->Get() < 0) {
        errorText = std::string("cannot read the signals: ") + std::strerror(errno);
        return nullptr;
    }
    // Without the watch the keeper still works, it only hears of the camera's use later.
    const RecordsLocation records = LocateRecords();
    if (!records.name.empty()) {
        auto watch = std::make_unique<FileDescriptor>(::inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
        if (watch->Get() >= 0 &&
            ::inotify_add_watch(watch->Get(), records.folder.c_str(),
                                IN_CLOSE_WRITE | IN_MOVED_TO | IN_DELETE) >= 0) {
            impl->recordsWatch = std::move(watch);
            impl->recordsName = records.name;
        }
    }
    return std::unique_ptr<ResidentLoop>(new ResidentLoop(std::move(impl)));
}

void ResidentLoop::Wait(std::optional<std::uint32_t> timeoutMs) {
    pollfd watched[2] = {{impl_->signalFd->Get(), POLLIN, 0}, {-1, POLLIN, 0}};
    if (impl_->recordsWatch) watched[1].fd = impl_->recordsWatch->Get();
    const int timeout =
        timeoutMs ? static_cast<int>(std::min<std::uint32_t>(*timeoutMs, INT_MAX)) : -1;
    if (::poll(watched, 2, timeout) <= 0) return;  // time is up, or an interruption
    const Handler handler = impl_->handler;
    if ((watched[0].revents & POLLIN) == 0) {
        if ((watched[1].revents & POLLIN) != 0 && impl_->RecordsChanged() && handler) {
            handler(ResidentSignal::CameraUseChanged);
        }
        return;
    }
    signalfd_siginfo info{};
    if (::read(impl_->signalFd->Get(), &info, sizeof info) != sizeof info || !handler) return;
    switch (static_cast<int>(info.ssi_signo)) {
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
            break;
    }
}
