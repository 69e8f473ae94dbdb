// One instance per session on Windows: a named mutex that the instance owns while it runs.
#include "platform/session_instance.h"

#include "platform/win32/owned_handle.h"
#include "platform/win32/system_error_text.h"

struct SessionInstance::Impl {
    win32::OwnedHandle mutex;
    ~Impl() {
        if (mutex) ReleaseMutex(mutex.Get());
    }
};

SessionInstance::SessionInstance(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SessionInstance::~SessionInstance() = default;

std::unique_ptr<SessionInstance> SessionInstance::TryClaim(const std::string& name, Claim& result,
                                                           std::string& errorText) {
    // Owned from the start, so that a stopping request can wait for its release.
    SetLastError(ERROR_SUCCESS);
    win32::OwnedHandle mutex(CreateMutexW(nullptr, TRUE, win32::Wide(name).c_str()));
    const DWORD error = GetLastError();
    if (!mutex) {
        result = Claim::Failed;
        errorText = win32::SystemErrorText(error);
        return nullptr;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        // The existing mutex was opened, not owned.
        result = Claim::AlreadyRunning;
        return nullptr;
    }
    result = Claim::Claimed;
    auto impl = std::make_unique<Impl>();
    impl->mutex = std::move(mutex);
    return std::unique_ptr<SessionInstance>(new SessionInstance(std::move(impl)));
}

StopOutcome StopSessionInstance(const std::string& name, const std::string& stopEventName,
                                const std::string& windowClass, std::uint32_t timeoutMs) {
    win32::OwnedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, win32::Wide(name).c_str()));
    if (!mutex) return StopOutcome::NoneRunning;
    win32::OwnedHandle stopEvent(
        OpenEventW(EVENT_MODIFY_STATE, FALSE, win32::Wide(stopEventName).c_str()));
    if (stopEvent) {
        SetEvent(stopEvent.Get());
    } else if (HWND window = FindWindowW(win32::Wide(windowClass).c_str(), nullptr)) {
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    const DWORD result = WaitForSingleObject(mutex.Get(), timeoutMs);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
        ReleaseMutex(mutex.Get());
        return StopOutcome::Ended;
    }
    return StopOutcome::StillRunning;
}
