#pragma once

#include <windows.h>

#include <optional>

namespace vorlune {

class Picture;

// Window classes of the run time's own windows.
inline constexpr wchar_t kTopWindowClass[] = L"Vorlune.Window";
inline constexpr wchar_t kLabelClass[] = L"Vorlune.Label";
inline constexpr wchar_t kPageContainerClass[] = L"Vorlune.Pages";
inline constexpr wchar_t kPictureBoxClass[] = L"Vorlune.PictureBox";
inline constexpr wchar_t kComponentClass[] = L"Vorlune.Component";

// Registers the classes of the child windows; true when all of them are available.
bool RegisterControlClasses(HINSTANCE instance);

struct LabelLook {
  HFONT font = nullptr;  // null: the default GUI font
  COLORREF text = RGB(0, 0, 0);
  std::optional<COLORREF> background;  // empty: the system's button-face colour
  bool word_wrap = false;
};
void SetLabelLook(HWND label, const LabelLook& look);

// The picture must outlive the box; null leaves the box in the button-face colour.
void SetPictureBoxPicture(HWND box, const Picture* picture);

// The colours that a window holding controls gives them through WM_CTLCOLOR*; empty for messages
// it leaves to the default window procedure.
std::optional<LRESULT> ControlColour(UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace vorlune
