#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

// The keeper's log: one line per event, "YYYY-MM-DD HH:MM:SS  text" in local time, in a small
// text file that is bounded by keeping one old file beside it ("<name>.1").

inline constexpr std::uintmax_t kLogLimit = 64 * 1024;

// "YYYY-MM-DD HH:MM:SS" of a local time, and the local time now.
std::string LocalStamp(const std::tm& localTime);
std::tm LocalTimeNow();

// A line as the file holds it, without its line end.
std::string LogLine(const std::tm& localTime, const std::string& text);

// True when a line of `lineSize` bytes added to a file of `fileSize` bytes would take it past
// `limit`: the file is then moved aside first. A line longer than the limit still goes into an
// empty file.
bool RotationDue(std::uintmax_t fileSize, std::uintmax_t lineSize, std::uintmax_t limit);

class LogFile {
  public:
    explicit LogFile(std::filesystem::path path, std::uintmax_t limit = kLogLimit);

    // Appends one line stamped with the local time now. A log that cannot be written is no
    // reason to stop keeping the zoom: failures are ignored.
    void Write(const std::string& text);
    // As Write, with the time given.
    void WriteAt(const std::tm& localTime, const std::string& text);

    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
    std::uintmax_t limit_;
};
