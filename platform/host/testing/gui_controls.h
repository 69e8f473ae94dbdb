#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/gui.h"
#include "platform/messaging.h"

// Host-only face of the host GUI toolkit: what tests and the host program use to play the user
// (activate the window, click buttons, read the texts) and to watch what the window shows.
namespace host {

// Private messages of the host's top-level window (WM_APP range, clear of the capture graph's
// WM_APP+1 notifications).
constexpr unsigned kActivateMessage = kAppMessageBase + 0x200;
constexpr unsigned kCommandMessage = kAppMessageBase + 0x201;

// Commands of the host program's console, carried by kCommandMessage as wParam.
enum class ConsoleCommand : MessageWParam { Save = 1, Set = 2, Activate = 3, Close = 4 };

// Receives one line per visible change: a label's new text, a message window shown, the window
// shown or closed. Main thread only; an empty observer stops the reports.
using GuiObserver = std::function<void(const std::string& line)>;
void SetGuiObserver(GuiObserver observer);
void ReportGui(const std::string& line);

// Application::Run normally prints the reports on standard output and takes console commands
// from standard input. Tests that call Run switch this off.
void SetConsoleEnabled(bool enabled);
bool ConsoleEnabled();

// Activates `form` now, as the user bringing it to the front does: its activated event runs.
void ActivateForm(Form& form);
// The same through the message queue: the event runs when the main thread handles the message.
bool PostActivate(const Form& form);
// Clicks the button of `form` whose caption is `caption`; false when there is none.
bool ClickButton(Form& form, const std::string& caption);
// The labels' texts in creation order.
std::vector<std::string> LabelTexts(const Form& form);

// The system menu's items in menu order as they were added (an "&" before the mnemonic's
// letter), "Close" last.
std::vector<std::string> SystemMenuItems(const Form& form);
// Chooses the system-menu item `text` of `form`, as the user does; false when there is none.
// `text` is the item's as added or as the menu shows it (without the "&").
// A dialog that the item opens runs its modal loop inside this call.
bool ChooseSystemMenuItem(Form& form, const std::string& text);
// The innermost dialog in ShowModal that has not closed, or null.
Form* ModalForm();
// A dialog's owner, or null for the tool window.
Form* OwnerOf(const Form& form);

// The check boxes of `form` in creation order, and a user's click on one: it toggles, then its
// OnClick runs.
std::vector<CheckBox*> CheckBoxesOf(const Form& form);
void ClickCheckBox(CheckBox& checkBox);

// The sliders and picture areas of `form`, in creation order.
std::vector<TrackBar*> TrackBarsOf(const Form& form);
std::vector<PictureBox*> PictureBoxesOf(const Form& form);
// The keys of a focused slider.
enum class TrackBarKey { Left, Right, Up, Down, PageUp, PageDown, Home, End };
void PressKey(TrackBar& trackBar, TrackBarKey key);
// Drags the thumb to `position` (kept inside the range).
void DragThumb(TrackBar& trackBar, int position);
struct TrackBarState {
    int min = 0;
    int max = 0;
    int line = 0;
    int page = 0;
};
TrackBarState StateOf(const TrackBar& trackBar);
// What the picture area shows now (a bitmap of its size) and how many pictures it has drawn.
const Bitmap& ShownPicture(const PictureBox& pictureBox);
int PicturesDrawn(const PictureBox& pictureBox);

// Processes messages of the main thread (idle reported each time the queue runs empty) until
// `done` says so or `timeout` passes; true when `done` was reached.
bool PumpMessagesUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Handles every waiting message, then reports idle once.
void PumpPendingMessages();

// The next Canvas::Draw on any canvas raises std::runtime_error(message) instead of drawing,
// as a failing platform call would.
void FailNextCanvasDraw(const std::string& message);

// Metrics of the host's 8-point sans-serif face.
int TextWidth(const std::string& text);
constexpr int kTextHeight = 13;

// Non-client metrics of the tool window: fixed border and small caption bar.
constexpr int kFrameWidth = 3;
constexpr int kCaptionHeight = 17;

}  // namespace host
