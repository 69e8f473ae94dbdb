// The host's top-level tool window: a window of the host message queue with a fixed frame.
#include <algorithm>
#include <cctype>
#include <exception>

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

// The item's text as the menu shows it: the mnemonic's "&" left out.
std::string ShownText(const std::string& text) {
    std::string shown;
    for (char c : text)
        if (c != '&') shown += c;
    return shown;
}

// The word that names a system-menu item on the console, its first word: "&Zoom..." is "zoom",
// "Camera s&ettings..." is "camera".
std::string MenuWord(const std::string& text) {
    std::string word;
    for (char c : Trimmed(ShownText(text))) {
        if (c == ' ') break;
        if (c != '.') word += c;
    }
    return Lower(word);
}

bool IsWholeNumber(const std::string& text) {
    std::size_t at = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (at == text.size()) return false;
    for (; at < text.size(); ++at)
        if (!std::isdigit(static_cast<unsigned char>(text[at]))) return false;
    return true;
}

struct KeyWord {
    const char* word;
    host::TrackBarKey key;
};
constexpr KeyWord kKeyWords[] = {
    {"left", host::TrackBarKey::Left},     {"right", host::TrackBarKey::Right},
    {"up", host::TrackBarKey::Up},         {"down", host::TrackBarKey::Down},
    {"pageup", host::TrackBarKey::PageUp}, {"pagedown", host::TrackBarKey::PageDown},
    {"home", host::TrackBarKey::Home},     {"end", host::TrackBarKey::End},
};

void ShowHelp(const Form& form) {
    const Form::Impl& native = form.Native();
    std::string help = native.ownerForm ? "commands: close" : "commands: activate, close";
    if (!native.trackBars.empty()) {
        for (const KeyWord& key : kKeyWords) help += std::string(", ") + key.word;
        help += ", slide N";
    }
    for (const Form::Impl::SystemCommand& command : native.systemCommands)
        help += ", " + MenuWord(command.text) + " [N]";
    help += host::RowCommandsHelp(form);
    for (Button* button : native.buttons) help += ", " + Lower(button->Caption());
    host::ReportGui(help);
}

// A console line, on the main thread, for the innermost dialog or else the tool window:
// "activate", "close", a system-menu item's word ("ITEM N" also slides the dialog that the
// item opens to N and saves), a slider's key or "slide N", the row commands of a dialog with
// rows, or a button's caption.
void RunConsoleLine(Form& mainForm, const std::string& line) {
    Form* modal = host::ModalForm();
    Form& form = modal ? *modal : mainForm;
    Form::Impl& native = form.Native();
    const std::string text = Lower(Trimmed(line));
    if (text.empty()) return;
    const auto blank = text.find(' ');
    const std::string word = text.substr(0, blank);
    const std::string argument = blank == std::string::npos ? "" : Trimmed(text.substr(blank));
    if (word == "activate" && !native.ownerForm) {
        host::ActivateForm(form);
        return;
    }
    if (word == "close") {
        form.Close();
        return;
    }
    if (text == host::kEndOfInputLine) {
        // Every dialog closes as its close button does, then the tool window.
        if (host::ApplicationState* state = host::LivingApplication())
            for (Form* dialog : state->modalForms) dialog->Close();
        mainForm.Close();
        return;
    }
    for (const Form::Impl::SystemCommand& command : native.systemCommands) {
        if (MenuWord(command.text) != word) continue;
        if (IsWholeNumber(argument))
            host::PutConsoleLinesFirst({"slide " + argument, "save"}, form.Handle());
        // Copied: the handler may open a dialog that adds commands of its own.
        const std::function<void()> handler = command.handler;
        host::RunFormEvent(handler);
        return;
    }
    if (!native.trackBars.empty()) {
        TrackBar& trackBar = *native.trackBars.front();
        for (const KeyWord& key : kKeyWords) {
            if (word == key.word && argument.empty()) {
                host::PressKey(trackBar, key.key);
                return;
            }
        }
        if (word == "slide" && !argument.empty()) {
            try {
                host::DragThumb(trackBar, std::stoi(argument));
            } catch (const std::exception&) {
                host::ReportGui("slide: not a number: " + argument);
            }
            return;
        }
    }
    if (host::RunRowCommand(form, word, argument)) return;
    for (Button* button : native.buttons) {
        if (Lower(button->Caption()) == text) {
            button->Click();
            return;
        }
    }
    ShowHelp(form);
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
                // One line per message, the next announced first: a line that opens a dialog
                // runs the dialog's loop, which must take the lines after it.
                std::string line;
                if (host::TakeConsoleLine(line)) {
                    if (host::ConsoleLineWaiting())
                        host::MessageQueue::Instance().Post(impl_->handle, host::kCommandMessage, 0,
                                                            0);
                    RunConsoleLine(*this, line);
                }
            }
            // Everything else, the capture graph's messages included, gets the default handling.
            return 0;
        });
}

Form::Form(Form& owner, const std::string& caption, int clientWidth, int clientHeight)
    : Form(caption, 0, 0, clientWidth, clientHeight) {
    impl_->ownerForm = &owner;
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
    if (!impl_->ownerForm) host::ReportGui("window closed");
}

void Form::AddSystemMenuCommand(const std::string& text, std::function<void()> handler) {
    impl_->systemCommands.push_back({text, std::move(handler)});
}

void Form::ShowModal() {
    Form* owner = impl_->ownerForm;
    host::ApplicationState* state = host::LivingApplication();
    if (!owner || !state || impl_->shown) return;
    // Centred on the owner.
    const Bounds around = owner->GetBounds();
    impl_->outer.left = around.left + (around.width - impl_->outer.width) / 2;
    impl_->outer.top = around.top + (around.height - impl_->outer.height) / 2;
    impl_->closed = false;
    impl_->shown = true;
    host::ReportGui("dialog shown: " + impl_->caption);
    for (const Label* label : impl_->labels) {
        host::ReportLabel(*this, *label, label->Caption());
    }
    state->modalForms.push_back(this);
    host::RunModalLoop(*this);
    std::erase(state->modalForms, this);
    impl_->shown = false;
    host::ReportGui("dialog closed: " + impl_->caption);
    // The focus returns to the owner, which activates it as on Windows.
    if (!owner->Closed()) host::PostActivate(*owner);
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

std::vector<std::string> host::SystemMenuItems(const Form& form) {
    std::vector<std::string> items;
    for (const Form::Impl::SystemCommand& command : form.Native().systemCommands)
        items.push_back(command.text);
    items.push_back("Close");
    return items;
}

bool host::ChooseSystemMenuItem(Form& form, const std::string& text) {
    for (const Form::Impl::SystemCommand& command : form.Native().systemCommands) {
        if (command.text != text && ShownText(command.text) != text) continue;
        const std::function<void()> handler = command.handler;
        RunFormEvent(handler);
        return true;
    }
    return false;
}

Form* host::ModalForm() {
    const ApplicationState* state = LivingApplication();
    if (!state) return nullptr;
    // A dialog that has closed is on its way out of its loop: it takes no more commands.
    for (auto it = state->modalForms.rbegin(); it != state->modalForms.rend(); ++it)
        if (!(*it)->Closed()) return *it;
    return nullptr;
}

Form* host::OwnerOf(const Form& form) { return form.Native().ownerForm; }

void host::ReportLabel(const Form& form, const Label& label, const std::string& text) {
    const auto& labels = form.Native().labels;
    const auto it = std::find(labels.begin(), labels.end(), &label);
    const int number = it == labels.end() ? 0 : static_cast<int>(it - labels.begin()) + 1;
    // A dialog's labels are told apart from the tool window's by the dialog's caption.
    const std::string prefix = form.Native().ownerForm ? form.Caption() + ": " : std::string();
    host::ReportGui(prefix + "label" + std::to_string(number) + ": " + text);
}
