#pragma once

#include <functional>
#include <map>
#include <vector>

#include "platform/gui.h"
#include "platform/win32/gui_internal.h"

// The native side of a Form: its window, its child controls' click routes and the state of
// its activation. Labels, buttons and the application reach it through Form::Native().
struct Form::Impl {
    Form* owner = nullptr;
    HWND window = nullptr;
    bool alive = false;   // between creation and WM_DESTROY
    bool closed = false;  // Close() ran, or the window went away
    bool isMain = false;

    // Activation: the first one always counts; later ones only when the focus comes back from
    // another window of this program, and they run through the queue, not nested in the
    // activation itself.
    bool activatedOnce = false;
    int activateDepth = 0;
    bool activationPending = false;
    HWND savedFocus = nullptr;
    // Set while the application hands the activation back after one of its modal messages.
    bool returningFromMessage = false;

    struct ButtonEntry {
        Button* button;
        HWND window;
        int tabOrder;
    };
    // Buttons by control id, for WM_COMMAND and the tab order.
    std::map<int, ButtonEntry> buttons;
    int nextControlId = 100;  // clear of IDOK and IDCANCEL, which dialog keys send

    // A dialog's owner window; null for the tool window.
    HWND ownerWindow = nullptr;
    // Other controls that Tab stops at, placed among the buttons by their tab order.
    struct TabStop {
        HWND window;
        int tabOrder;
    };
    std::vector<TabStop> otherTabStops;
    // What WM_HSCROLL from a slider, WM_TIMER and WM_SYSCOMMAND with one of our items run.
    std::map<HWND, std::function<void()>> scrollHandlers;
    std::map<UINT_PTR, std::function<void()>> timerHandlers;
    UINT_PTR nextTimerId = 1;
    std::map<UINT, std::function<void()>> systemCommands;
    // What a check box's BN_CLICKED runs, by control id.
    std::map<int, std::function<void()>> checkBoxClicks;

    HFONT Font() const { return win32::ToolkitFont(); }
    // Puts the buttons' windows in tab order, which is the order Tab walks.
    void ArrangeTabOrder();
    // Makes `child` a tab stop at `tabOrder`.
    void AddTabStop(HWND child, int tabOrder);
    void RemoveTabStop(HWND child);
    // Client-relative bounds of a child window.
    Bounds ChildBounds(HWND child) const;
};
