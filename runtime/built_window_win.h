#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/gdi_win.h"
#include "runtime/picture_win.h"
#include "runtime/window.h"
#include "runtime/window_description.h"

namespace vorlune {

// A window built from its description, with its controls, fonts, pictures and icons. Lives on the
// thread that built it; every member is for that thread only.
class BuiltWindow {
 public:
  using DestroyedCallback = void (*)(BuiltWindow& window);

  // Registers the top-level window class; true when it is available.
  static bool RegisterWindowClass(HINSTANCE instance);

  // The window and all its controls, hidden, at the centred place; null when any part of it cannot
  // be made. `destroyed` is told when the window goes away, by whatever means.
  static std::unique_ptr<BuiltWindow> Build(const WindowDescription& description,
                                            DestroyedCallback destroyed);
  // The built window behind one of its top-level handles; null for any other window.
  static BuiltWindow* FromHandle(HWND window) noexcept;

  // Only Build makes one.
  class Key {
    friend class BuiltWindow;
    Key() = default;
  };
  BuiltWindow(Key, const WindowDescription& description, DestroyedCallback destroyed);
  BuiltWindow(const BuiltWindow&) = delete;
  BuiltWindow& operator=(const BuiltWindow&) = delete;
  ~BuiltWindow();

  HWND Handle() const noexcept { return window_; }  // null once destroyed
  const WindowDescription& Description() const noexcept { return description_; }

  void FireEvent(std::uint32_t source, EventKind event);
  // Shows the window and gives the keyboard focus to its first control.
  void Show();
  void Destroy() noexcept;

  PropertyValue GetProperty(std::uint32_t control, int property);
  void SetProperty(std::uint32_t control, int property, const PropertyValue& value);
  bool ShowFileDialog(std::uint32_t control);

  // Tab, Enter and Esc for the controls of any built window; true when the key was used.
  static bool TranslateDialogKey(const MSG& message);

  // While blocked, the window refuses every request to close.
  static void SetCloseBlocked(bool blocked) noexcept;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT OnMessage(UINT message, WPARAM wparam, LPARAM lparam);

  bool CreateControls();
  HWND CreateControl(const ControlDescription& control, HWND parent, HFONT font);
  void StackControls();
  void ShowPage(int page);
  std::size_t IndexOf(std::uint32_t control) const;
  std::size_t IndexOf(HWND control) const;
  HWND ControlWindow(std::uint32_t control) const;
  void Paint();
  void OnActivate(bool active);
  void PressDefaultButton();
  void MoveFocus(bool backward);
  void FocusFirstControl();
  bool IsEnabledDefaultButton(std::size_t index) const;

  const WindowDescription& description_;
  DestroyedCallback destroyed_;
  std::optional<Picture> background_;
  std::optional<Picture> picture_box_picture_;
  std::vector<UniqueFont> fonts_;
  UniqueIcon large_icon_;
  UniqueIcon small_icon_;
  std::vector<HWND> controls_;             // by description index
  std::vector<std::string> dialog_names_;  // by dialog index
  int current_page_ = 0;
  HWND saved_focus_ = nullptr;
  HWND window_ = nullptr;
};

// Runs a routine on the thread of a built window and waits for it: SendMessage carries the call.
struct WindowCall {
  void (*run)(void* context, BuiltWindow& window);
  void* context;
};
UINT WindowCallMessage();
inline constexpr LRESULT kWindowCallDone = 0x564C4E;

}  // namespace vorlune
