#pragma once

#include <cstdint>
#include <initializer_list>
#include <variant>

#include "runtime/text.h"

namespace vorlune {

struct WindowDescription;

// Property numbers shared by every control kind.
inline constexpr int kPropertyDisabled = 6;
// Property numbers by kind.
inline constexpr int kPropertyEditContent = 8;        // 编辑框
inline constexpr int kPropertyDialogFileName = 10;    // 通用对话框
inline constexpr int kPropertyButtonCaption = 10;     // 按钮
inline constexpr int kPropertyCurrentPage = 12;       // 选择夹
inline constexpr int kPropertyProgressPosition = 13;  // 进度条
inline constexpr int kWholeProperty = -1;

// A property value: a 32-bit integer or a text (a read text is new and owned by the caller).
using PropertyValue = std::variant<std::int32_t, Text>;

// Prepares the run time: makes the program's own folder the current directory and initialises
// OLE on the calling (UI) thread. `windows` are the window descriptions the program carries.
void InitRuntime(std::initializer_list<const WindowDescription*> windows);

// Property access by window, control and property number; `element` is always -1. Callable from
// any thread: the access runs on the window's thread and is complete when the call returns. An
// access to a window that no longer exists does nothing and reads 0 or an absent text.
PropertyValue GetControlProperty(std::uint32_t window, std::uint32_t control, int property,
                                 int element);
void SetControlProperty(std::uint32_t window, std::uint32_t control, int property, int element,
                        std::int32_t value);
// The text is copied.
void SetControlProperty(std::uint32_t window, std::uint32_t control, int property, int element,
                        const Text& value);

// Shows the modal file dialog that the dialog control describes; true on OK, when property 10
// then holds the chosen full path; false on cancel, which leaves property 10 as it was.
bool ShowFileDialog(std::uint32_t window, std::uint32_t control);

// Builds the window from its description and shows it. A window that cannot be built is a fatal
// failure ("载入启动窗口失败").
void ShowStartupWindow(std::uint32_t window);

// Dispatches UI events until the quit request that follows the last window's destruction.
void RunMessageLoop();

// Registers a routine run once, on the UI thread, when the program ends; in registration order.
void RegisterCleanup(void (*routine)());

// Runs the registered routines, releases the windows and ends the process with `code`.
[[noreturn]] void EndProgram(int code);

// Starts a new thread at `routine`; its handle is released at once. False if it cannot start.
bool RunInThread(void (*routine)());

// While blocked, requests to close the window (close box, Close, Esc) are refused.
void SetCloseBlocked(bool blocked);

// Shows a modal error box over the window, from any thread; returns when the user closed it.
void ShowErrorMessage(const Text& message);

// If another copy of the program already shows its window, brings that window to the front and
// gives true: the caller then ends with code 0.
bool ActivateRunningCopy(std::uint32_t window);

}  // namespace vorlune
