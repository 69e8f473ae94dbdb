// The camera-use records from the registry: both trees, packaged apps by their subkey's name,
// desktop programs below NonPackaged by their path, which the key's name spells with '#' for '\'.
#include "platform/camera_use.h"

#include <algorithm>
#include <cwchar>

#include "platform/win32/camera_use_store.h"
#include "platform/win32/registry_key.h"

namespace {

constexpr wchar_t kNonPackaged[] = L"NonPackaged";

CameraUseRecord ReadRecord(const win32::RegistryKey& key, std::string program, bool packaged,
                           bool allUsers) {
    CameraUseRecord record;
    record.program = std::move(program);
    record.packaged = packaged;
    record.allUsers = allUsers;
    record.lastStart = key.ReadQword(L"LastUsedTimeStart").value_or(0);
    record.lastStop = key.ReadQword(L"LastUsedTimeStop").value_or(0);
    record.inUse = IsCameraInUse(record.lastStart, record.lastStop);
    return record;
}

void ReadTree(HKEY root, bool allUsers, std::vector<CameraUseRecord>& records) {
    const auto store = win32::RegistryKey::Open(root, win32::kCameraUseStore, KEY_READ);
    for (const std::wstring& name : store.SubkeyNames()) {
        const auto key = win32::RegistryKey::Open(store.Get(), name, KEY_READ);
        if (!key) continue;
        if (_wcsicmp(name.c_str(), kNonPackaged) != 0) {
            records.push_back(ReadRecord(key, win32::Utf8(name), true, allUsers));
            continue;
        }
        for (std::wstring path : key.SubkeyNames()) {
            const auto program = win32::RegistryKey::Open(key.Get(), path, KEY_READ);
            if (!program) continue;
            std::replace(path.begin(), path.end(), L'#', L'\\');
            records.push_back(ReadRecord(program, win32::Utf8(path), false, allUsers));
        }
    }
}

}  // namespace

std::vector<CameraUseRecord> ReadCameraUseRecords() {
    std::vector<CameraUseRecord> records;
    ReadTree(HKEY_CURRENT_USER, false, records);
    ReadTree(HKEY_LOCAL_MACHINE, true, records);
    return records;
}
