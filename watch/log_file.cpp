#include "watch/log_file.h"

#include <cstdio>
#include <fstream>
#include <system_error>

std::string LocalStamp(const std::tm& localTime) {
    char stamp[80];  // room for any int the fields may hold
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d", localTime.tm_year + 1900,
                  localTime.tm_mon + 1, localTime.tm_mday, localTime.tm_hour, localTime.tm_min,
                  localTime.tm_sec);
    return stamp;
}

std::tm LocalTimeNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (const std::tm* converted = std::localtime(&now)) local = *converted;
    return local;
}

std::string LogLine(const std::tm& localTime, const std::string& text) {
    return LocalStamp(localTime) + "  " + text;
}

bool RotationDue(std::uintmax_t fileSize, std::uintmax_t lineSize, std::uintmax_t limit) {
    return fileSize > 0 && fileSize + lineSize > limit;
}

LogFile::LogFile(std::filesystem::path path, std::uintmax_t limit)
    : path_(std::move(path)), limit_(limit) {}

void LogFile::Write(const std::string& text) { WriteAt(LocalTimeNow(), text); }

void LogFile::WriteAt(const std::tm& localTime, const std::string& text) {
    // Text mode: the line end is the platform's own ("\r\n" on Windows), which is what a
    // reader there expects; it counts two bytes there.
    const std::string line = LogLine(localTime, text) + "\n";
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path_, error);
    if (!error && RotationDue(size, line.size() + 1, limit_)) {
        std::filesystem::path old = path_;
        old += ".1";
        std::filesystem::remove(old, error);
        std::filesystem::rename(path_, old, error);
    }
    std::ofstream out(path_, std::ios::app);
    out << line;
}
