#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "platform/gui.h"
#include "platform/win32/win32_api.h"

// Small helpers of the Win32 toolkit check: verdict lines and a closer for message boxes.
namespace check {

inline int& Failures() {
    static int failures = 0;
    return failures;
}

inline void Expect(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    if (!ok) ++Failures();
}

inline std::string Text(const Bounds& b) {
    return std::to_string(b.left) + "," + std::to_string(b.top) + " " + std::to_string(b.width) +
           "x" + std::to_string(b.height);
}

inline bool Same(const Bounds& a, const Bounds& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

// From another thread: waits (at most 5 s) for a message box with `caption`, reads its text,
// presses OK, waits a little for the dust to settle and then calls `after`.
class BoxCloser {
  public:
    ~BoxCloser() { Join(); }

    void Start(const std::string& caption, std::function<void()> after) {
        caption_ = caption;
        thread_ = std::thread([this, after = std::move(after)] {
            HWND box = nullptr;
            for (int i = 0; i < 500 && box == nullptr; ++i) {
                box = FindWindowA("#32770", caption_.c_str());
                if (box == nullptr) Sleep(10);
            }
            if (box != nullptr) {
                char text[512] = {};
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the box's static text
                text_ = text;
                found_ = true;
                Sleep(100);
                PostMessageA(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(300);
            after();
        });
    }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }
    bool Found() const { return found_; }
    const std::string& BoxText() const { return text_; }

  private:
    std::string caption_;
    std::string text_;
    std::atomic<bool> found_{false};
    std::thread thread_;
};

// Runs `body` on another thread after `delayMs`.
class Later {
  public:
    ~Later() { Join(); }
    void Start(int delayMs, std::function<void()> body) {
        Join();
        thread_ = std::thread([delayMs, body = std::move(body)] {
            Sleep(static_cast<DWORD>(delayMs));
            body();
        });
    }
    void Join() {
        if (thread_.joinable()) thread_.join();
    }

  private:
    std::thread thread_;
};

}  // namespace check
