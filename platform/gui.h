#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/window_handle.h"

// The GUI toolkit: an application object with its message loop, one top-level tool window with
// items of its own in its system menu, modal dialogs owned by it, self-sizing labels, push
// buttons, check boxes, sliders, picture areas, timers and an invisible image with a canvas.
// Windows implements it on Win32; the host build on its own message queue, where tests drive it.

class Bitmap;
class Canvas;
class Form;

struct Bounds {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A text label that sizes itself to its text.
class Label {
  public:
    Label(Form& owner, int left, int top, const std::string& text);
    ~Label();
    Label(const Label&) = delete;
    Label& operator=(const Label&) = delete;

    void SetCaption(const std::string& text);
    std::string Caption() const;
    Bounds GetBounds() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A push button; tab order 0 has the focus first.
class Button {
  public:
    Button(Form& owner, const Bounds& bounds, const std::string& caption, int tabOrder);
    ~Button();
    Button(const Button&) = delete;
    Button& operator=(const Button&) = delete;

    std::string Caption() const;
    int TabOrder() const;
    Bounds GetBounds() const;
    // Runs the click event as a user's click does.
    void Click();

    std::function<void()> OnClick;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A check box with its caption on the right; clicking it (or Space while it has the focus)
// toggles it.
class CheckBox {
  public:
    CheckBox(Form& owner, const Bounds& bounds, const std::string& caption, int tabOrder);
    ~CheckBox();
    CheckBox(const CheckBox&) = delete;
    CheckBox& operator=(const CheckBox&) = delete;

    // Without an OnClick.
    void SetChecked(bool checked);
    bool Checked() const;
    // A disabled check box shows its state greyed and takes no click, key or focus.
    void SetEnabled(bool enabled);
    bool Enabled() const;
    std::string Caption() const;
    Bounds GetBounds() const;

    // The user toggled it; Checked() already tells the new state.
    std::function<void()> OnClick;

    struct Impl;
    Impl& Native() const { return *impl_; }

  private:
    std::unique_ptr<Impl> impl_;
};

// An image that owns a bitmap of its own size, created on the first request for its canvas.
class Image {
  public:
    Image(Form& owner, const Bounds& bounds, bool visible);
    ~Image();
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    Canvas& GetCanvas();
    Bounds GetBounds() const;
    bool Visible() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A horizontal slider over a range of integers. The keys move it as a focused slider does:
// Left/Up and Right/Down one line, Page Up / Page Down one page (down and up the range), Home
// and End to the ends; the thumb can be dragged to any position.
class TrackBar {
  public:
    TrackBar(Form& owner, const Bounds& bounds, int tabOrder);
    ~TrackBar();
    TrackBar(const TrackBar&) = delete;
    TrackBar& operator=(const TrackBar&) = delete;

    // The position is kept inside the range.
    void SetRange(int min, int max);
    void SetSteps(int line, int page);
    // Moves the thumb without an OnChange.
    void SetPosition(int position);
    int Position() const;
    // A disabled slider shows its position greyed and takes no key, drag or focus.
    void SetEnabled(bool enabled);
    bool Enabled() const;
    Bounds GetBounds() const;

    // The user moved the thumb (keys or a drag) to a new position.
    std::function<void()> OnChange;

    struct Impl;
    Impl& Native() const { return *impl_; }

  private:
    std::unique_ptr<Impl> impl_;
};

// An area that shows a picture scaled to fit, its aspect ratio kept, centred on a black ground.
class PictureBox {
  public:
    PictureBox(Form& owner, const Bounds& bounds);
    ~PictureBox();
    PictureBox(const PictureBox&) = delete;
    PictureBox& operator=(const PictureBox&) = delete;

    // Draws `picture` into the area now: one scaled draw per call.
    void Show(const Bitmap& picture);
    Bounds GetBounds() const;

    struct Impl;
    Impl& Native() const { return *impl_; }

  private:
    std::unique_ptr<Impl> impl_;
};

// Runs OnTimer on the main thread about every `intervalMs` while enabled; ticks that the
// thread could not take in time are not made up (a window timer of `owner`).
class Timer {
  public:
    Timer(Form& owner, unsigned intervalMs);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void SetEnabled(bool enabled);
    bool Enabled() const;

    std::function<void()> OnTimer;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The top-level tool window: small caption bar with a close button only, fixed size. Made with
// an owner, it is a dialog of that window instead: hidden until ShowModal, which centres it on
// its owner.
class Form {
  public:
    Form(const std::string& caption, int left, int top, int clientWidth, int clientHeight);
    Form(Form& owner, const std::string& caption, int clientWidth, int clientHeight);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    WindowHandle Handle() const;
    std::string Caption() const;

    // Outer bounds on the screen.
    void SetBounds(const Bounds& outer);
    Bounds GetBounds() const;
    int ClientWidth() const;
    int ClientHeight() const;

    // Closes the window; when it is the main window this ends the application's message loop,
    // when it is a dialog its ShowModal returns.
    void Close();
    bool Closed() const;

    // Adds an item with `text` to the window's system menu, above "Close" and below the items
    // added before it; choosing it runs `handler`. An "&" in `text` marks the next letter as
    // the item's mnemonic, as in the system's own items ("&Zoom...": Alt+Space, then Z).
    void AddSystemMenuCommand(const std::string& text, std::function<void()> handler);

    // A dialog: shows it centred on its owner, which takes no input meanwhile, and handles the
    // messages of the program until the dialog closes (Close(), Esc or its close button). The
    // application's idle notification goes on as in Application::Run.
    void ShowModal();

    // Events: created (once, before showing), activated (each time the window becomes the
    // application's active window), destroyed (when the window is destroyed at program end).
    std::function<void()> OnCreate;
    std::function<void()> OnActivate;
    std::function<void()> OnDestroy;

    struct Impl;
    Impl& Native() const { return *impl_; }

  private:
    std::unique_ptr<Impl> impl_;
};

// The application object: one per program, on the main thread.
class Application {
  public:
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    void SetTitle(const std::string& title);
    std::string Title() const;

    // Makes `form` the main window and runs its created event.
    void CreateMainForm(Form& form);
    // Shows the main window (which activates it), processes messages until it closes, then
    // destroys it (its destroyed event runs). Idle notifications go to every IdleHook.
    void Run();

    // The main window's handle, or null when there is none.
    WindowHandle MainWindowHandle() const;

    // The error box: a modal message box owned by the application, with the error icon, the
    // title as caption and `text` as it stands.
    void ShowError(const std::string& text);
    // The modal information message; the application goes on afterwards.
    void ShowInformation(const std::string& caption, const std::string& text);

    static Application* Instance();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
