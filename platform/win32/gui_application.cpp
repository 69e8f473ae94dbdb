// Application: the main window, the message loop with idle notification, the error box.
#include "platform/dialogs.h"
#include "platform/error_box_text.h"
#include "platform/win32/gui_form_impl.h"

namespace {

Application* instance = nullptr;
int errorBoxDepth = 0;

// Marks the error box as open for as long as it lives.
class ErrorBoxScope {
  public:
    ErrorBoxScope() { ++errorBoxDepth; }
    ~ErrorBoxScope() { --errorBoxDepth; }
    ErrorBoxScope(const ErrorBoxScope&) = delete;
    ErrorBoxScope& operator=(const ErrorBoxScope&) = delete;
};

}  // namespace

struct Application::Impl {
    std::string title;
    Form* mainForm = nullptr;

    bool MainFormActive() const {
        return mainForm != nullptr && mainForm->Handle() != nullptr &&
               GetActiveWindow() == mainForm->Handle();
    }

    // A modal message took the activation from the main window; where the system does not
    // hand it back by itself (no window manager, an unowned box), the application does, and
    // that counts as the focus coming back from another window of this program.
    void HandBackActivation(bool wasActive) {
        if (!wasActive || MainFormActive() || mainForm->Closed()) return;
        HWND window = static_cast<HWND>(mainForm->Handle());
        if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return;
        Form::Impl& native = mainForm->Native();
        native.returningFromMessage = true;
        SetForegroundWindow(window);
        if (GetActiveWindow() != window) SetActiveWindow(window);
        native.returningFromMessage = false;
    }
};

Application::Application() : impl_(std::make_unique<Impl>()) { instance = this; }

Application::~Application() {
    if (instance == this) instance = nullptr;
}

Application* Application::Instance() { return instance; }

void Application::SetTitle(const std::string& title) { impl_->title = title; }

std::string Application::Title() const { return impl_->title; }

void Application::CreateMainForm(Form& form) {
    impl_->mainForm = &form;
    form.Native().isMain = true;
    // Copied: the handler may replace itself.
    const std::function<void()> handler = form.OnCreate;
    win32::RunEventHandler(handler);
}

void Application::Run() {
    Form* form = impl_->mainForm;
    if (form == nullptr) return;
    Form::Impl& native = form->Native();
    if (native.window == nullptr) return;
    if (!native.closed) {
        // Showing activates the window: its first activation runs inside this call.
        ShowWindow(native.window, SW_SHOWNORMAL);
        if (native.window != nullptr && !native.closed) UpdateWindow(native.window);
    }
    for (;;) {
        MSG message;
        bool quit = false;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                break;
            }
            // Tab, Enter and Esc move between and press the form's buttons.
            if (native.window != nullptr && IsDialogMessageA(native.window, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (quit) break;
        if (win32::NotifyIdleHandlers()) WaitMessage();
    }
    // The end of the program destroys the main window; its destroyed event runs now.
    native.closed = true;
    if (native.window != nullptr) DestroyWindow(native.window);
}

WindowHandle Application::MainWindowHandle() const {
    return impl_->mainForm != nullptr ? impl_->mainForm->Handle() : nullptr;
}

void Application::ShowError(const std::string& text) {
    const bool wasActive = impl_->MainFormActive();
    const ErrorBoxScope scope;
    ShowErrorBox(impl_->title, text);
    impl_->HandBackActivation(wasActive);
}

void Application::ShowInformation(const std::string& caption, const std::string& text) {
    const bool wasActive = impl_->MainFormActive();
    ShowInformationMessage(caption, text);
    impl_->HandBackActivation(wasActive);
}

namespace win32 {

bool ErrorBoxOpen() { return errorBoxDepth > 0; }

void ReportFailure(const std::string& message) {
    if (instance != nullptr) {
        instance->ShowError(ErrorBoxText(message));
    } else {
        const ErrorBoxScope scope;
        ShowErrorBox("", ErrorBoxText(message));
    }
}

void RunEventHandler(const std::function<void()>& handler) {
    if (!handler) return;
    try {
        handler();
    } catch (const std::exception& failure) {
        ReportFailure(failure.what());
    } catch (...) {
        ReportFailure("Unknown failure");
    }
}

}  // namespace win32
