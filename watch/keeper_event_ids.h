#pragma once

#include <cstdint>

// The keeper's entries in the platform's event log, by message id (keeper_events.mc holds their
// texts; each carries the detail line as its one insertion string).
enum class KeeperEventId : std::uint32_t {
    Started = 1,    // the keeper started
    GaveUp = 2,     // a failure outlasted the retries
    Refused = 3,    // the camera refused the stored setting
    HeldOff = 4,    // holding off after repeated set-backs
    Recovered = 5,  // the stored setting is on the camera again after a failure
};
