// The form moved out of sight before showing and closed from its first activation, as the
// unattended mode does; a form closed before it is ever shown; tab order apart from creation; a
// form whose showing does not activate it still gets its first activation.
#include "platform/gui.h"
#include "tools/win32_gui_check/check_support.h"
#include "tools/win32_gui_check/scenarios.h"

using check::Expect;

void RunUnattendedScenario() {
    Application app;
    app.SetTitle("Guicheck");
    Form form("Camera set zoom", 420, 153, 413, 84);
    // Created in the other order than they are tabbed through.
    Button second(form, {196, 49, 75, 25}, "Set", 1);
    Button first(form, {116, 49, 75, 25}, "Save", 0);
    int activated = 0, destroyed = 0;
    Bounds shownAt;
    HWND focusAtActivation = nullptr;
    form.OnCreate = [&] { form.SetBounds({-20, -20, 10, 10}); };
    form.OnActivate = [&] {
        ++activated;
        shownAt = form.GetBounds();
        focusAtActivation = GetFocus();
        form.Close();
    };
    form.OnDestroy = [&] { ++destroyed; };
    HWND saveWindow = FindWindowExA(static_cast<HWND>(form.Handle()), nullptr, "Button", "Save");

    app.CreateMainForm(form);
    app.Run();
    Expect(activated == 1 && destroyed == 1,
           "closed from its first activation: the loop ends, OnDestroy runs once");
    Expect(check::Same(shownAt, {-20, -20, 10, 10}),
           "shown out of sight at -20,-20 10x10: " + check::Text(shownAt));
    Expect(focusAtActivation == saveWindow && saveWindow != nullptr,
           "the focus starts on tab order 0 although it was created second");
}

void RunClosedBeforeShowingScenario() {
    Application app;
    Form form("Camera set zoom", 420, 153, 413, 84);
    int activated = 0, destroyed = 0;
    form.OnCreate = [&] { form.Close(); };
    form.OnActivate = [&] { ++activated; };
    form.OnDestroy = [&] { ++destroyed; };
    app.CreateMainForm(form);
    app.Run();
    Expect(activated == 0 && destroyed == 1 && form.Closed(),
           "a form closed before showing is never shown; OnDestroy still runs");
}

int RunOtherProgram(HWND target) {
    HWND own = CreateWindowExA(0, "STATIC", "Other program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 600,
                               400, 200, 100, nullptr, nullptr, nullptr, nullptr);
    if (own == nullptr) return 3;
    auto pump = [](int ms) {
        const DWORD end = GetTickCount() + static_cast<DWORD>(ms);
        while (static_cast<LONG>(end - GetTickCount()) > 0) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            Sleep(10);
        }
    };
    SetForegroundWindow(own);
    pump(300);
    const bool tookIt = GetForegroundWindow() == own;
    SetForegroundWindow(target);
    pump(300);
    const bool gaveBack = GetForegroundWindow() == target;
    DestroyWindow(own);
    return tookIt && gaveBack ? 0 : 2;
}

namespace {

HWND refusedWindow = nullptr;
int refusedActivations = 0;

// Stands in for the system's foreground rules, which show the window of a program that a
// background process started without activating it.
LRESULT CALLBACK RefuseActivation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && reinterpret_cast<HWND>(wParam) == refusedWindow) {
        ++refusedActivations;
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

void RunShownWithoutActivationScenario() {
    Application app;
    Form form("Camera set zoom", 420, 153, 413, 84);
    int activated = 0;
    bool activeAtFirstRun = true;
    form.OnCreate = [&] { form.SetBounds({-20, -20, 10, 10}); };
    form.OnActivate = [&] {
        ++activated;
        activeAtFirstRun = GetActiveWindow() == static_cast<HWND>(form.Handle());
        form.Close();
    };
    refusedWindow = static_cast<HWND>(form.Handle());
    refusedActivations = 0;
    HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseActivation, nullptr, GetCurrentThreadId());
    // Without a first activation nothing would close the form: the check ends it then.
    static Form* watched = nullptr;
    watched = &form;
    SetTimer(nullptr, 0, 5000, [](HWND, UINT, UINT_PTR, DWORD) {
        if (watched != nullptr) watched->Close();
    });

    app.CreateMainForm(form);
    app.Run();
    watched = nullptr;
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    Expect(hook != nullptr && refusedActivations > 0,
           "the showing tried to activate the window and was refused");
    Expect(activated == 1 && !activeAtFirstRun,
           "the first activation still ran once, without the window being active: " +
               std::to_string(activated));
}
