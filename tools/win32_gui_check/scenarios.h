#pragma once

#include <string>

#include "platform/win32/win32_api.h"

// The scenarios of the Win32 toolkit check; each makes its own Application.
void RunMainWindowScenario(const std::string& selfPath, bool hold);
void RunUnattendedScenario();
void RunClosedBeforeShowingScenario();
// Shown by a program whose showing does not activate it (a background process started it).
void RunShownWithoutActivationScenario();
void RunDialogScenario();
// The form's own system-menu items chosen by Alt+Space and their mnemonic letters.
void RunSystemMenuMnemonicScenario();

// The helper program's part: takes the foreground from `target`, then gives it back.
int RunOtherProgram(HWND target);
