// The resident program's signals on Windows: a hidden top-level window (message-only windows get
// no broadcasts such as WM_ENDSESSION and WM_POWERBROADCAST) registered for camera device
// interfaces, the session's named stop event, and registry change notifications on the
// camera-use records of HKCU and HKLM, waited on together with the window's messages, so that
// waiting costs nothing.
#include "platform/resident_loop.h"

#include <array>
#include <optional>
#include <vector>

// clang-format off
#include "platform/win32/camera_use_store.h"
#include "platform/win32/owned_handle.h"
#include "platform/win32/registry_key.h"
#include "platform/win32/system_error_text.h"
#include "platform/win32/window_class.h"
#include <dbt.h>
// clang-format on

namespace {

// Device interface classes of video capture devices (ks.h / ksmedia.h values; named here so the
// kernel-streaming headers need not be pulled in): KSCATEGORY_VIDEO_CAMERA for cameras of the
// newer stack, KSCATEGORY_CAPTURE and KSCATEGORY_VIDEO for the DirectShow-visible capture
// devices. A camera announces itself in several of them: the keeper settles bursts anyway.
constexpr std::array<GUID, 3> kCameraInterfaceClasses = {{
    {0xE5323777, 0xF976, 0x4F5B, {0x9B, 0x55, 0xB9, 0x46, 0x99, 0xC4, 0x6E, 0x44}},
    {0x65E8773D, 0x8F56, 0x11D0, {0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}},
    {0x6994AD05, 0x93EF, 0x11D0, {0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96}},
}};

// One tree of the camera-use records, watched for any change below it. The tree may not exist yet
// (Wine, Windows before 1903, a user whose programs never used a camera): it is looked for again
// at every wait, which costs one failed open, and is watched from when it appears. Nothing here
// creates a key: the records are the platform's.
class CameraUseWatch {
  public:
    explicit CameraUseWatch(HKEY root)
        : root_(root), changed_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

    // The event to wait on, armed; null while the tree does not exist. True in `appeared` when
    // the tree has just been found (after the first look), which is itself a change.
    HANDLE Arm(bool& appeared) {
        appeared = false;
        if (!changed_) return nullptr;
        if (!key_) {
            key_ = win32::RegistryKey::Open(root_, win32::kCameraUseStore, KEY_NOTIFY | KEY_READ);
            if (!key_) {
                looked_ = true;
                return nullptr;
            }
            appeared = looked_;
            looked_ = true;
            armed_ = false;
        }
        if (!armed_) {
            const DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
            if (RegNotifyChangeKeyValue(key_.Get(), TRUE, filter, changed_.Get(), TRUE) !=
                ERROR_SUCCESS) {
                key_.Reset();  // deleted meanwhile: looked for again next time
                return nullptr;
            }
            armed_ = true;
        }
        return changed_.Get();
    }

    // The event fired: the notification is spent and is asked for again at the next wait.
    void Fired() { armed_ = false; }

  private:
    HKEY root_;
    win32::OwnedHandle changed_;  // auto-reset
    win32::RegistryKey key_;
    bool armed_ = false;
    bool looked_ = false;
};

}  // namespace

struct ResidentLoop::Impl {
    Handler handler;
    std::optional<win32::WindowClass> windowClass;
    HWND window = nullptr;
    win32::OwnedHandle stopEvent;
    std::vector<HDEVNOTIFY> notifications;
    std::array<CameraUseWatch, 2> cameraUse{CameraUseWatch(HKEY_CURRENT_USER),
                                            CameraUseWatch(HKEY_LOCAL_MACHINE)};

    ~Impl() {
        for (HDEVNOTIFY notification : notifications) UnregisterDeviceNotification(notification);
        if (window != nullptr) DestroyWindow(window);
        // The class goes with the members, after its window.
    }

    void Signal(ResidentSignal signal) {
        // Copied: the handler may end the loop.
        const Handler copy = handler;
        if (copy) copy(signal);
    }
};

namespace {

bool IsDeviceInterface(LPARAM lParam) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    return header != nullptr && header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE;
}

LRESULT CALLBACK ResidentProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* impl = reinterpret_cast<ResidentLoop::Impl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (impl == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    switch (message) {
        case WM_DEVICECHANGE:
            if (wParam == DBT_DEVICEARRIVAL && IsDeviceInterface(lParam)) {
                impl->Signal(ResidentSignal::DeviceArrived);
            } else if (wParam == DBT_DEVICEREMOVECOMPLETE && IsDeviceInterface(lParam)) {
                impl->Signal(ResidentSignal::DeviceRemoved);
            }
            return TRUE;
        case WM_POWERBROADCAST:
            if (wParam == PBT_APMRESUMEAUTOMATIC) impl->Signal(ResidentSignal::Resumed);
            return TRUE;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The process may be ended as soon as this returns: the handler finishes first.
            if (wParam) impl->Signal(ResidentSignal::SessionEnding);
            return 0;
        case WM_CLOSE:
            impl->Signal(ResidentSignal::StopRequested);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

ResidentLoop::ResidentLoop(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ResidentLoop::~ResidentLoop() = default;

std::unique_ptr<ResidentLoop> ResidentLoop::Create(const std::string& windowClass,
                                                   const std::string& stopEventName,
                                                   Handler handler, std::string& errorText) {
    auto impl = std::make_unique<Impl>();
    impl->handler = std::move(handler);

    // Auto-reset: one stop request wakes one wait.
    impl->stopEvent =
        win32::OwnedHandle(CreateEventW(nullptr, FALSE, FALSE, win32::Wide(stopEventName).c_str()));
    if (!impl->stopEvent) {
        errorText = "cannot create the stop event: " + win32::SystemErrorText(GetLastError());
        return nullptr;
    }

    const win32::WindowClass& registered =
        impl->windowClass.emplace(windowClass, ResidentProcedure);
    if (!registered.Registered()) {
        errorText =
            "cannot register the window class: " + win32::SystemErrorText(registered.Error());
        return nullptr;
    }
    // Top-level and never shown.
    impl->window = CreateWindowExA(0, registered.Name(), registered.Name(), WS_OVERLAPPED, 0, 0, 0,
                                   0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (impl->window == nullptr) {
        errorText = "cannot create the window: " + win32::SystemErrorText(GetLastError());
        return nullptr;
    }
    SetWindowLongPtrA(impl->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(impl.get()));

    for (const GUID& interfaceClass : kCameraInterfaceClasses) {
        DEV_BROADCAST_DEVICEINTERFACE_W filter{};
        filter.dbcc_size = sizeof filter;
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        filter.dbcc_classguid = interfaceClass;
        // Without notifications the device polls still see every arrival, only later.
        if (HDEVNOTIFY notification =
                RegisterDeviceNotificationW(impl->window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE)) {
            impl->notifications.push_back(notification);
        }
    }
    return std::unique_ptr<ResidentLoop>(new ResidentLoop(std::move(impl)));
}

void ResidentLoop::Wait(std::optional<std::uint32_t> timeoutMs) {
    HANDLE handles[3] = {impl_->stopEvent.Get(), nullptr, nullptr};
    CameraUseWatch* watchOf[3] = {};
    DWORD count = 1;
    bool appeared = false;
    for (CameraUseWatch& watch : impl_->cameraUse) {
        bool treeAppeared = false;
        if (HANDLE changed = watch.Arm(treeAppeared)) {
            watchOf[count] = &watch;
            handles[count++] = changed;
        }
        appeared = appeared || treeAppeared;
    }
    if (appeared) {
        impl_->Signal(ResidentSignal::CameraUseChanged);
        return;
    }
    const DWORD result = MsgWaitForMultipleObjectsEx(
        count, handles, timeoutMs ? *timeoutMs : INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (result == WAIT_OBJECT_0) {
        impl_->Signal(ResidentSignal::StopRequested);
        return;
    }
    if (result > WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count &&
        watchOf[result - WAIT_OBJECT_0]) {
        watchOf[result - WAIT_OBJECT_0]->Fired();
        impl_->Signal(ResidentSignal::CameraUseChanged);
        return;
    }
    // Sent messages (WM_ENDSESSION, WM_DEVICECHANGE) are delivered inside PeekMessage.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
