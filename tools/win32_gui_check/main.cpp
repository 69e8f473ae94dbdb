// Checks the Win32 GUI toolkit and window messaging adapters on a real Win32 (Wine or Windows).
// Prints one PASS/FAIL line per check and exits with 0 only when all passed.
//   win32_gui_check.exe [--hold]      --hold keeps the window up 4 s for a screenshot
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/win32_gui_check/check_support.h"
#include "tools/win32_gui_check/scenarios.h"

int main(int argc, char** argv) {
    if (argc > 2 && std::strcmp(argv[1], "--other") == 0) {
        return RunOtherProgram(reinterpret_cast<HWND>(
            static_cast<std::uintptr_t>(std::strtoull(argv[2], nullptr, 10))));
    }
    const bool hold = argc > 1 && std::strcmp(argv[1], "--hold") == 0;
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);

    RunMainWindowScenario(self, hold);
    RunUnattendedScenario();
    RunClosedBeforeShowingScenario();
    RunShownWithoutActivationScenario();
    RunDialogScenario();
    RunSystemMenuMnemonicScenario();

    std::printf("%d failure(s)\n", check::Failures());
    return check::Failures() == 0 ? 0 : 1;
}
