#pragma once

#include <string>
#include <string_view>

// The error box shows a failure's message with a "." added when its last byte sorts after "."
// (unsigned byte order): "Stream read error" becomes "Stream read error.". The window, the frame
// path and the application's own handler of escaped exceptions all show failures this way.
inline std::string ErrorBoxText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        text += '.';
    return text;
}
