// The window, control and thread services over Win32. Windows belong to the UI thread, the one
// that called InitRuntime; calls from other threads are carried to it with SendMessage.
#include "runtime/window.h"
#include "runtime/fatal_win.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <atomic>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "runtime/built_window_win.h"
#include "runtime/control_classes_win.h"
#include "runtime/gdi_win.h"
#include "runtime/wide_win.h"

namespace vorlune {

namespace {

constexpr char kStartupWindowFailure[] = "载入启动窗口失败";
constexpr char kOutOfMemory[] = "内存不足";

struct WindowSlot {
  const WindowDescription* description = nullptr;
  std::atomic<HWND> handle{nullptr};   // any thread; null while the window does not exist
  std::unique_ptr<BuiltWindow> built;  // UI thread only
};

struct Runtime {
  DWORD ui_thread = 0;
  std::vector<std::unique_ptr<WindowSlot>> slots;  // fixed once InitRuntime has returned
  std::vector<void (*)()> cleanup;
  bool loop_running = false;
};

Runtime& State() {
  static Runtime runtime;
  return runtime;
}

WindowSlot* FindSlot(std::uint32_t window) {
  for (const auto& slot : State().slots) {
    if (slot->description->number == window) return slot.get();
  }
  return nullptr;
}

std::wstring ErrorCaption() {
  const auto& slots = State().slots;
  return slots.empty() ? std::wstring() : Widen(slots.front()->description->caption);
}

}  // namespace

[[noreturn]] void FailFatally(std::string_view text) {
  State().cleanup.clear();
  MessageBoxW(nullptr, Widen(text).c_str(), ErrorCaption().c_str(),
              MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
  ExitProcess(static_cast<UINT>(-1));
}

namespace {

// Runs `work` with the built window on the window's own thread, directly when that is this
// thread. False, with nothing done, when the window does not exist (any more).
template <typename Work>
bool CallOnWindowThread(WindowSlot& slot, Work&& work) {
  HWND window = slot.handle.load();
  if (window == nullptr) return false;
  using Stored = std::remove_reference_t<Work>;
  WindowCall call{
      [](void* context, BuiltWindow& built) { (*static_cast<Stored*>(context))(built); },
      const_cast<void*>(static_cast<const void*>(&work))};
  // A window destroyed meanwhile makes SendMessage fail without calling anything.
  return SendMessageW(window, WindowCallMessage(), 0, reinterpret_cast<LPARAM>(&call)) ==
         kWindowCallDone;
}

template <typename Work>
bool CallOnWindowThread(std::uint32_t window, Work&& work) {
  WindowSlot* slot = FindSlot(window);
  return slot != nullptr && CallOnWindowThread(*slot, std::forward<Work>(work));
}

bool IsTextProperty(const WindowDescription& description, std::uint32_t control, int property) {
  for (const ControlDescription& described : description.controls) {
    if (described.number != control) continue;
    switch (described.kind) {
      case ControlKind::kEditBox:
        return property == kPropertyEditContent;
      case ControlKind::kButton:
        return property == kPropertyButtonCaption;
      case ControlKind::kCommonDialog:
        return property == kPropertyDialogFileName;
      default:
        return false;
    }
  }
  return false;
}

void OnWindowDestroyed(BuiltWindow& window) {
  Runtime& runtime = State();
  bool any_left = false;
  for (const auto& slot : runtime.slots) {
    HWND handle = slot->handle.load();
    if (handle == window.Handle()) {
      slot->handle = nullptr;
    } else if (handle != nullptr) {
      any_left = true;
    }
  }
  if (runtime.loop_running && !any_left) PostQuitMessage(0);
}

void MakeOwnFolderCurrent() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return;
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t separator = path.find_last_of(L"\\/");
  if (separator == std::wstring::npos) return;
  path.resize(separator + 1);
  SetCurrentDirectoryW(path.c_str());
}

DWORD WINAPI ThreadStart(void* routine) {
  reinterpret_cast<void (*)()>(routine)();
  return 0;
}

}  // namespace

void InitRuntime(std::initializer_list<const WindowDescription*> windows) {
  Runtime& runtime = State();
  runtime.ui_thread = GetCurrentThreadId();
  std::set_new_handler([] { FailFatally(kOutOfMemory); });
  MakeOwnFolderCurrent();
  OleInitialize(nullptr);

  INITCOMMONCONTROLSEX common_controls{sizeof common_controls,
                                       ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&common_controls);
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  BuiltWindow::RegisterWindowClass(instance);
  RegisterControlClasses(instance);

  for (const WindowDescription* description : windows) {
    if (description == nullptr || FindSlot(description->number) != nullptr) continue;
    auto slot = std::make_unique<WindowSlot>();
    slot->description = description;
    runtime.slots.push_back(std::move(slot));
  }
}

PropertyValue GetControlProperty(std::uint32_t window, std::uint32_t control, int property,
                                 int /*element*/) {
  PropertyValue value = std::int32_t{0};
  WindowSlot* slot = FindSlot(window);
  if (slot == nullptr) return value;
  if (IsTextProperty(*slot->description, control, property)) value = Text{};
  CallOnWindowThread(*slot,
                     [&](BuiltWindow& built) { value = built.GetProperty(control, property); });
  return value;
}

void SetControlProperty(std::uint32_t window, std::uint32_t control, int property, int /*element*/,
                        std::int32_t value) {
  CallOnWindowThread(window, [&](BuiltWindow& built) {
    built.SetProperty(control, property, PropertyValue{value});
  });
}

void SetControlProperty(std::uint32_t window, std::uint32_t control, int property, int /*element*/,
                        const Text& value) {
  CallOnWindowThread(window, [&](BuiltWindow& built) {
    built.SetProperty(control, property, PropertyValue{Text::Stored(value.View())});
  });
}

bool ShowFileDialog(std::uint32_t window, std::uint32_t control) {
  bool confirmed = false;
  CallOnWindowThread(window,
                     [&](BuiltWindow& built) { confirmed = built.ShowFileDialog(control); });
  return confirmed;
}

void ShowStartupWindow(std::uint32_t window) {
  WindowSlot* slot = FindSlot(window);
  if (slot == nullptr) FailFatally(kStartupWindowFailure);
  if (slot->handle.load() != nullptr) return;
  std::unique_ptr<BuiltWindow> built = BuiltWindow::Build(*slot->description, &OnWindowDestroyed);
  if (!built) FailFatally(kStartupWindowFailure);
  slot->built = std::move(built);
  slot->handle = slot->built->Handle();
  slot->built->FireEvent(window, EventKind::kCreated);
  slot->built->Show();
}

void RunMessageLoop() {
  Runtime& runtime = State();
  bool any_window = false;
  for (const auto& slot : runtime.slots) any_window = any_window || slot->handle.load() != nullptr;
  if (!any_window) return;

  runtime.loop_running = true;
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (BuiltWindow::TranslateDialogKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  runtime.loop_running = false;
}

void RegisterCleanup(void (*routine)()) {
  if (routine != nullptr) State().cleanup.push_back(routine);
}

void EndProgram(int code) {
  Runtime& runtime = State();
  if (runtime.ui_thread != 0 && GetCurrentThreadId() != runtime.ui_thread) {
    // The routines and the windows belong to the UI thread: end there while it still runs.
    for (const auto& slot : runtime.slots) {
      CallOnWindowThread(*slot, [code](BuiltWindow&) { EndProgram(code); });
    }
  }
  // Taken out first, so that they run once even if one of them ends the program again.
  const std::vector<void (*)()> routines = std::exchange(runtime.cleanup, {});
  for (void (*routine)() : routines) routine();
  for (const auto& slot : runtime.slots) {
    if (slot->built) slot->built->Destroy();
  }
  ExitProcess(static_cast<UINT>(code));
}

bool RunInThread(void (*routine)()) {
  if (routine == nullptr) return false;
  const UniqueHandle thread(
      CreateThread(nullptr, 0, &ThreadStart, reinterpret_cast<void*>(routine), 0, nullptr));
  return static_cast<bool>(thread);
}

void SetCloseBlocked(bool blocked) { BuiltWindow::SetCloseBlocked(blocked); }

void ShowErrorMessage(const Text& message) {
  const std::wstring text = Widen(message.View());
  for (const auto& slot : State().slots) {
    const bool shown = CallOnWindowThread(*slot, [&](BuiltWindow& built) {
      MessageBoxW(built.Handle(), text.c_str(), Widen(built.Description().caption).c_str(),
                  MB_OK | MB_ICONERROR);
    });
    if (shown) return;
  }
  MessageBoxW(nullptr, text.c_str(), ErrorCaption().c_str(), MB_OK | MB_ICONERROR);
}

bool ActivateRunningCopy(std::uint32_t window) {
  // Held until the process ends; one name per window and user session.
  static UniqueHandle instance_mutex;
  wchar_t name[64];
  wsprintfW(name, L"Local\\Vorlune.Setup.%08X", window);
  instance_mutex.Reset(CreateMutexW(nullptr, FALSE, name));
  const DWORD error = GetLastError();
  if (!instance_mutex || error != ERROR_ALREADY_EXISTS) return false;

  const WindowSlot* slot = FindSlot(window);
  const std::wstring caption = slot != nullptr ? Widen(slot->description->caption) : L"";
  // The other copy may still be building its window: give it a moment to appear.
  for (int attempt = 0; attempt < 30; ++attempt) {
    if (HWND other = FindWindowW(kTopWindowClass, caption.c_str())) {
      if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
      SetForegroundWindow(other);
      break;
    }
    Sleep(100);
  }
  return true;
}

}  // namespace vorlune
