#pragma once

#include <string>

// The two modal message windows of the tool.

// MessageBoxA with the error icon and one OK button.
void ShowErrorBox(const std::string& caption, const std::string& text);

// A modal message window centred on the screen: the information icon, the text word-wrapped,
// one "OK" button that is both the default and the cancel button. The answer is not used.
void ShowInformationMessage(const std::string& caption, const std::string& text);
