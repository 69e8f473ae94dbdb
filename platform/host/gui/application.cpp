// The host's application object: the main window, the message loop with its idle notification,
// the error box and the information message.

#include "platform/dialogs.h"
#include "platform/gui.h"
#include "platform/host/gui/console.h"
#include "platform/host/gui/internal.h"
#include "platform/host/message_queue.h"
#include "platform/host/testing/gui_controls.h"

namespace {

// Handles messages until `finished` says so. Idle is reported once each time the queue has run
// empty, not again while the loop waits.
template <typename Finished>
bool RunLoop(Finished finished, std::chrono::steady_clock::time_point deadline) {
    auto& queue = host::MessageQueue::Instance();
    bool idleReported = false;
    while (!finished()) {
        if (queue.ProcessOne()) {
            idleReported = false;
            continue;
        }
        if (!idleReported) {
            queue.NotifyIdle();
            idleReported = true;
            continue;
        }
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        auto wait = std::min<std::chrono::steady_clock::duration>(deadline - now,
                                                                  std::chrono::milliseconds(250));
        queue.WaitForMessage(std::chrono::duration_cast<std::chrono::milliseconds>(wait) +
                             std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace

// The application's state lives where its forms can reach it (application_state.cpp).
struct Application::Impl {
    host::ApplicationState state;
};

Application::Application() : impl_(std::make_unique<Impl>()) {
    impl_->state.application = this;
    host::SetLivingApplication(&impl_->state);
}

Application::~Application() {
    if (host::LivingApplication() == &impl_->state) host::SetLivingApplication(nullptr);
}

Application* Application::Instance() {
    const host::ApplicationState* state = host::LivingApplication();
    return state ? state->application : nullptr;
}

void Application::SetTitle(const std::string& title) { impl_->state.title = title; }

std::string Application::Title() const { return impl_->state.title; }

void Application::CreateMainForm(Form& form) {
    impl_->state.mainForm = &form;
    if (form.OnCreate) host::RunFormEvent(form.OnCreate);
}

void Application::Run() {
    Form* form = impl_->state.mainForm;
    if (!form) return;
    {
        host::ConsoleSession console(form->Handle());
        // Showing the window activates it: the first activation runs before the loop begins.
        form->Native().shown = true;
        host::ReportGui("window shown: " + form->Caption());
        for (const Label* label : form->Native().labels) {
            host::ReportLabel(*form, *label, label->Caption());
        }
        host::ActivateForm(*form);
        RunLoop([form] { return form->Closed(); }, std::chrono::steady_clock::time_point::max());
    }
    form->Native().destroyed = true;
    if (form->OnDestroy) host::RunFormEvent(form->OnDestroy);
}

WindowHandle Application::MainWindowHandle() const {
    return impl_->state.mainForm ? impl_->state.mainForm->Handle() : nullptr;
}

void Application::ShowError(const std::string& text) { ShowErrorBox(impl_->state.title, text); }

void Application::ShowInformation(const std::string& caption, const std::string& text) {
    ShowInformationMessage(caption, text);
    // The focus returning from the closed modal message re-activates the main window, as on
    // Windows: the activation arrives through the queue after the message has gone.
    Form* form = impl_->state.mainForm;
    if (form && !form->Closed() && !form->Native().destroyed) host::PostActivate(*form);
}

void host::RunModalLoop(Form& form) {
    RunLoop([&form] { return form.Closed(); }, std::chrono::steady_clock::time_point::max());
}

bool host::PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return RunLoop(done, std::chrono::steady_clock::now() + timeout);
}

void host::PumpPendingMessages() { MessageQueue::Instance().ProcessPendingAndIdle(); }
