#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/window_handle.h"

namespace host {

// While it lives (inside Application::Run, when the console is enabled): prints the GUI's
// reports on standard output unless an observer is set, and reads commands from standard input,
// one per line, for the window `target`. The end of the input closes the window.
class ConsoleSession {
  public:
    explicit ConsoleSession(WindowHandle target);
    ~ConsoleSession();
    ConsoleSession(const ConsoleSession&) = delete;
    ConsoleSession& operator=(const ConsoleSession&) = delete;

  private:
    void ReadCommands();

    WindowHandle target_;
    bool installedObserver_ = false;
    std::atomic<bool> stop_{false};
    std::thread reader_;
};

// The line that the end of the input queues: it closes every dialog, then the tool window.
inline constexpr const char* kEndOfInputLine = "end of input";

// Main thread: the next line that the console read; false when none is waiting.
bool TakeConsoleLine(std::string& line);
bool ConsoleLineWaiting();
// Main thread: `commands` are taken before any line still waiting, and `target` hears of them.
void PutConsoleLinesFirst(const std::vector<std::string>& commands, WindowHandle target);

}  // namespace host
