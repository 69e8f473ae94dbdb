// The zoom window's layout driven through the real message loop: posted messages from another
// thread, dialog keys, clicks, the error box, the information message, activations from this
// program and from another one, idle notification, out-of-sight bounds and closing.
#include <stdexcept>
#include <vector>

#include "platform/messaging.h"
#include "tools/win32_gui_check/check_support.h"
#include "tools/win32_gui_check/scenarios.h"

using check::Expect;

namespace {

constexpr unsigned kCountedMessage = kAppMessageBase + 1;
constexpr unsigned kStepMessage = kAppMessageBase + 2;
constexpr unsigned kThrowingMessage = kAppMessageBase + 3;

class ZoomLayoutForm : public Form {
  public:
    ZoomLayoutForm()
        : Form("Camera set zoom", 420, 153, 413, 84),
          Label1(*this, 16, 8, "Camera"),
          Image1(*this, {416, 0, 81, 65}, false),
          Button1(*this, {116, 49, 75, 25}, "Save", 0),
          Button2(*this, {196, 49, 75, 25}, "Set", 1),
          Label2(*this, 18, 26, "Label2") {}
    Label Label1;
    Image Image1;
    Button Button1;
    Button Button2;
    Label Label2;
};

// Runs a list of steps on the main thread, each when the previous one asks for the next.
class Script {
  public:
    Script()
        : window_([this](unsigned message, MessageWParam wParam, MessageLParam lParam) {
              return Handle(message, wParam, lParam);
          }) {}

    void Add(std::function<void()> step) { steps_.push_back(std::move(step)); }
    // Any thread.
    void Next() { window_.Post(kStepMessage, 0, 0); }
    std::size_t Ran() const { return next_; }
    std::size_t Count() const { return steps_.size(); }
    const MessageWindow& Window() const { return window_; }
    std::vector<int> received;

  private:
    MessageResult Handle(unsigned message, MessageWParam wParam, MessageLParam lParam) {
        if (message == kCountedMessage) {
            received.push_back(static_cast<int>(wParam));
            return 0;
        }
        if (message == kStepMessage) {
            if (next_ < steps_.size()) steps_[next_++]();
            return 0;
        }
        if (message == kThrowingMessage) throw std::runtime_error("Frame could not be painted");
        return window_.DefaultProcedure(message, wParam, lParam);
    }

    std::vector<std::function<void()>> steps_;
    std::size_t next_ = 0;
    MessageWindow window_;
};

}  // namespace

void RunMainWindowScenario(const std::string& selfPath, bool hold) {
    Application app;
    app.SetTitle("Guicheck");
    int created = 0, activated = 0, destroyed = 0, saveClicks = 0, setClicks = 0;
    int idleCalls = 0, idleAtFirstActivate = -1;

    ZoomLayoutForm form;
    form.OnCreate = [&] { ++created; };
    form.OnActivate = [&] {
        if (activated++ == 0) idleAtFirstActivate = idleCalls;
    };
    form.OnDestroy = [&] { ++destroyed; };
    form.Button1.OnClick = [&] { ++saveClicks; };
    form.Button2.OnClick = [&] { ++setClicks; };

    IdleHook idle;
    idle.SetHandler([&](bool& done) {
        ++idleCalls;
        done = true;
    });

    // The layout, before showing.
    Expect(form.ClientWidth() == 413 && form.ClientHeight() == 84,
           "client area 413x84: " + std::to_string(form.ClientWidth()) + "x" +
               std::to_string(form.ClientHeight()));
    Expect(form.GetBounds().left == 420 && form.GetBounds().top == 153,
           "window at 420,153: " + check::Text(form.GetBounds()));
    Expect(form.Caption() == "Camera set zoom", "caption '" + form.Caption() + "'");
    Expect(check::Same(form.Label1.GetBounds(), {16, 8, 36, 13}),
           "Label1 sized to \"Camera\" at 16,8 36x13: " + check::Text(form.Label1.GetBounds()));
    Expect(check::Same(form.Label2.GetBounds(), {18, 26, 32, 13}),
           "Label2 sized to \"Label2\" at 18,26 32x13: " + check::Text(form.Label2.GetBounds()));
    Expect(check::Same(form.Button2.GetBounds(), {196, 49, 75, 25}),
           "Button2 at 196,49 75x25: " + check::Text(form.Button2.GetBounds()));
    Expect(form.Button1.Caption() == "Save" && form.Button2.Caption() == "Set" &&
               form.Button1.TabOrder() == 0 && form.Button2.TabOrder() == 1,
           "button captions and tab orders");
    Expect(!form.Image1.Visible() && check::Same(form.Image1.GetBounds(), {416, 0, 81, 65}),
           "image invisible at 416,0 81x65");
    Canvas& canvas = form.Image1.GetCanvas();
    Expect(&canvas == &form.Image1.GetCanvas(), "the image's canvas is made once");

    app.CreateMainForm(form);
    Expect(created == 1 && activated == 0, "OnCreate ran once in CreateMainForm, no activation");
    Expect(app.MainWindowHandle() == form.Handle() && form.Handle() != nullptr,
           "main window handle");

    HWND formWindow = static_cast<HWND>(form.Handle());
    HWND saveWindow = FindWindowExA(formWindow, nullptr, "Button", "Save");
    HWND setWindow = FindWindowExA(formWindow, nullptr, "Button", "Set");
    const LONG style = GetWindowLongA(formWindow, GWL_STYLE);
    Expect((GetWindowLongA(formWindow, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0 &&
               (style & WS_SYSMENU) != 0 &&
               (style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX)) == 0,
           "tool window: close button only, fixed border");

    Script script;
    constexpr int kPosted = 2000;
    std::thread poster;
    check::BoxCloser closer;
    check::Later later;
    int activatedBefore = 0, idleBefore = 0, stubbornIdle = 0, lateMessages = 0;
    HWND otherWindow = nullptr;
    PROCESS_INFORMATION otherProcess = {};

    script.Add([&] {
        Expect(activated == 1 && idleAtFirstActivate == 0,
               "the first activation ran during the showing, before the loop idled");
        Expect(GetFocus() == saveWindow, "the focus starts on Save (tab order 0)");
        poster = std::thread([&] {
            bool posted = true;
            for (int i = 0; i < kPosted; ++i) {
                posted = script.Window().Post(kCountedMessage, static_cast<MessageWParam>(i), 0) &&
                         posted;
            }
            Expect(posted, "Post from another thread succeeds");
            // A blocking send to the main window is answered while the loop waits.
            DWORD_PTR answer = 1;
            const bool sent =
                SendMessageTimeoutA(formWindow, WM_APP + 5, 0, 0, SMTO_NORMAL, 5000, &answer) != 0;
            Expect(sent && answer == 0,
                   "a message sent from another thread gets the default answer");
            script.Next();
        });
    });
    script.Add([&] {
        poster.join();
        bool inOrder = script.received.size() == kPosted;
        for (int i = 0; inOrder && i < kPosted; ++i) inOrder = script.received[i] == i;
        Expect(inOrder,
               "posted messages all arrive, in order: " + std::to_string(script.received.size()));
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        script.Next();
    });
    script.Add([&] {
        Expect(GetFocus() == setWindow, "Tab moves the focus to Set");
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
        script.Next();
    });
    script.Add([&] {
        Expect(setClicks == 1 && saveClicks == 0, "Enter presses the focused button");
        PostMessageA(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 0);
        SendMessageA(saveWindow, BM_CLICK, 0, 0);
        script.Next();
    });
    script.Add([&] {
        Expect(saveClicks == 1 && setClicks == 1 && !form.Closed(),
               "a click on Save runs its OnClick; Esc does nothing");
        form.Button2.Click();
        Expect(setClicks == 2, "Click() runs OnClick");
        // A failure escaping a click handler: the error box, then the loop goes on.
        form.Button2.OnClick = [] { throw std::runtime_error("Stream read error"); };
        activatedBefore = activated;
        closer.Start("Guicheck", [&] { script.Next(); });
        SendMessageA(setWindow, BM_CLICK, 0, 0);
    });
    script.Add([&] {
        closer.Join();
        Expect(closer.Found(), "the error box has the application's title as caption");
        Expect(
            closer.BoxText() == "Stream read error.",
            "the error box shows the message with a full stop added: '" + closer.BoxText() + "'");
        Expect(activated == activatedBefore, "closing the error box is no new activation");
        Expect(GetActiveWindow() == formWindow, "the main window is active again");
        // The same for a failure inside a hidden window's procedure.
        closer.Start("Guicheck", [&] { script.Next(); });
        script.Window().Post(kThrowingMessage, 0, 0);
    });
    script.Add([&] {
        closer.Join();
        Expect(closer.BoxText() == "Frame could not be painted.",
               "a failure in a hidden window's procedure reaches the error box: '" +
                   closer.BoxText() + "'");
        activatedBefore = activated;
        closer.Start("Informacje", [&] { script.Next(); });
        app.ShowInformation("Informacje", "Brak pliku config.dat. Uruchom i ustaw  Ustawiator");
        Expect(activated == activatedBefore,
               "no activation runs nested inside the information message");
    });
    script.Add([&] {
        closer.Join();
        Expect(closer.Found() &&
                   closer.BoxText() == "Brak pliku config.dat. Uruchom i ustaw  Ustawiator",
               "the information message");
        Expect(activated == activatedBefore + 1,
               "closing the information message re-activates once, through the queue: " +
                   std::to_string(activated - activatedBefore));
        Expect(GetFocus() == setWindow, "the focus is back on the last focused button");
        // Another window of this program takes the activation and hands it back.
        activatedBefore = activated;
        otherWindow = CreateWindowExA(0, "STATIC", "Own other window", WS_POPUP | WS_VISIBLE, 0, 0,
                                      50, 50, nullptr, nullptr, nullptr, nullptr);
        SetActiveWindow(otherWindow);
        SetActiveWindow(formWindow);
        script.Next();
    });
    script.Add([&] {
        DestroyWindow(otherWindow);
        Expect(activated == activatedBefore + 1,
               "activation back from another window of this program runs OnActivate: " +
                   std::to_string(activated - activatedBefore));
        // Another program takes the foreground and gives it back.
        activatedBefore = activated;
        std::string commandLine = "\"" + selfPath + "\" --other " +
                                  std::to_string(reinterpret_cast<std::uintptr_t>(formWindow));
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        const bool started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                            nullptr, nullptr, &startup, &otherProcess) != FALSE;
        Expect(started, "another program starts");
        later.Start(0, [&] {
            if (started) WaitForSingleObject(otherProcess.hProcess, 10000);
            Sleep(200);
            script.Next();
        });
    });
    script.Add([&] {
        later.Join();
        DWORD exitCode = 1;
        GetExitCodeProcess(otherProcess.hProcess, &exitCode);
        CloseHandle(otherProcess.hProcess);
        CloseHandle(otherProcess.hThread);
        Expect(exitCode == 0, "the other program took the activation and gave it back");
        Expect(GetActiveWindow() == formWindow, "the main window is active again");
        Expect(activated == activatedBefore,
               "switching back from another program is no activation: " +
                   std::to_string(activated - activatedBefore));
        // Quiet loop: idle once per emptied queue, not again while waiting.
        idleBefore = idleCalls;
        later.Start(500, [&] { script.Next(); });
    });
    script.Add([&] {
        later.Join();
        const int quietIdle = idleCalls - idleBefore;
        Expect(quietIdle >= 1 && quietIdle <= 3,
               "idle reported once per emptied queue while quiet: " + std::to_string(quietIdle));
        // A handler that is not done is called again at once, without any message.
        idle.SetHandler([&](bool& done) {
            done = ++stubbornIdle >= 50;
            if (done) script.Next();
        });
    });
    script.Add([&] {
        Expect(stubbornIdle == 50,
               "an idle handler that is not done is called again: " + std::to_string(stubbornIdle));
        idle.SetHandler({});
        {
            MessageWindow doomed([&](unsigned, MessageWParam, MessageLParam) {
                ++lateMessages;
                return MessageResult{0};
            });
            for (int i = 0; i < 5; ++i) {
                doomed.Post(kCountedMessage, static_cast<MessageWParam>(i), 0);
            }
        }
        later.Start(100, [&] { script.Next(); });
    });
    script.Add([&] {
        later.Join();
        Expect(lateMessages == 0, "messages queued for a destroyed hidden window are dropped");
        const std::uint32_t before = TickCountMs();
        Sleep(50);
        const std::uint32_t elapsed = TickCountMs() - before;
        Expect(elapsed >= 40 && elapsed < 1000,
               "the tick counts milliseconds: " + std::to_string(elapsed));
        form.Label1.SetCaption("Model:USB Camera, tryb=640x480, zoom=150");
        form.Label2.SetCaption("");
        Expect(form.Label1.GetBounds().width > 150 && form.Label1.GetBounds().height == 13 &&
                   form.Label1.Caption() == "Model:USB Camera, tryb=640x480, zoom=150",
               "a label resizes to a new text: " + check::Text(form.Label1.GetBounds()));
        Expect(form.Label2.GetBounds().height == 13 && form.Label2.GetBounds().width > 0,
               "an empty label keeps its line height: " + check::Text(form.Label2.GetBounds()));
        form.Label2.SetCaption("Set zoom=150");
        if (hold) {
            later.Start(4000, [&] { script.Next(); });  // time for a screenshot
        } else {
            script.Next();
        }
    });
    script.Add([&] {
        later.Join();
        form.SetBounds({-20, -20, 10, 10});
        Expect(check::Same(form.GetBounds(), {-20, -20, 10, 10}),
               "SetBounds really gives -20,-20 10x10: " + check::Text(form.GetBounds()));
        PostMessageA(formWindow, WM_CLOSE, 0, 0);
    });

    script.Next();
    app.Run();
    Expect(script.Ran() == script.Count(), "every step ran: " + std::to_string(script.Ran()) +
                                               " of " + std::to_string(script.Count()));
    Expect(form.Closed() && destroyed == 1, "closing ends the loop; OnDestroy ran once after it");
    Expect(!IsWindow(formWindow) && app.MainWindowHandle() == nullptr, "the main window is gone");
}
