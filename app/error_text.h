#pragma once

#include <string>
#include <string_view>

#include "platform/error_box_text.h"

// Texts that the tool shows around failures: the error box's text (ErrorBoxText), the application's
// title and the platform's error descriptions inside messages.

// The application's title: the executable's file name up to its first ".", the letters after
// the first character in lower case ("C:\\Station\\CAMZOOM.EXE" -> "Camzoom").
std::string ApplicationTitle(std::string_view executablePath);

// The folder of a path: everything up to and including its last "\\", "/" or ":"; empty when
// the path has none.
std::string FolderOf(std::string_view path);

// A platform error description as messages embed it: trailing blanks, line breaks and full
// stops removed.
std::string TrimErrorDescription(std::string_view description);
