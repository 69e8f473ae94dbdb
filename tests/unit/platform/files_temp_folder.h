#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/host/testing/process_overrides.h"

// A fresh folder under the system's temporary folder, removed with everything in it at the end
// of the test. It can also stand in as the executable's folder.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "camzoom-settings-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempFolder() {
        host::SetExecutablePathOverride(std::nullopt);
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    bool Valid() const { return !path_.empty(); }
    // The folder's path with its trailing separator, as the tool composes its file paths.
    std::string Folder() const { return path_ + "/"; }
    std::string File(const std::string& name) const { return Folder() + name; }

    // Makes this folder the executable's folder.
    void ActAsExecutableFolder() const { host::SetExecutablePathOverride(File("camzoom.exe")); }

    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream out(File(name), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::string Read(const std::string& name) const {
        std::ifstream in(File(name), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    bool Exists(const std::string& name) const { return std::filesystem::exists(File(name)); }

  private:
    std::string path_;
};
