#include "tests/ui_driver.h"

#include <commctrl.h>

#include <algorithm>
#include <thread>

#include "runtime/wide_win.h"

namespace vorlune::ui_driver {

namespace {

// Cross-process reads wait at most this long for the other side to answer.
constexpr UINT kAnswerMilliseconds = 5000;
// File dialogs: the file-name combo box of the Explorer style and the edit box of the old style.
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;

struct WindowSearch {
  DWORD process;
  std::wstring_view caption;
  std::wstring_view window_class;
  HWND found = nullptr;
};

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<WindowSearch*>(context);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search.process || !IsWindowVisible(window)) return TRUE;
  if (!search.window_class.empty() && ClassOf(window) != search.window_class) return TRUE;
  if (!search.caption.empty() && Widen(Text(window)) != search.caption) return TRUE;
  search.found = window;
  return FALSE;
}

HWND WaitForTopLevel(WindowSearch search, Milliseconds limit) {
  WaitUntil(
      [&] {
        EnumWindows(&MatchTopLevel, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      limit);
  return search.found;
}

struct ControlSearch {
  std::uint32_t number;
  HWND found;
};

BOOL CALLBACK MatchControl(HWND child, LPARAM context) {
  auto& search = *reinterpret_cast<ControlSearch*>(context);
  if (static_cast<std::uint32_t>(GetDlgCtrlID(child)) != search.number) return TRUE;
  search.found = child;
  return FALSE;
}

LPARAM KeyParameter(UINT key, bool release) {
  const auto scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
  LPARAM parameter = 1 | (scan << 16);
  if (release) parameter |= (LPARAM{1} << 30) | (LPARAM{1} << 31);
  return parameter;
}

}  // namespace

std::optional<Process> Process::Launch(const std::wstring& program, const std::wstring& arguments) {
  std::wstring command_line = L"\"" + program + L"\"";
  if (!arguments.empty()) command_line += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &started)) {
    return std::nullopt;
  }
  CloseHandle(started.hThread);
  return Process(UniqueHandle(started.hProcess), started.dwProcessId);
}

Process::~Process() {
  if (process_ && IsRunning()) Terminate();
}

bool Process::IsRunning() const {
  return process_ && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::WaitForExit(Milliseconds limit) const {
  if (!process_) return std::nullopt;
  if (WaitForSingleObject(process_.Get(), static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.Get(), &code);
  return code;
}

void Process::Terminate() {
  if (!process_) return;
  TerminateProcess(process_.Get(), 1);
  WaitForSingleObject(process_.Get(), INFINITE);
}

std::wstring ToWindowsPath(std::string_view path) {
  std::wstring windows = Widen(path);
  if (!windows.empty() && windows.front() == L'/') {
    std::replace(windows.begin(), windows.end(), L'/', L'\\');
    windows.insert(0, L"Z:");
  }
  return windows;
}

std::wstring PathFromEnvironment(const wchar_t* variable) {
  const DWORD size = GetEnvironmentVariableW(variable, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  value.resize(GetEnvironmentVariableW(variable, value.data(), size));
  return ToWindowsPath(Narrow(value));
}

bool WaitUntil(const std::function<bool()>& condition, Milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(Milliseconds(20));
  }
}

HWND WaitForWindow(DWORD process, std::wstring_view caption, Milliseconds limit) {
  return WaitForTopLevel({.process = process, .caption = caption, .window_class = {}}, limit);
}

HWND WaitForDialog(DWORD process, Milliseconds limit) {
  return WaitForTopLevel({.process = process, .caption = {}, .window_class = L"#32770"}, limit);
}

HWND FindControl(HWND window, std::uint32_t number) {
  ControlSearch search{number, nullptr};
  EnumChildWindows(window, &MatchControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void PressKey(HWND window, UINT key) {
  HWND target = FocusOf(window);
  if (target == nullptr) target = window;
  PostMessageW(target, WM_KEYDOWN, key, KeyParameter(key, false));
  PostMessageW(target, WM_KEYUP, key, KeyParameter(key, true));
}

void CloseBySystemMenu(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

void Minimise(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0); }

void RequestClose(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }

bool SetText(HWND window, std::string_view utf8) {
  const std::wstring text = Widen(utf8);
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_ABORTIFHUNG, kAnswerMilliseconds, &result) != 0 &&
         result != 0;
}

std::string Text(HWND window) {
  DWORD_PTR length = 0;
  if (SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerMilliseconds,
                          &length) == 0) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                          SMTO_ABORTIFHUNG, kAnswerMilliseconds, &copied) == 0) {
    return {};
  }
  text.resize(std::min<std::size_t>(copied, length));
  return Narrow(text);
}

bool IsVisible(HWND window) { return IsWindowVisible(window) != FALSE; }

bool IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

int ProgressPosition(HWND progress_bar) {
  DWORD_PTR position = 0;
  SendMessageTimeoutW(progress_bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, kAnswerMilliseconds,
                      &position);
  return static_cast<int>(position);
}

HICON WindowIcon(HWND window, WPARAM which) {
  DWORD_PTR icon = 0;
  SendMessageTimeoutW(window, WM_GETICON, which, 0, SMTO_ABORTIFHUNG, kAnswerMilliseconds, &icon);
  return reinterpret_cast<HICON>(icon);
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

RECT ScreenRect(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

RECT PlaceInParent(HWND window) {
  RECT rect = ScreenRect(window);
  MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

HWND FileNameBox(HWND dialog) {
  HWND box = FindControl(dialog, kFileNameCombo);
  if (box == nullptr) return FindControl(dialog, kFileNameEdit);
  // The Explorer style's combo box edits through an edit box inside it.
  HWND edit = FindWindowExW(box, nullptr, L"Edit", nullptr);
  return edit != nullptr ? edit : box;
}

void PressDialogButton(HWND dialog, int id) {
  if (HWND button = GetDlgItem(dialog, id)) {
    Click(button);
  } else {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
  }
}

}  // namespace vorlune::ui_driver
