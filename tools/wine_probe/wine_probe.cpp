// wine_probe: inspects and drives another program's windows for test scripts.
//
//   wine_probe list                                  every top-level window
//   wine_probe dump  --title T [--class C]           the window and its child controls
//   wine_probe wait-text --title T --prefix P        until a child's text starts with P
//   wine_probe click --title T --button CAPTION      BM_CLICK on a button, posted
//   wine_probe answer --title T [--button OK]        answers a message box (class #32770)
//   wine_probe wait-gone --title T                   until no such window exists
//   wine_probe close --title T                       posts WM_CLOSE
//   wine_probe hold-file --path P --timeout S        keeps P open, unshared, for S seconds
//   wine_probe file-version --path P                 P's version resource (file_version.h)
//   wine_probe syscommand --title T --id N           posts WM_SYSCOMMAND N (a system-menu item's
//                                                    id; another process cannot read the menu
//                                                    under Wine)
//   wine_probe trackbar --title T [--beside NAME] [--key K]
//                                                    presses key K (left, right, pageup,
//                                                    pagedown, home, end) on the window's slider
//                                                    (the one on the line of the label NAME),
//                                                    then prints its position and range
//   wine_probe rows --title T                        one line per row of a dialog laid out in
//                                                    lines of a label, a slider and check boxes:
//                                                    row NAME min=A max=B position=P
//                                                    [CAPTION=on|off]..., "(disabled)"
//                                                    after a disabled one
//   wine_probe check --title T --beside NAME --button CAPTION [--set on|off]
//                                                    the check box CAPTION on NAME's line: clicks
//                                                    it (BM_CLICK, sent) unless it is already as
//                                                    --set says, then prints "check CAPTION=on|off"
//   wine_probe syskey --title T --key LETTER         Alt+Space, then LETTER, as typed: opens the
//                                                    window's system menu and chooses the item
//                                                    whose mnemonic is LETTER
//   wine_probe pixels --title T --child-class C [--row F] [--count N]
//                                                    N colours (RRGGBB) evenly along the row at
//                                                    F (0..1) of the child of class C, read from
//                                                    the screen
//   wine_probe event-message --path P --id N [--text T]
//                                                    message N of P's message table with T as
//                                                    its %1 (event_log_probe.h)
//   wine_probe report-event --source S --id N [--severity information|warning|error] [--text T]
//                                                    one event through the product's event log;
//                                                    exit code 3 when S is not registered
// Common option: --timeout SECONDS (default 10) for finding the window or the condition.
// Output lines:
//   window hwnd=H pid=P left=L top=T width=W height=H client=CWxCH visible=V class=C title=TEXT
//   child hwnd=H id=I left=L top=T width=W height=H visible=V class=C text=TEXT
// Exit codes: 0 done, 1 not found or timed out, 2 usage.
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tools/wine_probe/event_log_probe.h"
#include "tools/wine_probe/file_version.h"
#include "tools/wine_probe/probe_windows.h"

namespace {

struct Options {
    std::wstring command;
    std::wstring title;
    std::wstring className;
    std::wstring button;
    std::wstring prefix;
    std::wstring path;
    long id = 0;
    std::wstring childClass;
    std::wstring key;
    std::wstring source;
    std::wstring severity = L"information";
    std::wstring text;
    std::wstring beside;
    std::wstring set;
    double row = 0.5;
    int count = 8;
    double timeoutSeconds = 10;
};

std::string Utf8(const std::wstring& text) {
    std::string result;
    if (text.empty()) return result;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
    result.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), result.data(),
                        bytes, nullptr, nullptr);
    // One line per window: line breaks inside a text are shown as \n.
    std::string escaped;
    for (char c : result) {
        if (c == '\n') {
            escaped += "\\n";
        } else if (c != '\r') {
            escaped += c;
        }
    }
    return escaped;
}

void PrintWindow(const probe::WindowInfo& w) {
    std::printf(
        "window hwnd=%p pid=%lu left=%ld top=%ld width=%ld height=%ld client=%ldx%ld "
        "visible=%d class=%s title=%s\n",
        static_cast<void*>(w.handle), w.processId, w.rect.left, w.rect.top,
        w.rect.right - w.rect.left, w.rect.bottom - w.rect.top, w.clientRect.right,
        w.clientRect.bottom, w.visible ? 1 : 0, Utf8(w.className).c_str(), Utf8(w.text).c_str());
}

void PrintChild(const probe::WindowInfo& c) {
    std::printf(
        "child hwnd=%p id=%d left=%ld top=%ld width=%ld height=%ld visible=%d class=%s "
        "text=%s\n",
        static_cast<void*>(c.handle), c.controlId, c.rect.left, c.rect.top,
        c.rect.right - c.rect.left, c.rect.bottom - c.rect.top, c.visible ? 1 : 0,
        Utf8(c.className).c_str(), Utf8(c.text).c_str());
}

void Dump(HWND window) {
    PrintWindow(probe::Describe(window, nullptr));
    for (HWND child : probe::ChildWindows(window)) PrintChild(probe::Describe(child, window));
}

// Polls `condition` every 100 ms until it holds or the timeout passes.
template <class Condition>
bool WaitFor(double seconds, Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    for (;;) {
        if (condition()) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        Sleep(100);
    }
}

HWND WaitForWindow(const Options& o) {
    HWND found = nullptr;
    WaitFor(o.timeoutSeconds, [&] {
        const auto windows = probe::TopLevelWindows(o.title, o.className);
        found = windows.empty() ? nullptr : windows.front();
        return found != nullptr;
    });
    if (!found) {
        std::fprintf(stderr, "wine_probe: no window \"%s\"\n", Utf8(o.title).c_str());
    }
    return found;
}

HWND ChildOfClass(HWND window, const std::wstring& className) {
    for (HWND child : probe::ChildWindows(window)) {
        wchar_t name[256] = {};
        GetClassNameW(child, name, 256);
        if (lstrcmpiW(name, className.c_str()) == 0) return child;
    }
    std::fprintf(stderr, "wine_probe: no child of class %s\n", Utf8(className).c_str());
    return nullptr;
}

int RunSystemCommand(HWND window, const Options& o) {
    if (o.id <= 0) return 2;
    // Posted: the command opens a modal dialog.
    PostMessageW(window, WM_SYSCOMMAND, static_cast<WPARAM>(o.id), 0);
    std::printf("posted WM_SYSCOMMAND 0x%04X\n", static_cast<unsigned>(o.id));
    return 0;
}

// A line of a dialog: the label that names it and the controls whose height spans the label's
// middle, read off the child windows' places as a person reads them.
struct Line {
    std::wstring name;
    HWND slider = nullptr;
    std::vector<HWND> checkBoxes;
};

bool IsClass(HWND window, const wchar_t* className) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return lstrcmpiW(name, className) == 0;
}

bool IsCheckBox(HWND window) {
    if (!IsClass(window, L"Button")) return false;
    const LONG_PTR type = GetWindowLongPtrW(window, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
}

std::vector<Line> Lines(HWND window) {
    std::vector<probe::WindowInfo> children;
    for (HWND child : probe::ChildWindows(window))
        children.push_back(probe::Describe(child, window));
    std::vector<Line> lines;
    for (const probe::WindowInfo& label : children) {
        if (lstrcmpiW(label.className.c_str(), L"Static") != 0) continue;
        const LONG middle = (label.rect.top + label.rect.bottom) / 2;
        Line line{label.text, nullptr, {}};
        for (const probe::WindowInfo& other : children) {
            if (other.rect.top > middle || other.rect.bottom <= middle) continue;
            if (!line.slider && IsClass(other.handle, L"msctls_trackbar32") &&
                other.rect.left >= label.rect.right) {
                line.slider = other.handle;
            } else if (IsCheckBox(other.handle)) {
                line.checkBoxes.push_back(other.handle);
            }
        }
        if (line.slider) lines.push_back(line);
    }
    return lines;
}

const Line* FindLine(const std::vector<Line>& lines, const std::wstring& name) {
    for (const Line& line : lines)
        if (line.name == name) return &line;
    std::fprintf(stderr, "wine_probe: no row %s\n", Utf8(name).c_str());
    return nullptr;
}

bool Checked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

int RunRows(HWND window) {
    for (const Line& line : Lines(window)) {
        std::printf("row %s min=%ld max=%ld position=%ld", Utf8(line.name).c_str(),
                    static_cast<long>(SendMessageW(line.slider, TBM_GETRANGEMIN, 0, 0)),
                    static_cast<long>(SendMessageW(line.slider, TBM_GETRANGEMAX, 0, 0)),
                    static_cast<long>(SendMessageW(line.slider, TBM_GETPOS, 0, 0)));
        // A disabled control is marked: it shows a value that cannot be changed.
        if (!IsWindowEnabled(line.slider)) std::printf("(disabled)");
        for (HWND box : line.checkBoxes) {
            std::printf(" %s=%s%s", Utf8(probe::WindowText(box)).c_str(),
                        Checked(box) ? "on" : "off", IsWindowEnabled(box) ? "" : "(disabled)");
        }
        std::printf("\n");
    }
    return 0;
}

int RunCheck(HWND window, const Options& o) {
    const std::vector<Line> lines = Lines(window);
    const Line* line = FindLine(lines, o.beside);
    if (!line) return 1;
    for (HWND box : line->checkBoxes) {
        if (probe::WindowText(box) != o.button) continue;
        const bool wanted = o.set.empty() ? !Checked(box) : o.set == L"on";
        if (Checked(box) != wanted) {
            // Sent: the dialog has handled the click when this returns.
            DWORD_PTR ignored = 0;
            SendMessageTimeoutW(box, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        }
        std::printf("check %s=%s\n", Utf8(o.button).c_str(), Checked(box) ? "on" : "off");
        return 0;
    }
    std::fprintf(stderr, "wine_probe: no check box %s\n", Utf8(o.button).c_str());
    return 1;
}

int RunSystemKey(HWND window, const Options& o) {
    if (o.key.size() != 1) return 2;
    // Alt+Space opens the system menu (its menu loop then reads the thread's queue); the letter
    // chooses the item whose mnemonic it is, which posts the item's WM_SYSCOMMAND.
    PostMessageW(window, WM_SYSCOMMAND, SC_KEYMENU, L' ');
    Sleep(500);
    PostMessageW(window, WM_CHAR, o.key[0], 1);
    std::printf("typed Alt+Space, %s\n", Utf8(o.key).c_str());
    return 0;
}

int RunTrackBar(HWND window, const Options& o) {
    HWND slider = nullptr;
    if (o.beside.empty()) {
        slider = ChildOfClass(window, L"msctls_trackbar32");
    } else {
        const std::vector<Line> lines = Lines(window);
        if (const Line* line = FindLine(lines, o.beside)) slider = line->slider;
    }
    if (!slider) return 1;
    struct Key {
        const wchar_t* name;
        WPARAM code;
    };
    static const Key keys[] = {{L"left", VK_LEFT}, {L"right", VK_RIGHT},  {L"up", VK_UP},
                               {L"down", VK_DOWN}, {L"pageup", VK_PRIOR}, {L"pagedown", VK_NEXT},
                               {L"home", VK_HOME}, {L"end", VK_END}};
    if (!o.key.empty()) {
        const Key* found = nullptr;
        for (const Key& key : keys)
            if (o.key == key.name) found = &key;
        if (!found) return 2;
        // Sent, as the focused slider gets it: the slider has moved when this returns.
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(slider, WM_KEYDOWN, found->code, 1, SMTO_ABORTIFHUNG, 5000, &ignored);
        SendMessageTimeoutW(slider, WM_KEYUP, found->code, 0xC0000001, SMTO_ABORTIFHUNG, 5000,
                            &ignored);
    }
    std::printf("trackbar position=%ld min=%ld max=%ld line=%ld page=%ld\n",
                static_cast<long>(SendMessageW(slider, TBM_GETPOS, 0, 0)),
                static_cast<long>(SendMessageW(slider, TBM_GETRANGEMIN, 0, 0)),
                static_cast<long>(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0)),
                static_cast<long>(SendMessageW(slider, TBM_GETLINESIZE, 0, 0)),
                static_cast<long>(SendMessageW(slider, TBM_GETPAGESIZE, 0, 0)));
    return 0;
}

int RunPixels(HWND window, const Options& o) {
    HWND area = ChildOfClass(window, o.childClass);
    if (!area || o.count < 1) return 1;
    RECT rect = {};
    GetWindowRect(area, &rect);
    HDC screen = GetDC(nullptr);
    const int y = rect.top + static_cast<int>((rect.bottom - rect.top - 1) * o.row);
    std::printf("pixels");
    for (int i = 0; i < o.count; ++i) {
        const int x =
            rect.left + static_cast<int>((rect.right - rect.left) * (2 * i + 1) / (2 * o.count));
        const COLORREF colour = GetPixel(screen, x, y);
        std::printf(" %02X%02X%02X", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    }
    std::printf("\n");
    ReleaseDC(nullptr, screen);
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: wine_probe list | dump|wait-text|click|answer|wait-gone|close --title T "
                 "[--class C] [--button CAPTION] [--prefix P] [--timeout S]\n");
    return 2;
}

bool Parse(int argc, wchar_t** argv, Options& o) {
    if (argc < 2) return false;
    o.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (i + 1 >= argc) return false;
        const std::wstring value = argv[++i];
        if (arg == L"--title") {
            o.title = value;
        } else if (arg == L"--class") {
            o.className = value;
        } else if (arg == L"--button") {
            o.button = value;
        } else if (arg == L"--path") {
            o.path = value;
        } else if (arg == L"--prefix") {
            o.prefix = value;
        } else if (arg == L"--child-class") {
            o.childClass = value;
        } else if (arg == L"--id") {
            o.id = std::wcstol(value.c_str(), nullptr, 0);
        } else if (arg == L"--source") {
            o.source = value;
        } else if (arg == L"--severity") {
            o.severity = value;
        } else if (arg == L"--text") {
            o.text = value;
        } else if (arg == L"--key") {
            o.key = value;
        } else if (arg == L"--beside") {
            o.beside = value;
        } else if (arg == L"--set") {
            o.set = value;
        } else if (arg == L"--row") {
            o.row = _wtof(value.c_str());
        } else if (arg == L"--count") {
            o.count = _wtoi(value.c_str());
        } else if (arg == L"--timeout") {
            o.timeoutSeconds = _wtof(value.c_str());
        } else {
            return false;
        }
    }
    return true;
}

int Run(const Options& o) {
    if (o.command == L"list") {
        for (HWND window : probe::TopLevelWindows(L"", L"")) {
            PrintWindow(probe::Describe(window, nullptr));
        }
        return 0;
    }
    if (o.command == L"hold-file") {
        // Another program that holds a file open with no sharing, as a station program might.
        HANDLE file = CreateFileW(o.path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            std::fprintf(stderr, "wine_probe: cannot open %s\n", Utf8(o.path).c_str());
            return 1;
        }
        std::printf("holding %s\n", Utf8(o.path).c_str());
        std::fflush(stdout);
        Sleep(static_cast<DWORD>(o.timeoutSeconds * 1000));
        CloseHandle(file);
        return 0;
    }
    if (o.command == L"file-version") {
        if (probe::PrintFileVersion(o.path)) return 0;
        std::fprintf(stderr, "wine_probe: no version resource in %s\n", Utf8(o.path).c_str());
        return 1;
    }
    if (o.command == L"event-message") {
        if (o.path.empty() || o.id <= 0) return Usage();
        return probe::PrintTableMessage(o.path, static_cast<std::uint32_t>(o.id), o.text) ? 0 : 1;
    }
    if (o.command == L"report-event") {
        if (o.source.empty() || o.id <= 0) return Usage();
        return probe::ReportEvent(o.source, o.severity, static_cast<std::uint32_t>(o.id), o.text);
    }
    if (o.title.empty()) return Usage();
    if (o.command == L"wait-gone") {
        const bool gone = WaitFor(
            o.timeoutSeconds, [&] { return probe::TopLevelWindows(o.title, o.className).empty(); });
        std::printf(gone ? "gone\n" : "present\n");
        return gone ? 0 : 1;
    }
    HWND window = WaitForWindow(o);
    if (!window) return 1;
    if (o.command == L"dump") {
        Dump(window);
        return 0;
    }
    if (o.command == L"wait-text") {
        const bool seen = WaitFor(o.timeoutSeconds, [&] {
            for (HWND child : probe::ChildWindows(window)) {
                if (probe::WindowText(child).rfind(o.prefix, 0) == 0) return true;
            }
            return false;
        });
        Dump(window);
        return seen ? 0 : 1;
    }
    if (o.command == L"syscommand") return RunSystemCommand(window, o);
    if (o.command == L"trackbar") return RunTrackBar(window, o);
    if (o.command == L"rows") return RunRows(window);
    if (o.command == L"check") return RunCheck(window, o);
    if (o.command == L"syskey") return RunSystemKey(window, o);
    if (o.command == L"pixels") return RunPixels(window, o);
    if (o.command == L"close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
        std::printf("closed\n");
        return 0;
    }
    if (o.command == L"click" || o.command == L"answer") {
        const std::wstring caption = o.button.empty() ? L"OK" : o.button;
        if (o.command == L"answer") Dump(window);
        HWND button = nullptr;
        WaitFor(o.timeoutSeconds, [&] {
            button = probe::FindChildByText(window, caption);
            return button != nullptr;
        });
        if (!button) {
            if (o.command == L"answer" && caption == L"OK") {
                // A box without a visible OK child still takes IDOK.
                PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
                std::printf("answered IDOK\n");
                return 0;
            }
            std::fprintf(stderr, "wine_probe: no button \"%s\"\n", Utf8(caption).c_str());
            return 1;
        }
        // Posted, not sent: the click may open a modal box that would block a sent message.
        PostMessageW(button, BM_CLICK, 0, 0);
        std::printf("clicked %s\n", Utf8(caption).c_str());
        return 0;
    }
    return Usage();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!Parse(argc, argv, options)) return Usage();
    const int result = Run(options);
    std::fflush(stdout);
    return result;
}
