#pragma once

#include <string>
#include <vector>

#include "platform/camera_use.h"

// The log lines that tell what changed between two readings of the camera-use records: one
// "<program> started using the camera" for each program that uses the camera now and did not
// before (or started again since: a new start time), one "<program> stopped using the camera" for
// each program that used it and no longer does, also when its record went away. A program with
// records in both trees counts once, in use when either record says so. No I/O.
std::vector<std::string> CameraUseChanges(const std::vector<CameraUseRecord>& before,
                                          const std::vector<CameraUseRecord>& after);
