#pragma once
// The camera-use records that Windows 10 (1903 and later) keeps for every program that streams a
// camera, written here as Windows writes them, so that a program watching them (the keeper) runs
// its whole path under Wine, which keeps none: at a stream's start the key
// HKCU\Software\Microsoft\Windows\CurrentVersion\CapabilityAccessManager\ConsentStore\webcam
// \NonPackaged\<streaming program's path with '#' for '\'> gets LastUsedTimeStart = now and
// LastUsedTimeStop = 0 (REG_QWORD FILETIMEs), at its stop LastUsedTimeStop = now. Switched off
// with UseRecords = 0 (camera_settings.h).
#include <windows.h>

#include <string>

namespace vcam {

// The record's key below HKCU for this process's program.
std::wstring UseRecordKeyPath();

void RecordStreamStart();
void RecordStreamStop();

}  // namespace vcam
