#pragma once

#include <string>
#include <string_view>

#include "platform/error_box_text.h"
#include "platform/error_description.h"

// Texts that the tool shows around failures: the error box's text (ErrorBoxText), the platform's
// error descriptions inside messages (TrimErrorDescription) and the application's title.

// The application's title: the executable's file name up to its first ".", the letters after
// the first character in lower case ("C:\\Station\\CAMZOOM.EXE" -> "Camzoom").
std::string ApplicationTitle(std::string_view executablePath);

// The folder of a path: everything up to and including its last "\\", "/" or ":"; empty when
// the path has none.
std::string FolderOf(std::string_view path);
