// Application: the main window and the message loop with idle notification.
#include "platform/win32/gui_form_impl.h"

// The application's state lives where every window procedure can reach it for the error box
// (gui_application_state.cpp).
struct Application::Impl {
    win32::ApplicationState state;
};

Application::Application() : impl_(std::make_unique<Impl>()) {
    impl_->state.application = this;
    win32::SetLivingApplication(&impl_->state);
}

Application::~Application() {
    if (win32::LivingApplication() == &impl_->state) win32::SetLivingApplication(nullptr);
}

Application* Application::Instance() {
    const win32::ApplicationState* state = win32::LivingApplication();
    return state != nullptr ? state->application : nullptr;
}

void Application::SetTitle(const std::string& title) { impl_->state.title = title; }

std::string Application::Title() const { return impl_->state.title; }

void Application::CreateMainForm(Form& form) {
    impl_->state.mainForm = &form;
    form.Native().isMain = true;
    // Copied: the handler may replace itself.
    const std::function<void()> handler = form.OnCreate;
    win32::RunEventHandler(handler);
}

void Application::Run() {
    Form* form = impl_->state.mainForm;
    if (form == nullptr) return;
    Form::Impl& native = form->Native();
    if (native.window == nullptr) return;
    if (!native.closed) {
        // Showing activates the window: its first activation runs inside this call.
        ShowWindow(native.window, SW_SHOWNORMAL);
        if (native.window != nullptr && !native.closed) UpdateWindow(native.window);
        // The system's foreground rules may show the window of a program that a background
        // process started (a keeper, a logon task) without activating it. The first activation
        // then still runs, once, through the queue like every later one.
        if (native.window != nullptr && !native.closed && !native.activatedOnce) {
            native.activatedOnce = true;
            PostMessageA(native.window, win32::kDeferredActivateMessage, 0, 0);
        }
    }
    // Ends at WM_QUIT: the program ends, whatever its exit code.
    win32::PumpMessages(native.window, [] { return false; });
    // The end of the program destroys the main window; its destroyed event runs now.
    native.closed = true;
    if (native.window != nullptr) DestroyWindow(native.window);
}

WindowHandle Application::MainWindowHandle() const {
    return impl_->state.mainForm != nullptr ? impl_->state.mainForm->Handle() : nullptr;
}

void Application::ShowError(const std::string& text) { win32::ShowApplicationError(text); }

void Application::ShowInformation(const std::string& caption, const std::string& text) {
    win32::ShowApplicationInformation(caption, text);
}
