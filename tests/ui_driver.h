#pragma once

// Drives Win32 windows the way a user would, from outside the program or from another thread of
// the same process: find windows and controls, click, type keys, close, and read what shows.

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/gdi_win.h"

namespace vorlune::ui_driver {

using Milliseconds = std::chrono::milliseconds;
// How long a driver call waits for something to show, by default. Under Wine a program needs a
// few seconds to start.
inline constexpr Milliseconds kPatience{30000};

// A program started by the driver. A copy still running when this is destroyed is terminated, so
// that a failed test leaves nothing behind.
class Process {
 public:
  // Starts `program` (a Windows path) with `arguments`; empty when it cannot start.
  static std::optional<Process> Launch(const std::wstring& program,
                                       const std::wstring& arguments = {});

  Process(Process&&) noexcept = default;
  Process& operator=(Process&&) noexcept = default;
  ~Process();

  DWORD Id() const noexcept { return id_; }
  bool IsRunning() const;
  // The exit code once the process has ended, empty when it still runs after `limit`.
  std::optional<DWORD> WaitForExit(Milliseconds limit = kPatience) const;
  void Terminate();

 private:
  Process(UniqueHandle process, DWORD id) noexcept : process_(std::move(process)), id_(id) {}
  UniqueHandle process_;
  DWORD id_ = 0;
};

// The path held by an environment variable, as a Windows path: under Wine a Unix path ("/...")
// names the same file on drive Z:. Empty when the variable is not set.
std::wstring PathFromEnvironment(const wchar_t* variable);
std::wstring ToWindowsPath(std::string_view path);

// Polls `condition` until it holds or `limit` has passed; true when it held.
bool WaitUntil(const std::function<bool()>& condition, Milliseconds limit = kPatience);

// A visible top-level window of the process with exactly this caption; null after `limit`.
HWND WaitForWindow(DWORD process, std::wstring_view caption, Milliseconds limit = kPatience);
// A visible dialog box (class #32770) of the process; null after `limit`.
HWND WaitForDialog(DWORD process, Milliseconds limit = kPatience);

// A control anywhere below `window` by its number (its control ID); null when there is none.
HWND FindControl(HWND window, std::uint32_t number);
// The direct children of `parent`, topmost first.
std::vector<HWND> Children(HWND parent);

// Clicks a button: posted, so a modal dialog that its handler opens does not hold the driver up.
void Click(HWND button);
// Presses and releases a key (VK_RETURN, VK_ESCAPE, VK_TAB, ...) where the window's thread has
// its keyboard focus, or on the window itself when nothing there has the focus.
void PressKey(HWND window, UINT key);
// The Close command of the system menu (the close box sends the same).
void CloseBySystemMenu(HWND window);
// The Minimize command of the system menu.
void Minimise(HWND window);
// A plain close request.
void RequestClose(HWND window);
// Replaces the text of a control (an edit box, a dialog's file-name box).
bool SetText(HWND window, std::string_view utf8);

std::string Text(HWND window);  // UTF-8
bool IsVisible(HWND window);    // the window and all its parents
bool IsEnabled(HWND window);
int ProgressPosition(HWND progress_bar);
// ICON_BIG or ICON_SMALL. Wine answers this only for windows of the calling process.
HICON WindowIcon(HWND window, WPARAM which);
HWND FocusOf(HWND window);        // the keyboard focus of the window's thread
RECT ScreenRect(HWND window);     // outer rectangle, in screen coordinates
RECT PlaceInParent(HWND window);  // outer rectangle, in the parent's client area

// The file-name box of a file dialog, and its OK and Cancel buttons.
HWND FileNameBox(HWND dialog);
void PressDialogButton(HWND dialog, int id);  // IDOK or IDCANCEL

}  // namespace vorlune::ui_driver
