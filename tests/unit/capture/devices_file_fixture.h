#pragma once

#include <string>

#include "unit/capture/capture_fixture.h"
#include "unit/platform/files_temp_folder.h"

// A capture test whose cameras are kept in a devices file of its own, the way several programs
// share one camera: the file, its records and its locks in a fresh folder, removed with the test.
class DevicesFileTest : public CaptureTest {
  protected:
    // Writes `text` as the devices file and has the runtime read its cameras from it.
    void UseDevicesText(const std::string& text) {
        ASSERT_TRUE(folder_.Valid());
        folder_.Write("devices.ini", text);
        ASSERT_TRUE(dshow::UseDevicesFile(devicesFile_));
    }
    std::string DevicesText() const { return folder_.Read("devices.ini"); }

    TempFolder folder_;
    const std::string devicesFile_ = folder_.File("devices.ini");
};
