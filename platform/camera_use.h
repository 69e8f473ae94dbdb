#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The platform's own bookkeeping of which programs use the camera. Windows 10 (1903 and later)
// keeps one record per program under
// HKCU and
// HKLM\Software\Microsoft\Windows\CurrentVersion\CapabilityAccessManager\ConsentStore\webcam: a
// subkey per packaged app, and NonPackaged\<executable path with '#' for '\'> per desktop program,
// each with the REG_QWORD FILETIMEs LastUsedTimeStart and LastUsedTimeStop (0 while the program
// uses the camera). The host build keeps the same records in a file of its capture runtime. Knowing
// that another program streams tells a keeper why the camera is busy without opening a stream of
// its own.

struct CameraUseRecord {
    std::string program;  // the package's name, or the program's full path (UTF-8)
    bool packaged = false;
    bool allUsers = false;        // from the machine's tree (HKLM) rather than the user's
    bool inUse = false;           // started and not stopped since
    std::uint64_t lastStart = 0;  // FILETIME: 100 ns since 1601-01-01 UTC; 0 never
    std::uint64_t lastStop = 0;
};

// Every record of both trees, in no particular order; none where the platform keeps none (older
// Windows, Wine, a user whose programs never used a camera).
std::vector<CameraUseRecord> ReadCameraUseRecords();

// The record's reading of the two times: in use when started and the stop is 0.
inline bool IsCameraInUse(std::uint64_t lastStart, std::uint64_t lastStop) {
    return lastStart != 0 && lastStop == 0;
}
