#pragma once

#include <cstdint>

// The watcher's events in the system's event log (platform/event_log.h): their ids in the
// message table watch/keeper_events.mc, compiled into camzoom_watch.exe. The Windows build
// checks that both agree (keeper_event_ids_check.cpp).

// The event source the installation registers, with camzoom_watch.exe as its message file.
inline constexpr char kKeeperEventSource[] = "camzoom";

enum class KeeperEvent : std::uint32_t {
    Started = 1,                  // the watcher started
    FailureOutlastedRetries = 2,  // a failure outlasted the retries
    CameraRefusedSetting = 3,     // the camera refused the stored setting
    HoldingOff = 4,               // holding off after repeated set-backs
    Recovered = 5,                // the zoom is on the camera again after a failure
};
