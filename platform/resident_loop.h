#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// What reaches a resident program of the user's session from the platform: device arrivals and
// removals of cameras, the resume from sleep, changes of the camera-use records
// (platform/camera_use.h), and the requests to end (its stop event, a close message to its window,
// the end of the session). On Windows a hidden top-level window of its own class receives them;
// the stop event is a named event of the session; the records' registry trees are watched with
// change notifications.

enum class ResidentSignal {
    DeviceArrived,     // a video capture or camera device interface arrived
    DeviceRemoved,     // ... or went away
    Resumed,           // the machine woke from sleep
    StopRequested,     // the stop event was set, or the window was asked to close
    SessionEnding,     // logoff or shutdown: the handler must finish its work before returning
    CameraUseChanged,  // a program started or stopped using a camera: read the records again
};

class ResidentLoop {
  public:
    using Handler = std::function<void(ResidentSignal)>;

    // The window of class `windowClass` and the stop event `stopEventName` (a name of the
    // session's namespace such as "Local\\name"). Null on failure, with `errorText` saying why.
    static std::unique_ptr<ResidentLoop> Create(const std::string& windowClass,
                                                const std::string& stopEventName, Handler handler,
                                                std::string& errorText);
    ~ResidentLoop();
    ResidentLoop(const ResidentLoop&) = delete;
    ResidentLoop& operator=(const ResidentLoop&) = delete;

    // Waits until a signal has been handed to the handler or `timeoutMs` (none: no limit) has
    // passed; the thread sleeps meanwhile.
    void Wait(std::optional<std::uint32_t> timeoutMs);

    // The adapters' own view (the window procedure reaches the loop through it).
    struct Impl;

  private:
    explicit ResidentLoop(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};
