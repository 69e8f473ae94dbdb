#pragma once

// The host's form of the platform's camera-use records (see platform/camera_use.h): the host
// capture runtime writes them beside its devices file, "<devices file>.camera-use", as Windows
// writes its registry records, and the host adapter of ReadCameraUseRecords reads them. One line
// per program, '#' starts a comment:
//   <LastUsedTimeStart> <LastUsedTimeStop> <program path>
// the times as FILETIMEs (100 ns since 1601-01-01 UTC) in decimal, the stop 0 while the program
// streams. Writers and readers take an flock() on the file, so a reader never sees half a file.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/camera_use.h"

namespace host::dshow {

std::string CameraUseFilePath(const std::string& devicesFile);

// Lines that do not read as a record are skipped: the records are the platform's, not ours to
// refuse.
std::vector<CameraUseRecord> ParseCameraUseText(const std::string& text);
std::string FormatCameraUseText(const std::vector<CameraUseRecord>& records);

// None when the file does not exist.
std::optional<std::vector<CameraUseRecord>> ReadCameraUseFile(const std::string& path);

// At a stream's start: the program's LastUsedTimeStart = `now`, LastUsedTimeStop = 0; at its
// stop: LastUsedTimeStop = `now`. False when the file could not be written.
bool RecordCameraUse(const std::string& path, const std::string& program, bool started,
                     std::uint64_t now);

// The current time as a FILETIME, and this process's executable path.
std::uint64_t FileTimeNow();
std::string ThisProgramPath();

}  // namespace host::dshow
