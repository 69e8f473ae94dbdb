// The camera-use records on the host: the file that the host capture runtime keeps beside its
// devices file (platform/host/dshow/camera_use_file.h).
#include "platform/camera_use.h"

#include "platform/host/dshow/camera_use_file.h"
#include "platform/host/dshow/test_controls.h"

std::vector<CameraUseRecord> ReadCameraUseRecords() {
    const std::string devicesFile = host::dshow::SharedDevicesFilePath();
    if (devicesFile.empty()) return {};
    return host::dshow::ReadCameraUseFile(host::dshow::CameraUseFilePath(devicesFile))
        .value_or(std::vector<CameraUseRecord>{});
}
