// The form's own system-menu items as a person reaches them from the keyboard: both below the
// system's items and right above "Close", in the order added, each chosen by Alt+Space and its
// mnemonic letter.
#include <cctype>
#include <string>
#include <vector>

#include "platform/gui.h"
#include "tools/win32_gui_check/check_support.h"
#include "tools/win32_gui_check/scenarios.h"

using check::Expect;

namespace {

// Alt+Space opens the system menu, whose loop reads the thread's queue; the letter then
// chooses the item with that mnemonic.
void TypeMenuKeys(HWND window, char letter) {
    PostMessageA(window, WM_SYSCOMMAND, SC_KEYMENU, ' ');
    Sleep(500);
    PostMessageA(window, WM_CHAR, static_cast<WPARAM>(letter), 1);
    Sleep(700);
}

}  // namespace

void RunSystemMenuMnemonicScenario() {
    Application app;
    app.SetTitle("Guicheck");
    Form form("Camera set zoom", 420, 153, 413, 84);
    HWND window = static_cast<HWND>(form.Handle());
    std::vector<std::string> chosen;
    form.AddSystemMenuCommand("&Zoom...", [&] { chosen.push_back("zoom"); });
    form.AddSystemMenuCommand("Camera s&ettings...", [&] { chosen.push_back("settings"); });

    HMENU menu = GetSystemMenu(window, FALSE);
    const int count = menu ? GetMenuItemCount(menu) : 0;
    int closeAt = -1;
    for (int i = 0; i < count; ++i)
        if (GetMenuItemID(menu, i) == SC_CLOSE) closeAt = i;
    std::vector<std::string> above;
    for (int i = closeAt - 2; i >= 0 && i < closeAt; ++i) {
        char text[64] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        above.push_back(text);
    }
    Expect(above == std::vector<std::string>{"&Zoom...", "Camera s&ettings..."},
           "\"&Zoom...\" then \"Camera s&ettings...\" right above Close");
    // The system's own mnemonics: none of ours may take one of them.
    std::string systemLetters;
    for (int i = 0; i < count; ++i) {
        char text[64] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        const std::string item = text;
        const auto amp = item.find('&');
        if (amp != std::string::npos && amp + 1 < item.size() && i != closeAt - 1 &&
            i != closeAt - 2) {
            systemLetters +=
                static_cast<char>(std::tolower(static_cast<unsigned char>(item[amp + 1])));
        }
    }
    Expect(systemLetters.find('z') == std::string::npos &&
               systemLetters.find('e') == std::string::npos,
           "Z and E are no mnemonics of the system's items (" + systemLetters + ")");

    check::Later later;
    form.OnActivate = [&] {
        later.Start(300, [window] {
            TypeMenuKeys(window, 'e');
            TypeMenuKeys(window, 'z');
            PostMessageA(window, WM_CLOSE, 0, 0);
        });
    };
    app.CreateMainForm(form);
    app.Run();
    later.Join();
    std::string order;
    for (const std::string& item : chosen) order += item + " ";
    Expect(chosen == std::vector<std::string>{"settings", "zoom"},
           "Alt+Space, E chooses Camera settings; Alt+Space, Z chooses Zoom (got " + order + ")");
}
