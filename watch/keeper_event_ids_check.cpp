// Windows build only: the portable ids of the watcher's events and the message table's
// generated ids (windmc's keeper_events.h) must not drift apart, or the event log would show
// another message than the one meant, or none.
#include <windows.h>

#include "keeper_events.h"
#include "watch/keeper_event_ids.h"

static_assert(static_cast<DWORD>(KeeperEvent::Started) == CAMZOOM_EVENT_KEEPER_STARTED);
static_assert(static_cast<DWORD>(KeeperEvent::FailureOutlastedRetries) ==
              CAMZOOM_EVENT_FAILURE_OUTLASTED_RETRIES);
static_assert(static_cast<DWORD>(KeeperEvent::CameraRefusedSetting) ==
              CAMZOOM_EVENT_CAMERA_REFUSED_SETTING);
static_assert(static_cast<DWORD>(KeeperEvent::HoldingOff) == CAMZOOM_EVENT_HOLDING_OFF);
static_assert(static_cast<DWORD>(KeeperEvent::Recovered) == CAMZOOM_EVENT_RECOVERED);
