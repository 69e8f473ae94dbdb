// An item of the form's own in its system menu, and the dialog it opens: placed above "Close",
// chosen through WM_SYSCOMMAND (whose low four bits the system may set), the dialog modal over
// a disabled owner, its slider's keys, its timer, and the idle notification going on inside
// its loop; a check box set by the program (no event) and clicked by the user (toggled, one
// event); Esc closes it.
#include <atomic>

#include "platform/gui.h"
#include "platform/messaging.h"
#include "tools/win32_gui_check/check_support.h"
#include "tools/win32_gui_check/scenarios.h"

// After <windows.h>, which check_support.h brings.
#include <commctrl.h>

using check::Expect;

void RunDialogScenario() {
    Application app;
    app.SetTitle("Guicheck");
    Form form("Camera set zoom", 420, 153, 413, 84);
    HWND window = static_cast<HWND>(form.Handle());
    bool chosen = false;
    bool ownerDisabled = false;
    bool ownerEnabledAfter = false;
    int sliderChanges = 0;
    int sliderPosition = -1;
    int timerRuns = 0;
    bool setWithoutEvent = false;
    int checkClicks = 0;
    bool disabledSeen = false;
    bool enabledAgain = false;
    bool checkedAfterClick = true;
    std::atomic<int> idleCalls{0};
    int idleLate = 0;
    IdleHook idle;
    idle.SetHandler([&](bool& done) {
        ++idleCalls;
        done = true;
    });
    check::Later later;

    form.AddSystemMenuCommand("Zoom...", [&] {
        chosen = true;
        Form dialog(form, "Camera zoom", 200, 80);
        TrackBar slider(dialog, {10, 10, 180, 30}, 0);
        slider.SetRange(100, 500);
        slider.SetSteps(10, 40);
        slider.SetPosition(250);
        slider.OnChange = [&] {
            ++sliderChanges;
            sliderPosition = slider.Position();
        };
        CheckBox box(dialog, {10, 48, 80, 20}, "Auto", 1);
        box.SetChecked(true);
        setWithoutEvent = box.Checked();
        box.OnClick = [&] {
            ++checkClicks;
            checkedAfterClick = box.Checked();
        };
        Timer timer(dialog, 50);
        timer.OnTimer = [&] { ++timerRuns; };
        timer.SetEnabled(true);
        HWND dialogWindow = static_cast<HWND>(dialog.Handle());
        HWND sliderWindow = FindWindowExA(dialogWindow, nullptr, TRACKBAR_CLASSA, nullptr);
        HWND boxWindow = FindWindowExA(dialogWindow, nullptr, "BUTTON", "Auto");
        // Disabled and enabled again, as the window system sees it.
        slider.SetEnabled(false);
        box.SetEnabled(false);
        disabledSeen = !slider.Enabled() && !box.Enabled() && !IsWindowEnabled(sliderWindow) &&
                       !IsWindowEnabled(boxWindow);
        slider.SetEnabled(true);
        box.SetEnabled(true);
        enabledAgain = slider.Enabled() && box.Enabled() && IsWindowEnabled(sliderWindow) &&
                       IsWindowEnabled(boxWindow);
        // From outside: a key on the slider, then, after more than the frame path's one-second
        // stall guard, the idle count, then Esc.
        later.Start(400, [&, sliderWindow, dialogWindow, boxWindow] {
            PostMessageA(sliderWindow, WM_KEYDOWN, VK_NEXT, 1);
            PostMessageA(boxWindow, BM_CLICK, 0, 0);
            Sleep(1200);
            const int before = idleCalls;
            Sleep(500);
            idleLate = idleCalls - before;
            PostMessageA(dialogWindow, WM_KEYDOWN, VK_ESCAPE, 1);
        });
        ownerDisabled = true;
        dialog.OnActivate = [&] { ownerDisabled = IsWindowEnabled(window) == FALSE; };
        dialog.ShowModal();
        timer.SetEnabled(false);
        ownerEnabledAfter = IsWindowEnabled(window) != FALSE;
        form.Close();
    });

    // The menu: our item right above "Close", with an id the system leaves to applications.
    HMENU menu = GetSystemMenu(window, FALSE);
    const int count = menu ? GetMenuItemCount(menu) : 0;
    int closeAt = -1;
    for (int i = 0; i < count; ++i)
        if (GetMenuItemID(menu, i) == SC_CLOSE) closeAt = i;
    char text[64] = {};
    UINT id = 0;
    if (closeAt > 0) {
        GetMenuStringA(menu, static_cast<UINT>(closeAt - 1), text, sizeof text, MF_BYPOSITION);
        id = GetMenuItemID(menu, closeAt - 1);
    }
    Expect(std::string(text) == "Zoom...", "\"Zoom...\" right above Close in the system menu");
    Expect(id != 0 && id < 0xF000 && (id & 0xF) == 0,
           "its id lies below the system's commands with the low four bits clear");

    form.OnActivate = [&] {
        // Low bits set, as the system may deliver them.
        PostMessageA(window, WM_SYSCOMMAND, id | 0x3, 0);
    };
    app.CreateMainForm(form);
    app.Run();
    later.Join();
    Expect(chosen, "WM_SYSCOMMAND with the item's id runs its handler");
    Expect(ownerDisabled, "the owner takes no input while the dialog is up");
    Expect(
        sliderChanges == 1 && sliderPosition == 290,
        "Page Down on the slider: one change, to 290 (got " + std::to_string(sliderPosition) + ")");
    Expect(setWithoutEvent && checkClicks == 1 && !checkedAfterClick,
           "a check box: set by the program without an event, a click toggles it with one event");
    Expect(disabledSeen && enabledAgain,
           "a slider and a check box disabled and enabled again, windows and toolkit agreeing");
    Expect(timerRuns >= 10, "the dialog's 50 ms timer ran (" + std::to_string(timerRuns) + ")");
    Expect(idleLate > 0, "idle notifications go on inside the dialog's loop after 1.2 s (" +
                             std::to_string(idleLate) + " in 0.5 s)");
    Expect(ownerEnabledAfter, "Esc closes the dialog and the owner takes input again");
}
