#include "runtime/control_classes_win.h"

#include <string>

#include "runtime/gdi_win.h"
#include "runtime/picture_win.h"

namespace vorlune {

namespace {

// Label extra bytes, one LONG_PTR each.
constexpr int kLabelFontSlot = 0;
constexpr int kLabelTextColourSlot = 1;
constexpr int kLabelBackgroundSlot = 2;  // CLR_INVALID: button face
constexpr int kLabelWrapSlot = 3;
constexpr int kLabelSlots = 4;

constexpr int kPictureSlot = 0;

LONG_PTR GetSlot(HWND window, int slot) {
  return GetWindowLongPtrW(window, slot * static_cast<int>(sizeof(LONG_PTR)));
}

void SetSlot(HWND window, int slot, LONG_PTR value) {
  SetWindowLongPtrW(window, slot * static_cast<int>(sizeof(LONG_PTR)), value);
}

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

void PaintLabel(HWND label) {
  PaintScope paint(label);
  HDC dc = paint.Dc();
  RECT area{};
  GetClientRect(label, &area);

  const auto background = static_cast<COLORREF>(GetSlot(label, kLabelBackgroundSlot));
  if (background == CLR_INVALID) {
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
  } else {
    SetBkColor(dc, background);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
  }

  auto font = reinterpret_cast<HFONT>(GetSlot(label, kLabelFontSlot));
  if (font == nullptr) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SelectScope selected(dc, font);
  SetTextColor(dc, static_cast<COLORREF>(GetSlot(label, kLabelTextColourSlot)));
  SetBkMode(dc, TRANSPARENT);
  // A wrapping label reads from the top and keeps its own line breaks; every other label is one
  // line, centred vertically and cut off at its right edge rather than shortened.
  const UINT format = GetSlot(label, kLabelWrapSlot) != 0
                          ? DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX | DT_NOCLIP
                          : DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP;
  std::wstring text = WindowText(label);
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &area, format);
}

LRESULT CALLBACK LabelProc(HWND label, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers the whole label
    case WM_PAINT:
      PaintLabel(label);
      return 0;
    case WM_SETTEXT: {
      const LRESULT result = DefWindowProcW(label, message, wparam, lparam);
      InvalidateRect(label, nullptr, FALSE);
      return result;
    }
    case WM_SETFONT:
      SetSlot(label, kLabelFontSlot, static_cast<LONG_PTR>(wparam));
      if (LOWORD(lparam) != 0) InvalidateRect(label, nullptr, FALSE);
      return 0;
    case WM_GETFONT:
      return GetSlot(label, kLabelFontSlot);
    case WM_NCHITTEST:
      return HTTRANSPARENT;  // clicks go to what lies beneath, as on a static text
    default:
      return DefWindowProcW(label, message, wparam, lparam);
  }
}

// The page container only holds controls; what they report belongs to the window.
LRESULT CALLBACK PageContainerProc(HWND container, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT area{};
      GetClientRect(container, &area);
      FillRect(reinterpret_cast<HDC>(wparam), &area, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (HWND parent = GetParent(container)) return SendMessageW(parent, message, wparam, lparam);
      break;
    default:
      break;
  }
  return DefWindowProcW(container, message, wparam, lparam);
}

LRESULT CALLBACK PictureBoxProc(HWND box, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PaintScope paint(box);
      RECT area{};
      GetClientRect(box, &area);
      if (const auto* picture = reinterpret_cast<const Picture*>(GetSlot(box, kPictureSlot))) {
        picture->Draw(paint.Dc(), area);
      } else {
        FillRect(paint.Dc(), &area, GetSysColorBrush(COLOR_BTNFACE));
      }
      return 0;
    }
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    default:
      return DefWindowProcW(box, message, wparam, lparam);
  }
}

bool RegisterClassOnce(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, int slots,
                       UINT style) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.style = style;
  window_class.lpfnWndProc = procedure;
  window_class.cbWndExtra = slots * static_cast<int>(sizeof(LONG_PTR));
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = name;
  return RegisterClassExW(&window_class) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

bool RegisterControlClasses(HINSTANCE instance) {
  // Redrawn whole on resize: a label centres its text and a picture box stretches its picture.
  constexpr UINT kRedraw = CS_HREDRAW | CS_VREDRAW;
  return RegisterClassOnce(instance, kLabelClass, LabelProc, kLabelSlots, kRedraw) &&
         RegisterClassOnce(instance, kPageContainerClass, PageContainerProc, 0, 0) &&
         RegisterClassOnce(instance, kPictureBoxClass, PictureBoxProc, 1, kRedraw) &&
         RegisterClassOnce(instance, kComponentClass, DefWindowProcW, 0, 0);
}

void SetLabelLook(HWND label, const LabelLook& look) {
  SetSlot(label, kLabelFontSlot, reinterpret_cast<LONG_PTR>(look.font));
  SetSlot(label, kLabelTextColourSlot, static_cast<LONG_PTR>(look.text));
  SetSlot(label, kLabelBackgroundSlot,
          static_cast<LONG_PTR>(look.background.value_or(CLR_INVALID)));
  SetSlot(label, kLabelWrapSlot, look.word_wrap ? 1 : 0);
  InvalidateRect(label, nullptr, FALSE);
}

void SetPictureBoxPicture(HWND box, const Picture* picture) {
  SetSlot(box, kPictureSlot, reinterpret_cast<LONG_PTR>(picture));
  InvalidateRect(box, nullptr, FALSE);
}

std::optional<LRESULT> ControlColour(UINT message, WPARAM wparam, LPARAM /*lparam*/) {
  if (message != WM_CTLCOLOREDIT) return std::nullopt;
  // The edit box is black on white whatever the system's window colours are.
  auto dc = reinterpret_cast<HDC>(wparam);
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
}

}  // namespace vorlune
