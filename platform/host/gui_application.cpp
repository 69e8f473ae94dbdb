// The host's application object: the main window, the message loop with its idle notification,
// the error box and the information message.
#include <exception>

#include "platform/dialogs.h"
#include "platform/gui.h"
#include "platform/host/gui_console.h"
#include "platform/host/gui_internal.h"
#include "platform/host/host_gui.h"
#include "platform/host/message_queue.h"

namespace {

Application* instance = nullptr;
Form* mainForm = nullptr;  // of the living application

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

struct Application::Impl {
    std::string title;
};

Application::Application() : impl_(std::make_unique<Impl>()) {
    instance = this;
    mainForm = nullptr;
}

Application::~Application() {
    if (instance == this) {
        instance = nullptr;
        mainForm = nullptr;
    }
}

Application* Application::Instance() { return instance; }

void Application::SetTitle(const std::string& title) { impl_->title = title; }

std::string Application::Title() const { return impl_->title; }

void Application::CreateMainForm(Form& form) {
    mainForm = &form;
    if (form.OnCreate) host::RunFormEvent(form.OnCreate);
}

void Application::Run() {
    Form* form = mainForm;
    if (!form) return;
    {
        host::ConsoleSession console(form->Handle());
        // Showing the window activates it: the first activation runs before the loop begins.
        form->Native().shown = true;
        host::ReportGui("window shown: " + form->Caption());
        for (const Label* label : form->Native().labels) {
            host::ReportGui("label" + std::to_string(host::LabelNumber(*form, *label)) + ": " +
                            label->Caption());
        }
        host::ActivateForm(*form);
        RunLoop([form] { return form->Closed(); }, std::chrono::steady_clock::time_point::max());
    }
    form->Native().destroyed = true;
    if (form->OnDestroy) host::RunFormEvent(form->OnDestroy);
}

WindowHandle Application::MainWindowHandle() const {
    return mainForm ? mainForm->Handle() : nullptr;
}

void Application::ShowError(const std::string& text) { ShowErrorBox(impl_->title, text); }

void Application::ShowInformation(const std::string& caption, const std::string& text) {
    ShowInformationMessage(caption, text);
    // The focus returning from the closed modal message re-activates the main window, as on
    // Windows: the activation arrives through the queue after the message has gone.
    Form* form = mainForm;
    if (form && !form->Closed() && !form->Native().destroyed) host::PostActivate(*form);
}

void host::ForgetForm(const Form& form) {
    if (mainForm == &form) mainForm = nullptr;
}

void host::RunFormEvent(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& failure) {
        if (instance) instance->ShowError(failure.what());
    } catch (...) {
        if (instance) instance->ShowError("Unknown failure");
    }
}

bool host::PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    return RunLoop(done, std::chrono::steady_clock::now() + timeout);
}

void host::PumpPendingMessages() { MessageQueue::Instance().ProcessPendingAndIdle(); }
