// The platform services over the Win32 API.
#include "platform/win32_platform.h"

#include <shellapi.h>
#include <windows.h>

#include <string>
#include <vector>

#include "texts.h"
#include "win32_internal.h"

namespace pallomar::platform {

struct Win32Platform::State {
  HWND mainWindow = nullptr;
  std::string helpFile;
  bool helpOpened = false;
};

Win32Platform::Win32Platform() : state_(std::make_unique<State>()) {}
Win32Platform::~Win32Platform() = default;

void Win32Platform::SetMainWindow(HWND window) { state_->mainWindow = window; }

int Win32Platform::ShowMessageBox(std::string_view text, MsgType type, unsigned buttons, int x,
                                  int y) {
  win32::BoxRequest request;
  request.text.assign(text);
  request.buttons = buttons;
  request.x = x;
  request.y = y;
  switch (type) {
    case MsgType::Warning:
      request.caption = text::kCaptionWarning;
      request.icon = IDI_EXCLAMATION;
      break;
    case MsgType::Error:
      request.caption = text::kCaptionError;
      request.icon = IDI_HAND;
      break;
    case MsgType::Information:
      request.caption = text::kCaptionInformation;
      request.icon = IDI_ASTERISK;
      break;
    case MsgType::Confirmation:
      request.caption = text::kCaptionConfirmation;
      request.icon = IDI_QUESTION;
      break;
    case MsgType::Custom:
      request.caption = ApplicationTitle();
      break;
  }
  return win32::RunMessageBox(state_->mainWindow, request);
}

void Win32Platform::AlertBeep() { MessageBeep(0); }

void Win32Platform::ShowErrorBox(std::string_view message) {
  const std::string text = ErrorBoxText(message);
  const std::string caption = ApplicationTitle();
  MessageBoxA(state_->mainWindow, text.c_str(), caption.c_str(), MB_OK | MB_ICONHAND);
}

bool Win32Platform::RunOpenDialog(FileDialog& dialog) {
  return win32::RunFileDialog(state_->mainWindow, dialog, false);
}

bool Win32Platform::RunSaveDialog(FileDialog& dialog) {
  return win32::RunFileDialog(state_->mainWindow, dialog, true);
}

void Win32Platform::DragAcceptFiles(bool accept) {
  if (state_->mainWindow) ::DragAcceptFiles(state_->mainWindow, accept ? TRUE : FALSE);
}

std::string Win32Platform::DropFirstPath(DropHandle drop) {
  // Ask for the length first: a fixed buffer would cut a long path and name another file.
  HDROP handle = static_cast<HDROP>(drop);
  const UINT length = DragQueryFileA(handle, 0, nullptr, 0);
  if (length == 0) return {};
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1, '\0');
  const UINT copied = DragQueryFileA(handle, 0, buffer.data(), length + 1);
  return std::string(buffer.data(), copied < length ? copied : length);
}

void Win32Platform::DropFinish(DropHandle drop) { DragFinish(static_cast<HDROP>(drop)); }

void Win32Platform::OpenHelpTopics(const std::string& helpFile) {
  state_->helpFile = helpFile;
  state_->helpOpened = true;
  WinHelpA(state_->mainWindow, state_->helpFile.c_str(), HELP_FINDER, 0);
}

void Win32Platform::CloseHelp() {
  if (!state_->helpOpened) return;
  state_->helpOpened = false;
  WinHelpA(state_->mainWindow, state_->helpFile.c_str(), HELP_QUIT, 0);
}

OpenResult Win32Platform::OpenDocument(const std::string& path) {
  const auto code = reinterpret_cast<INT_PTR>(
      ShellExecuteA(state_->mainWindow, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  if (code > 32) return OpenResult::Opened;
  switch (code) {
    case SE_ERR_FNF:
    case SE_ERR_PNF:
      return OpenResult::NotFound;
    case SE_ERR_NOASSOC:
    case SE_ERR_ASSOCINCOMPLETE:
      return OpenResult::NoProgram;
    default:
      return OpenResult::Failed;
  }
}

WindowsVersion Win32Platform::SystemVersion() {
  // Looked up at run time: ntdll exports it on every version, but no import library declares
  // it, and unlike GetVersionEx it ignores what the manifest claims.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  const auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(
                                         GetProcAddress(ntdll, "RtlGetVersion")))
                                   : nullptr;
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0) return {};
  return {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber,
          info.wProductType != VER_NT_WORKSTATION};
}

unsigned Win32Platform::GetWindowsFolder(char* buffer, unsigned size) {
  return GetWindowsDirectoryA(buffer, size);
}

std::string Win32Platform::CommandLine() {
  const char* line = GetCommandLineA();
  return line ? std::string(line) : std::string();
}

std::string Win32Platform::ExecutablePath() {
  // Grow until the whole path fits: the call truncates silently on a short buffer.
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size() - 1) return std::string(buffer.data(), n);
    if (buffer.size() >= 32768) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::string Win32Platform::ApplicationTitle() { return ApplicationTitleFor(ExecutablePath()); }

}  // namespace pallomar::platform
