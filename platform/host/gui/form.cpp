// The host's top-level tool window: a window of the host message queue with a fixed frame.
#include <algorithm>
#include <cctype>

#include "platform/gui.h"
#include "platform/host/gui/console.h"
#include "platform/host/gui/internal.h"
#include "platform/host/message_queue.h"
#include "platform/host/testing/gui_controls.h"

namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text) {
    auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// A console line, on the main thread: "activate", "close", "help", or a button's caption.
void RunConsoleLine(Form& form, const std::string& line) {
    std::string word = Lower(Trimmed(line));
    if (word.empty()) return;
    if (word == "activate") {
        host::ActivateForm(form);
    } else if (word == "close") {
        form.Close();
    } else {
        for (Button* button : form.Native().buttons) {
            if (Lower(button->Caption()) == word) {
                button->Click();
                return;
            }
        }
        std::string help = "commands: activate, close";
        for (Button* button : form.Native().buttons) help += ", " + Lower(button->Caption());
        host::ReportGui(help);
    }
}

}  // namespace

Form::Form(const std::string& caption, int left, int top, int clientWidth, int clientHeight)
    : impl_(std::make_unique<Impl>()) {
    impl_->self = this;
    impl_->caption = caption;
    impl_->outer = {left, top, clientWidth + 2 * host::kFrameWidth,
                    clientHeight + 2 * host::kFrameWidth + host::kCaptionHeight};
    impl_->handle = host::MessageQueue::Instance().CreateWindow(
        [this](unsigned message, MessageWParam, MessageLParam) -> MessageResult {
            if (message == host::kActivateMessage) {
                host::ActivateForm(*this);
            } else if (message == host::kCommandMessage) {
                std::string line;
                while (host::TakeConsoleLine(line)) RunConsoleLine(*this, line);
            }
            // Everything else, the capture graph's messages included, gets the default handling.
            return 0;
        });
}

Form::~Form() {
    host::ForgetForm(*this);
    host::MessageQueue::Instance().DestroyWindow(impl_->handle);
}

WindowHandle Form::Handle() const { return impl_->handle; }

std::string Form::Caption() const { return impl_->caption; }

void Form::SetBounds(const Bounds& outer) { impl_->outer = outer; }

Bounds Form::GetBounds() const { return impl_->outer; }

int Form::ClientWidth() const { return std::max(0, impl_->outer.width - 2 * host::kFrameWidth); }

int Form::ClientHeight() const {
    return std::max(0, impl_->outer.height - 2 * host::kFrameWidth - host::kCaptionHeight);
}

void Form::Close() {
    if (impl_->closed) return;
    impl_->closed = true;
    host::ReportGui("window closed");
}

bool Form::Closed() const { return impl_->closed; }

void host::ActivateForm(Form& form) {
    if (form.Closed()) return;
    if (form.OnActivate) RunFormEvent(form.OnActivate);
}

bool host::PostActivate(const Form& form) {
    return MessageQueue::Instance().Post(form.Handle(), kActivateMessage, 0, 0);
}

bool host::ClickButton(Form& form, const std::string& caption) {
    for (Button* button : form.Native().buttons) {
        if (button->Caption() == caption) {
            button->Click();
            return true;
        }
    }
    return false;
}

std::vector<std::string> host::LabelTexts(const Form& form) {
    std::vector<std::string> texts;
    for (const Label* label : form.Native().labels) texts.push_back(label->Caption());
    return texts;
}
