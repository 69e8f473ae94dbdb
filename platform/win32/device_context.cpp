#include "platform/win32/device_context.h"

namespace win32 {

DeviceContext::DeviceContext(Source source, HWND window) : source_(source), window_(window) {
    switch (source_) {
        case Source::Window:
            dc_ = GetDC(window_);
            break;
        case Source::Paint:
            dc_ = BeginPaint(window_, &paint_);
            break;
        case Source::Memory:
            dc_ = CreateCompatibleDC(nullptr);
            break;
    }
}

DeviceContext::~DeviceContext() {
    if (dc_ == nullptr) return;
    for (Original& original : originals_) {
        if (original.object != nullptr) SelectObject(dc_, original.object);
    }
    switch (source_) {
        case Source::Window:
            ReleaseDC(window_, dc_);
            break;
        case Source::Paint:
            EndPaint(window_, &paint_);
            break;
        case Source::Memory:
            DeleteDC(dc_);
            break;
    }
}

void DeviceContext::Select(HGDIOBJ object) {
    if (dc_ == nullptr || object == nullptr) return;
    const DWORD kind = GetObjectType(object);
    HGDIOBJ previous = SelectObject(dc_, object);
    if (previous == nullptr || previous == HGDI_ERROR) return;
    for (Original& original : originals_) {
        if (original.kind == kind && original.object != nullptr) return;  // ours replaced ours
    }
    for (Original& original : originals_) {
        if (original.object == nullptr) {
            original = {kind, previous};
            return;
        }
    }
}

void DeviceContext::Restore(DWORD kind) {
    if (dc_ == nullptr) return;
    for (Original& original : originals_) {
        if (original.kind != kind || original.object == nullptr) continue;
        SelectObject(dc_, original.object);
        original = {};
        return;
    }
}

}  // namespace win32
