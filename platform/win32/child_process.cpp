// Child processes on Windows: CreateProcessW, waited on through the process handle.
#include "platform/child_process.h"

#include <vector>

#include "platform/win32/owned_handle.h"
#include "platform/win32/system_error_text.h"

ChildProcess::ChildProcess(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

ChildProcess::~ChildProcess() = default;

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::filesystem::path& program,
                                                  const std::string& argument,
                                                  const std::filesystem::path& folder,
                                                  std::string& errorText) {
    std::wstring line = L"\"" + program.wstring() + L"\" " + win32::Wide(argument);
    std::vector<wchar_t> writableLine(line.begin(), line.end());
    writableLine.push_back(L'\0');
    // No STARTF_USESHOWWINDOW: the child's window shows as for a program a person started.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION created{};
    const std::wstring folderText = folder.wstring();
    if (!CreateProcessW(program.wstring().c_str(), writableLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, folderText.empty() ? nullptr : folderText.c_str(), &startup,
                        &created)) {
        errorText = win32::SystemErrorText(GetLastError());
        return nullptr;
    }
    win32::OwnedHandle thread(created.hThread);
    auto impl = std::make_unique<Impl>();
    impl->process = win32::OwnedHandle(created.hProcess);
    return std::unique_ptr<ChildProcess>(new ChildProcess(std::move(impl)));
}

std::optional<std::uint32_t> ChildProcess::ExitCode() {
    if (impl_->exitCode) return impl_->exitCode;
    if (WaitForSingleObject(impl_->process.Get(), 0) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(impl_->process.Get(), &code)) return std::nullopt;
    impl_->exitCode = code;
    return impl_->exitCode;
}

void ChildProcess::Terminate() {
    if (impl_->exitCode) return;
    TerminateProcess(impl_->process.Get(), 1);
    // Its files are let go of once it is really gone.
    WaitForSingleObject(impl_->process.Get(), 5000);
}
