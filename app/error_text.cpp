#include "app/error_text.h"

#include <cstddef>

namespace {

bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

}  // namespace

std::string FolderOf(std::string_view path) {
    std::size_t end = path.size();
    while (end > 0 && !IsPathSeparator(path[end - 1])) --end;
    return std::string(path.substr(0, end));
}

std::string ApplicationTitle(std::string_view executablePath) {
    // Only the file name counts: a "." in a folder name does not cut the title.
    std::string title(executablePath.substr(FolderOf(executablePath).size()));
    title = title.substr(0, title.find('.'));
    for (std::size_t i = 1; i < title.size(); ++i) {
        if (title[i] >= 'A' && title[i] <= 'Z') title[i] = static_cast<char>(title[i] - 'A' + 'a');
    }
    return title;
}
