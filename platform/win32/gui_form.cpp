// Form: the top-level tool window with its events.
#include <algorithm>
#include <vector>

#include "platform/win32/gui_form_impl.h"
#include "platform/win32/window_class.h"

namespace {

constexpr char kFormClass[] = "CamzoomToolForm";
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;
constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
// Ids of our system-menu items: below the system's own (0xF000 and up), with the low four bits
// clear, which the system uses internally and masks off in WM_SYSCOMMAND.
constexpr UINT kFirstSystemCommand = 0x1000;
constexpr UINT kSystemCommandStride = 0x10;

// Runs a handler from a map entry; copied, as the handler may replace itself.
void RunStored(const std::function<void()>& stored) {
    const std::function<void()> handler = stored;
    win32::RunEventHandler(handler);
}

Form::Impl* ImplOf(HWND window) {
    return reinterpret_cast<Form::Impl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

bool BelongsToThisProgram(HWND window) {
    if (window == nullptr) return false;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

void RunActivate(Form::Impl& impl) {
    if (impl.closed) return;
    if (impl.activateDepth > 0) {
        // A modal loop inside the running handler got here; run again once it has finished.
        impl.activationPending = true;
        return;
    }
    // Copied: the handler may replace itself.
    const std::function<void()> handler = impl.owner->OnActivate;
    ++impl.activateDepth;
    win32::RunEventHandler(handler);
    --impl.activateDepth;
    if (impl.activationPending && !impl.closed && impl.alive) {
        impl.activationPending = false;
        PostMessageA(impl.window, win32::kDeferredActivateMessage, 0, 0);
    }
}

void RestoreFocus(Form::Impl& impl) {
    HWND target = impl.savedFocus;
    if (target == nullptr || !IsChild(impl.window, target) || !IsWindowVisible(target) ||
        !IsWindowEnabled(target)) {
        target = GetNextDlgTabItem(impl.window, nullptr, FALSE);
    }
    // Without a control to take it, the form itself keeps the keyboard.
    SetFocus(target != nullptr ? target : impl.window);
}

void OnActivateMessage(Form::Impl& impl, WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(impl.window, focus)) impl.savedFocus = focus;
        return;
    }
    if (HIWORD(wParam) == 0) RestoreFocus(impl);  // not while minimised
    if (!impl.activatedOnce) {
        // The first showing: the handler runs during the showing itself.
        impl.activatedOnce = true;
        RunActivate(impl);
        return;
    }
    // Coming back from another application does not count; neither does the return from the
    // error box.
    HWND previous = reinterpret_cast<HWND>(lParam);
    const bool fromOwnWindow =
        impl.returningFromMessage || (previous != impl.window && BelongsToThisProgram(previous));
    if (!fromOwnWindow || win32::ErrorBoxOpen()) return;
    PostMessageA(impl.window, win32::kDeferredActivateMessage, 0, 0);
}

// The control that Enter presses: the focused button.
LRESULT DefaultButtonId(const Form::Impl& impl) {
    HWND focus = GetFocus();
    for (const auto& [id, entry] : impl.buttons) {
        if (entry.window == focus) return MAKELRESULT(id, DC_HASDEFID);
    }
    return 0;
}

void OnCommand(Form::Impl& impl, WPARAM wParam) {
    const int id = LOWORD(wParam);
    const auto found = impl.buttons.find(id);
    if (found == impl.buttons.end()) {
        const auto checkBox = impl.checkBoxClicks.find(id);
        if (checkBox != impl.checkBoxClicks.end() && HIWORD(wParam) == BN_CLICKED)
            RunStored(checkBox->second);
        return;
    }
    const auto& entry = found->second;
    switch (HIWORD(wParam)) {
        case BN_CLICKED: {
            // Copied: the handler may replace itself.
            const std::function<void()> handler = entry.button->OnClick;
            win32::RunEventHandler(handler);
            break;
        }
        case BN_SETFOCUS:
            SendMessageA(entry.window, BM_SETSTYLE, BS_DEFPUSHBUTTON | BS_NOTIFY, TRUE);
            break;
        case BN_KILLFOCUS:
            SendMessageA(entry.window, BM_SETSTYLE, BS_PUSHBUTTON | BS_NOTIFY, TRUE);
            break;
        default:
            break;
    }
}

LRESULT CALLBACK FormProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETMINMAXINFO) {
        // Windows keeps captioned windows at least about 116 x 27; the form must be able to
        // shrink to any size it is given (10 x 10 out of sight in unattended mode).
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = 1;
        info->ptMinTrackSize.y = 1;
        return 0;
    }
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    Form::Impl* impl = ImplOf(window);
    if (impl == nullptr) return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
        case WM_ACTIVATE:
            OnActivateMessage(*impl, wParam, lParam);
            return 0;
        case win32::kDeferredActivateMessage:
            RunActivate(*impl);
            return 0;
        case win32::kHideMessage:
            ShowWindow(window, SW_HIDE);
            return 0;
        case DM_GETDEFID:
            return DefaultButtonId(*impl);
        case WM_COMMAND:
            if (lParam != 0) {
                OnCommand(*impl, wParam);
            } else if (LOWORD(wParam) == IDCANCEL && impl->ownerWindow != nullptr) {
                impl->owner->Close();  // Esc in a dialog
            }
            return 0;
        case WM_HSCROLL: {
            const auto found = impl->scrollHandlers.find(reinterpret_cast<HWND>(lParam));
            if (found != impl->scrollHandlers.end()) RunStored(found->second);
            return 0;
        }
        case WM_TIMER: {
            const auto found = impl->timerHandlers.find(wParam);
            if (found != impl->timerHandlers.end()) RunStored(found->second);
            return 0;
        }
        case WM_SYSCOMMAND: {
            const auto found = impl->systemCommands.find(static_cast<UINT>(wParam & 0xFFF0));
            if (found == impl->systemCommands.end()) break;
            RunStored(found->second);
            return 0;
        }
        case WM_CLOSE:
            impl->owner->Close();
            return 0;
        case WM_DESTROY: {
            impl->alive = false;
            const bool wasClosed = impl->closed;
            impl->closed = true;
            // Copied: the handler may replace itself.
            const std::function<void()> handler = impl->owner->OnDestroy;
            win32::RunEventHandler(handler);
            if (impl->isMain && !wasClosed) PostQuitMessage(0);
            return 0;
        }
        case WM_NCDESTROY:
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            impl->window = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Registered on first use, for all forms of the program.
const char* FormClass() {
    static const win32::WindowClass formClass(kFormClass, FormProcedure,
                                              {true, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)});
    return formClass.Name();
}

}  // namespace

void Form::Impl::ArrangeTabOrder() {
    std::vector<TabStop> ordered;
    for (const auto& [id, entry] : buttons) ordered.push_back({entry.window, entry.tabOrder});
    ordered.insert(ordered.end(), otherTabStops.begin(), otherTabStops.end());
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const TabStop& a, const TabStop& b) { return a.tabOrder < b.tabOrder; });
    HWND after = HWND_TOP;
    for (const TabStop& entry : ordered) {
        SetWindowPos(entry.window, after, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
        after = entry.window;
    }
}

void Form::Impl::AddTabStop(HWND child, int tabOrder) {
    otherTabStops.push_back({child, tabOrder});
    ArrangeTabOrder();
}

void Form::Impl::RemoveTabStop(HWND child) {
    std::erase_if(otherTabStops, [child](const TabStop& stop) { return stop.window == child; });
}

Bounds Form::Impl::ChildBounds(HWND child) const {
    RECT rect = {};
    if (child == nullptr || !GetWindowRect(child, &rect)) return {};
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

Form::Form(const std::string& caption, int left, int top, int clientWidth, int clientHeight)
    : impl_(std::make_unique<Impl>()) {
    impl_->owner = this;
    RECT outer = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&outer, kFormStyle, FALSE, kFormExStyle);
    impl_->alive = true;
    impl_->window = CreateWindowExA(kFormExStyle, FormClass(), caption.c_str(), kFormStyle, left,
                                    top, outer.right - outer.left, outer.bottom - outer.top,
                                    nullptr, nullptr, GetModuleHandleA(nullptr), impl_.get());
    if (impl_->window == nullptr) {
        impl_->alive = false;
        impl_->closed = true;
        return;
    }
    SendMessageA(impl_->window, WM_SETFONT, reinterpret_cast<WPARAM>(impl_->Font()), FALSE);
}

Form::Form(Form& owner, const std::string& caption, int clientWidth, int clientHeight)
    : impl_(std::make_unique<Impl>()) {
    impl_->owner = this;
    impl_->ownerWindow = owner.Native().window;
    RECT outer = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&outer, kDialogStyle, FALSE, kDialogExStyle);
    impl_->alive = true;
    // Hidden until ShowModal, which places it.
    impl_->window =
        CreateWindowExA(kDialogExStyle, FormClass(), caption.c_str(), kDialogStyle, 0, 0,
                        outer.right - outer.left, outer.bottom - outer.top, impl_->ownerWindow,
                        nullptr, GetModuleHandleA(nullptr), impl_.get());
    if (impl_->window == nullptr) {
        impl_->alive = false;
        impl_->closed = true;
        return;
    }
    SendMessageA(impl_->window, WM_SETFONT, reinterpret_cast<WPARAM>(impl_->Font()), FALSE);
}

Form::~Form() {
    // The derived window's handlers die with it: none of them may run from here on.
    OnCreate = nullptr;
    OnActivate = nullptr;
    OnDestroy = nullptr;
    if (impl_->window != nullptr) DestroyWindow(impl_->window);
}

WindowHandle Form::Handle() const { return impl_->window; }

std::string Form::Caption() const {
    if (impl_->window == nullptr) return {};
    const int length = GetWindowTextLengthA(impl_->window);
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(impl_->window, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return text;
}

void Form::SetBounds(const Bounds& outer) {
    if (impl_->window == nullptr) return;
    SetWindowPos(impl_->window, nullptr, outer.left, outer.top, outer.width, outer.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

Bounds Form::GetBounds() const {
    RECT rect = {};
    if (impl_->window == nullptr || !GetWindowRect(impl_->window, &rect)) return {};
    return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

int Form::ClientWidth() const {
    RECT rect = {};
    if (impl_->window == nullptr || !GetClientRect(impl_->window, &rect)) return 0;
    return rect.right - rect.left;
}

int Form::ClientHeight() const {
    RECT rect = {};
    if (impl_->window == nullptr || !GetClientRect(impl_->window, &rect)) return 0;
    return rect.bottom - rect.top;
}

void Form::Close() {
    if (impl_->closed) return;
    impl_->closed = true;
    // Hidden through the queue: Close may run inside the showing's own activation.
    if (impl_->window != nullptr) PostMessageA(impl_->window, win32::kHideMessage, 0, 0);
    if (impl_->isMain) PostQuitMessage(0);
}

bool Form::Closed() const { return impl_->closed; }

void Form::AddSystemMenuCommand(const std::string& text, std::function<void()> handler) {
    if (impl_->window == nullptr) return;
    HMENU menu = GetSystemMenu(impl_->window, FALSE);
    if (menu == nullptr) return;
    const UINT id = kFirstSystemCommand +
                    kSystemCommandStride * static_cast<UINT>(impl_->systemCommands.size());
    // Above "Close"; at the end of a menu without one.
    UINT position = static_cast<UINT>(-1);
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (GetMenuItemID(menu, i) == SC_CLOSE) {
            position = static_cast<UINT>(i);
            break;
        }
    }
    if (!InsertMenuA(menu, position, MF_BYPOSITION | MF_STRING, id, text.c_str())) return;
    impl_->systemCommands[id] = std::move(handler);
}

void Form::ShowModal() {
    if (impl_->window == nullptr || impl_->ownerWindow == nullptr) return;
    impl_->closed = false;
    win32::RunModalLoop(impl_->window, impl_->ownerWindow, impl_->closed);
    impl_->closed = true;
}
