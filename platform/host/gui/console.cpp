// The host program's console: reports of the GUI on standard output, and commands read from
// standard input on a thread of their own, handed to the main window through the message queue.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <mutex>

#include "platform/host/gui/console.h"
#include "platform/host/message_queue.h"
#include "platform/host/testing/gui_controls.h"

namespace {

std::mutex linesMutex;
std::deque<std::string> lines;

bool consoleEnabled = true;
host::GuiObserver observer;

void QueueLine(WindowHandle target, std::string line) {
    {
        std::lock_guard lock(linesMutex);
        lines.push_back(std::move(line));
    }
    host::MessageQueue::Instance().Post(target, host::kCommandMessage, 0, 0);
}

}  // namespace

void host::SetGuiObserver(GuiObserver newObserver) { observer = std::move(newObserver); }

void host::ReportGui(const std::string& line) {
    if (observer) observer(line);
}

void host::SetConsoleEnabled(bool enabled) { consoleEnabled = enabled; }

bool host::ConsoleEnabled() { return consoleEnabled; }

bool host::TakeConsoleLine(std::string& line) {
    std::lock_guard lock(linesMutex);
    if (lines.empty()) return false;
    line = std::move(lines.front());
    lines.pop_front();
    return true;
}

bool host::ConsoleLineWaiting() {
    std::lock_guard lock(linesMutex);
    return !lines.empty();
}

void host::PutConsoleLinesFirst(const std::vector<std::string>& commands, WindowHandle target) {
    {
        std::lock_guard lock(linesMutex);
        lines.insert(lines.begin(), commands.begin(), commands.end());
    }
    host::MessageQueue::Instance().Post(target, host::kCommandMessage, 0, 0);
}

host::ConsoleSession::ConsoleSession(WindowHandle target) : target_(target) {
    if (!ConsoleEnabled()) return;
    if (!observer) {
        installedObserver_ = true;
        SetGuiObserver([](const std::string& line) {
            std::fputs((line + "\n").c_str(), stdout);
            std::fflush(stdout);
        });
    }
    reader_ = std::thread([this] { ReadCommands(); });
}

host::ConsoleSession::~ConsoleSession() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    if (installedObserver_) SetGuiObserver({});
}

void host::ConsoleSession::ReadCommands() {
    std::string pending;
    char buffer[256];
    while (!stop_) {
        pollfd input{STDIN_FILENO, POLLIN, 0};
        int ready = poll(&input, 1, 100);
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) continue;
        ssize_t count = ready < 0 ? -1 : read(STDIN_FILENO, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count <= 0) {
            // The end of the input closes the window, as the close command does.
            if (!pending.empty()) QueueLine(target_, pending);
            QueueLine(target_, kEndOfInputLine);
            return;
        }
        pending.append(buffer, static_cast<std::size_t>(count));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            QueueLine(target_, pending.substr(0, end));
            pending.erase(0, end + 1);
        }
    }
}
