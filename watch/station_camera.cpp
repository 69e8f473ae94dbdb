#include "watch/station_camera.h"

#include "capture/device_name.h"

bool ListHoldsStationCamera(const std::vector<std::string>& names, std::string_view cameraName) {
    const std::string lookupName = DeviceLookupName(cameraName);
    int position = 0;
    for (const std::string& name : names) {
        if (MatchDevice(lookupName, name, ++position) != DeviceMatch::None) return true;
    }
    return false;
}
