#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/gui.h"
#include "platform/host/message_queue.h"
#include "platform/host/testing/dialog_log.h"
#include "platform/host/testing/gui_controls.h"
#include "platform/messaging.h"
#include "unit/platform/host_gui_fixture.h"

namespace {

using namespace std::chrono_literals;

using HostGui = HostGuiTest;

TEST_F(HostGui, LabelsSizeThemselvesToTheirText) {
    Form form("Camera set zoom", 420, 153, 413, 84);
    Label first(form, 16, 8, "Camera");
    Label second(form, 18, 26, "Label2");
    EXPECT_EQ(first.GetBounds().left, 16);
    EXPECT_EQ(first.GetBounds().width, 36);
    EXPECT_EQ(first.GetBounds().height, 13);
    EXPECT_EQ(second.GetBounds().width, 32);
    EXPECT_EQ(second.GetBounds().height, 13);

    second.SetCaption("Set zoom=150");
    EXPECT_EQ(second.Caption(), "Set zoom=150");
    EXPECT_EQ(second.GetBounds().width, host::TextWidth("Set zoom=150"));
    EXPECT_GT(second.GetBounds().width, 32);
    second.SetCaption("Set zoom=150");  // unchanged: not reported again
    EXPECT_EQ(reports, std::vector<std::string>{"label2: Set zoom=150"});
    EXPECT_EQ(host::LabelTexts(form), (std::vector<std::string>{"Camera", "Set zoom=150"}));
}

TEST_F(HostGui, FormKeepsItsClientSizeAndTakesOuterBounds) {
    Form form("Camera set zoom", 420, 153, 413, 84);
    EXPECT_EQ(form.Caption(), "Camera set zoom");
    EXPECT_EQ(form.ClientWidth(), 413);
    EXPECT_EQ(form.ClientHeight(), 84);
    EXPECT_EQ(form.GetBounds().left, 420);
    EXPECT_EQ(form.GetBounds().top, 153);
    form.SetBounds({-20, -20, 10, 10});
    Bounds outer = form.GetBounds();
    EXPECT_EQ(outer.left, -20);
    EXPECT_EQ(outer.top, -20);
    EXPECT_EQ(outer.width, 10);
    EXPECT_EQ(outer.height, 10);
    EXPECT_EQ(form.ClientHeight(), 0);
    EXPECT_NE(form.Handle(), nullptr);
    EXPECT_TRUE(host::MessageQueue::Instance().IsWindow(form.Handle()));
}

TEST_F(HostGui, ButtonsClickByCaptionAndImageCanvasIsMadeOnce) {
    Form form("f", 0, 0, 100, 50);
    Button save(form, {116, 49, 75, 25}, "Save", 0);
    Button set(form, {196, 49, 75, 25}, "Set", 1);
    int saves = 0, sets = 0;
    save.OnClick = [&] { ++saves; };
    set.OnClick = [&] { ++sets; };
    EXPECT_TRUE(host::ClickButton(form, "Set"));
    EXPECT_FALSE(host::ClickButton(form, "Cancel"));
    save.Click();
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(sets, 1);
    EXPECT_EQ(set.TabOrder(), 1);

    Image image(form, {416, 0, 81, 65}, false);
    EXPECT_FALSE(image.Visible());
    Canvas& canvas = image.GetCanvas();
    EXPECT_EQ(&canvas, &image.GetCanvas());
}

TEST_F(HostGui, RunActivatesBeforeTheLoopAndDestroysAfterIt) {
    Application application;
    application.SetTitle("camzoom");
    Form form("f", 0, 0, 100, 50);
    std::vector<std::string> events;
    MessageWindow worker([&](unsigned message, MessageWParam, MessageLParam) -> MessageResult {
        events.push_back("message " + std::to_string(message));
        form.Close();
        return 0;
    });
    IdleHook idle;
    int idles = 0;
    idle.SetHandler([&](bool& done) {
        ++idles;
        done = true;
    });
    form.OnCreate = [&] { events.push_back("create"); };
    form.OnActivate = [&] {
        events.push_back("activate");
        worker.Post(kUserMessageBase + 7, 0, 0);
    };
    form.OnDestroy = [&] { events.push_back("destroy"); };

    application.CreateMainForm(form);
    EXPECT_EQ(application.MainWindowHandle(), form.Handle());
    EXPECT_EQ(Application::Instance(), &application);
    application.Run();

    EXPECT_EQ(events, (std::vector<std::string>{"create", "activate", "message 1031", "destroy"}));
    EXPECT_TRUE(form.Closed());
    EXPECT_EQ(idles, 0);  // the queue never ran empty before the window closed
}

TEST_F(HostGui, IdleIsReportedOncePerEmptiedQueue) {
    IdleHook idle;
    int idles = 0;
    idle.SetHandler([&](bool& done) {
        ++idles;
        done = true;
    });
    int handled = 0;
    MessageWindow window([&](unsigned, MessageWParam, MessageLParam) -> MessageResult {
        ++handled;
        return 0;
    });
    for (int i = 0; i < 3; ++i) window.Post(kUserMessageBase, 0, 0);
    // Waits past the point where the queue is empty: idle must not repeat while waiting.
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(host::PumpMessagesUntil([] { return false; }, 300ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms);
    EXPECT_EQ(handled, 3);
    EXPECT_EQ(idles, 1);

    window.Post(kUserMessageBase, 0, 0);
    EXPECT_TRUE(host::PumpMessagesUntil([&] { return handled == 4 && idles == 2; }, 2s));
}

TEST_F(HostGui, InformationMessageReactivatesTheMainWindowThroughTheQueue) {
    Application application;
    Form form("f", 0, 0, 100, 50);
    int activations = 0;
    form.OnActivate = [&] { ++activations; };
    application.CreateMainForm(form);

    application.ShowInformation("Informacje", "text");
    ASSERT_EQ(host::RecordedDialogs().size(), 1u);
    EXPECT_EQ(host::RecordedDialogs()[0].icon, host::DialogIcon::Information);
    EXPECT_EQ(host::RecordedDialogs()[0].caption, "Informacje");
    EXPECT_EQ(activations, 0);  // not while the message is still closing
    host::PumpPendingMessages();
    EXPECT_EQ(activations, 1);

    form.Close();  // a closed window is not re-activated
    application.ShowInformation("Informacje", "again");
    host::PumpPendingMessages();
    EXPECT_EQ(activations, 1);
}

TEST_F(HostGui, FailureEscapingAHandlerGoesToTheErrorBoxWithTheTitle) {
    Application application;
    application.SetTitle("camzoom");
    Form form("f", 0, 0, 100, 50);
    Button button(form, {0, 0, 10, 10}, "Go", 0);
    button.OnClick = [] { throw std::runtime_error("Something failed."); };
    button.Click();
    application.ShowError("Stream read error.");
    auto dialogs = host::RecordedDialogs();
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[0].icon, host::DialogIcon::Error);
    EXPECT_EQ(dialogs[0].caption, "camzoom");
    EXPECT_EQ(dialogs[0].text, "Something failed.");
    EXPECT_EQ(dialogs[1].text, "Stream read error.");
}

// Standard input replaced by a pipe for the length of a test.
class PipedInput {
  public:
    PipedInput() {
        saved_ = dup(STDIN_FILENO);
        int fds[2];
        if (pipe(fds) == 0) {
            dup2(fds[0], STDIN_FILENO);
            close(fds[0]);
            writer_ = fds[1];
        }
    }
    ~PipedInput() {
        if (writer_ >= 0) close(writer_);
        dup2(saved_, STDIN_FILENO);
        close(saved_);
    }
    bool Ready() const { return writer_ >= 0 && saved_ >= 0; }
    void Write(const std::string& text) const {
        ASSERT_EQ(write(writer_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void End() {
        close(writer_);
        writer_ = -1;
    }

  private:
    int saved_ = -1;
    int writer_ = -1;
};

TEST_F(HostGui, ConsoleCommandsReachTheWindowAndEndOfInputClosesIt) {
    PipedInput input;
    ASSERT_TRUE(input.Ready());
    host::SetConsoleEnabled(true);  // the observer stays ours, so nothing is printed

    Application application;
    Form form("f", 0, 0, 100, 50);
    Button save(form, {0, 0, 10, 10}, "Save", 0);
    Button set(form, {0, 0, 10, 10}, "Set", 1);
    int activations = 0, saves = 0, sets = 0, destroys = 0;
    form.OnActivate = [&] { ++activations; };
    form.OnDestroy = [&] { ++destroys; };
    save.OnClick = [&] { ++saves; };
    set.OnClick = [&] { ++sets; };
    application.CreateMainForm(form);

    input.Write("set\n  SAVE \nactivate\nbogus\n");
    input.End();
    application.Run();  // returns once the end of the input has closed the window

    EXPECT_EQ(sets, 1);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(activations, 2);  // showing, then the command
    EXPECT_EQ(destroys, 1);
    EXPECT_TRUE(form.Closed());
    std::vector<std::string> expected{"window shown: f", "commands: activate, close, save, set",
                                      "window closed"};
    EXPECT_EQ(reports, expected);
}

}  // namespace
