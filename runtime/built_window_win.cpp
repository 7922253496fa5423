#include "runtime/built_window_win.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>

#include "runtime/control_classes_win.h"
#include "runtime/file_dialog_win.h"
#include "runtime/wide_win.h"

namespace vorlune {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);
constexpr int kSaveFileDialog = 1;

std::atomic<bool> close_blocked{false};
ATOM window_class_atom = 0;

bool IsComponent(ControlKind kind) {
  return kind == ControlKind::kCommonDialog || kind == ControlKind::kZip;
}

COLORREF ToColorRef(Colour colour) {
  return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

// No face name: the font mapper picks a face that can show the system language's text.
UniqueFont CreateDescribedFont(const FontDescription& font) {
  return UniqueFont(CreateFontW(-font.height, 0, 0, 0, font.weight, FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                PROOF_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L""));
}

HFONT DefaultGuiFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

std::wstring WindowText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// A read text is absent when empty.
PropertyValue TextValue(std::string utf8) {
  if (utf8.empty()) return Text{};
  return Text::Owned(std::move(utf8));
}

bool IsShown(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

}  // namespace

UINT WindowCallMessage() {
  static const UINT message = RegisterWindowMessageW(L"Vorlune.WindowCall");
  return message;
}

bool BuiltWindow::RegisterWindowClass(HINSTANCE instance) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = &BuiltWindow::Procedure;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = kTopWindowClass;
  // The background picture is stretched over the client area, so all of it changes on resize.
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  const ATOM atom = RegisterClassExW(&window_class);
  if (atom != 0) window_class_atom = atom;
  return window_class_atom != 0;
}

void BuiltWindow::SetCloseBlocked(bool blocked) noexcept { close_blocked = blocked; }

BuiltWindow::BuiltWindow(Key, const WindowDescription& description, DestroyedCallback destroyed)
    : description_(description),
      destroyed_(destroyed),
      controls_(description.controls.size(), nullptr),
      dialog_names_(description.dialogs.size()) {}

BuiltWindow::~BuiltWindow() { Destroy(); }

void BuiltWindow::Destroy() noexcept {
  if (window_ != nullptr) DestroyWindow(window_);
}

BuiltWindow* BuiltWindow::FromHandle(HWND window) noexcept {
  if (window == nullptr || window_class_atom == 0) return nullptr;
  if (GetClassLongPtrW(window, GCW_ATOM) != window_class_atom) return nullptr;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != GetCurrentProcessId()) return nullptr;
  return reinterpret_cast<BuiltWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

std::unique_ptr<BuiltWindow> BuiltWindow::Build(const WindowDescription& description,
                                                DestroyedCallback destroyed) {
  auto built = std::make_unique<BuiltWindow>(Key{}, description, destroyed);
  if (!description.background_png.empty()) {
    built->background_ = Picture::DecodePng(description.background_png);
    if (!built->background_) return nullptr;
  }
  if (!description.picture_box_png.empty()) {
    built->picture_box_picture_ = Picture::DecodePng(description.picture_box_png);
    if (!built->picture_box_picture_) return nullptr;
  }

  // The stored left and top are not used: the window opens centred on the screen.
  const Rect& place = description.stored_place;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - place.width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - place.height) / 2;
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  CreateWindowExW(WS_EX_APPWINDOW, kTopWindowClass, Widen(description.caption).c_str(),
                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, left,
                  top, place.width, place.height, nullptr, nullptr, instance, built.get());
  if (built->window_ == nullptr) return nullptr;

  if (description.icon_resource != 0) {
    const auto* name = MAKEINTRESOURCEW(description.icon_resource);
    built->large_icon_.Reset(static_cast<HICON>(LoadImageW(
        instance, name, IMAGE_ICON, GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    built->small_icon_.Reset(
        static_cast<HICON>(LoadImageW(instance, name, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                      GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(built->window_, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(built->large_icon_.Get()));
    SendMessageW(built->window_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(built->small_icon_.Get()));
  }

  if (!built->CreateControls()) return nullptr;
  built->StackControls();
  built->ShowPage(0);
  return built;
}

bool BuiltWindow::CreateControls() {
  const auto& controls = description_.controls;
  std::vector<HFONT> fonts(controls.size(), nullptr);
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].font.height == 0) continue;
    UniqueFont font = CreateDescribedFont(controls[i].font);
    if (!font) return false;
    fonts[i] = font.Get();
    fonts_.push_back(std::move(font));
  }

  // A control is made once its parent exists, whatever their order in the description.
  for (bool progress = true; progress;) {
    progress = false;
    for (std::size_t i = 0; i < controls.size(); ++i) {
      if (controls_[i] != nullptr) continue;
      const HWND parent =
          controls[i].parent == kNoParent ? window_ : ControlWindow(controls[i].parent);
      if (parent == nullptr) continue;
      controls_[i] = CreateControl(controls[i], parent, fonts[i]);
      if (controls_[i] == nullptr) return false;
      progress = true;
    }
  }
  return std::find(controls_.begin(), controls_.end(), nullptr) == controls_.end();
}

HWND BuiltWindow::CreateControl(const ControlDescription& control, HWND parent, HFONT font) {
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
  DWORD extended = 0;
  const wchar_t* window_class = kComponentClass;
  switch (control.kind) {
    case ControlKind::kLabel:
      window_class = kLabelClass;
      break;
    case ControlKind::kButton:
      window_class = WC_BUTTONW;
      style |= (control.default_button ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_CENTER |
               BS_VCENTER | BS_MULTILINE;
      break;
    case ControlKind::kEditBox:
      window_class = WC_EDITW;
      extended = WS_EX_CLIENTEDGE;
      style |= ES_LEFT | ES_AUTOHSCROLL;
      break;
    case ControlKind::kProgressBar:
      window_class = PROGRESS_CLASSW;
      extended = WS_EX_STATICEDGE;
      break;
    case ControlKind::kPictureBox:
      window_class = kPictureBoxClass;
      break;
    case ControlKind::kPageContainer:
      // Tab moves on into the pages' controls.
      window_class = kPageContainerClass;
      extended = WS_EX_CONTROLPARENT;
      style |= WS_CLIPCHILDREN;
      break;
    case ControlKind::kCommonDialog:
    case ControlKind::kZip:
      // Components have a window only so that they can be addressed like any control.
      break;
  }
  if (control.tab_stop) style |= WS_TABSTOP;

  const Rect& place = control.place;
  HWND window = CreateWindowExW(extended, window_class, Widen(control.text).c_str(), style,
                                place.left, place.top, place.width, place.height, parent,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(control.number)),
                                GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return nullptr;

  switch (control.kind) {
    case ControlKind::kLabel: {
      LabelLook look;
      look.font = font;
      look.text = ToColorRef(control.text_colour);
      look.word_wrap = control.word_wrap;
      if (control.background != kSystemButtonFace) look.background = ToColorRef(control.background);
      SetLabelLook(window, look);
      break;
    }
    case ControlKind::kEditBox:
      SendMessageW(window, EM_SETLIMITTEXT, 0, 0);  // 0: as much as the system allows
      [[fallthrough]];
    case ControlKind::kButton:
      SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : DefaultGuiFont()),
                   FALSE);
      break;
    case ControlKind::kProgressBar:
      SendMessageW(window, PBM_SETRANGE32, 0, 100);
      SendMessageW(window, PBM_SETPOS, 0, 0);
      break;
    case ControlKind::kPictureBox:
      if (control.number == description_.picture_box && picture_box_picture_) {
        SetPictureBoxPicture(window, &*picture_box_picture_);
      }
      break;
    case ControlKind::kPageContainer:
    case ControlKind::kCommonDialog:
    case ControlKind::kZip:
      break;
  }
  return window;
}

void BuiltWindow::StackControls() {
  // Each control goes below the ones before it: the first control ends up topmost.
  for (HWND control : controls_) {
    SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOREDRAW);
  }
  // Controls of no page follow their own visible setting from the start.
  const auto& controls = description_.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const bool on_a_page =
        std::any_of(description_.pages.begin(), description_.pages.end(), [&](const auto& page) {
          return std::find(page.begin(), page.end(), controls[i].number) != page.end();
        });
    if (!on_a_page && controls[i].visible && !IsComponent(controls[i].kind)) {
      ShowWindow(controls_[i], SW_SHOWNA);
    }
  }
}

void BuiltWindow::ShowPage(int page) {
  current_page_ = page;
  const auto& pages = description_.pages;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (static_cast<int>(p) == page) continue;
    for (std::uint32_t number : pages[p]) {
      HWND control = ControlWindow(number);
      if (control != nullptr && IsShown(control)) ShowWindow(control, SW_HIDE);
    }
  }
  if (page < 0 || static_cast<std::size_t>(page) >= pages.size()) return;
  for (std::uint32_t number : pages[static_cast<std::size_t>(page)]) {
    const std::size_t index = IndexOf(number);
    if (index == kNone) continue;
    const ControlDescription& control = description_.controls[index];
    // SW_SHOWNA: a page change neither activates a control nor moves the focus.
    if (control.visible && !IsComponent(control.kind)) ShowWindow(controls_[index], SW_SHOWNA);
  }
}

std::size_t BuiltWindow::IndexOf(std::uint32_t control) const {
  const auto& controls = description_.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    if (controls[i].number == control) return i;
  }
  return kNone;
}

std::size_t BuiltWindow::IndexOf(HWND control) const {
  if (control == nullptr) return kNone;
  const auto found = std::find(controls_.begin(), controls_.end(), control);
  return found == controls_.end() ? kNone : static_cast<std::size_t>(found - controls_.begin());
}

HWND BuiltWindow::ControlWindow(std::uint32_t control) const {
  const std::size_t index = IndexOf(control);
  return index == kNone ? nullptr : controls_[index];
}

void BuiltWindow::FireEvent(std::uint32_t source, EventKind event) {
  for (const EventBinding& binding : description_.events) {
    if (binding.source == source && binding.event == event && binding.handler != nullptr) {
      binding.handler();
    }
  }
}

void BuiltWindow::Show() {
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
  HWND focus = GetFocus();
  if (focus == nullptr || (focus != window_ && !IsChild(window_, focus))) FocusFirstControl();
}

PropertyValue BuiltWindow::GetProperty(std::uint32_t control, int property) {
  const std::size_t index = IndexOf(control);
  if (index == kNone || controls_[index] == nullptr) return std::int32_t{0};
  HWND window = controls_[index];
  if (property == kPropertyDisabled) return std::int32_t{IsWindowEnabled(window) ? 0 : 1};

  switch (description_.controls[index].kind) {
    case ControlKind::kEditBox:
      if (property == kPropertyEditContent) return TextValue(Narrow(WindowText(window)));
      break;
    case ControlKind::kButton:
      if (property == kPropertyButtonCaption) return TextValue(Narrow(WindowText(window)));
      break;
    case ControlKind::kCommonDialog:
      if (property == kPropertyDialogFileName) {
        for (std::size_t d = 0; d < description_.dialogs.size(); ++d) {
          if (description_.dialogs[d].control == control) return TextValue(dialog_names_[d]);
        }
        return Text{};
      }
      break;
    case ControlKind::kPageContainer:
      if (property == kPropertyCurrentPage) return std::int32_t{current_page_};
      break;
    case ControlKind::kProgressBar:
      if (property == kPropertyProgressPosition) {
        return static_cast<std::int32_t>(SendMessageW(window, PBM_GETPOS, 0, 0));
      }
      break;
    default:
      break;
  }
  return std::int32_t{0};
}

void BuiltWindow::SetProperty(std::uint32_t control, int property, const PropertyValue& value) {
  const std::size_t index = IndexOf(control);
  if (index == kNone || controls_[index] == nullptr) return;
  HWND window = controls_[index];
  const std::int32_t* number = std::get_if<std::int32_t>(&value);
  const Text* text = std::get_if<Text>(&value);

  if (property == kPropertyDisabled) {
    if (number != nullptr) EnableWindow(window, *number == 0 ? TRUE : FALSE);
    return;
  }
  switch (description_.controls[index].kind) {
    case ControlKind::kEditBox:
      if (property == kPropertyEditContent && text != nullptr) {
        SetWindowTextW(window, Widen(text->View()).c_str());
      }
      break;
    case ControlKind::kButton:
      if (property == kPropertyButtonCaption && text != nullptr) {
        SetWindowTextW(window, Widen(text->View()).c_str());
      }
      break;
    case ControlKind::kCommonDialog:
      if (property == kPropertyDialogFileName && text != nullptr) {
        for (std::size_t d = 0; d < description_.dialogs.size(); ++d) {
          if (description_.dialogs[d].control == control) dialog_names_[d] = text->View();
        }
      }
      break;
    case ControlKind::kPageContainer:
      if (property == kPropertyCurrentPage && number != nullptr) {
        ShowPage(ClampPage(*number, static_cast<int>(description_.pages.size())));
      }
      break;
    case ControlKind::kProgressBar:
      if (property == kPropertyProgressPosition && number != nullptr) {
        SendMessageW(window, PBM_SETPOS, static_cast<WPARAM>(std::clamp(*number, 0, 100)), 0);
      }
      break;
    default:
      break;
  }
}

bool BuiltWindow::ShowFileDialog(std::uint32_t control) {
  for (std::size_t d = 0; d < description_.dialogs.size(); ++d) {
    const FileDialogDescription& dialog = description_.dialogs[d];
    if (dialog.control != control) continue;
    std::optional<std::wstring> chosen =
        AskFileName(window_, dialog.flags, Widen(dialog_names_[d]), dialog.type == kSaveFileDialog);
    if (!chosen) return false;
    dialog_names_[d] = Narrow(*chosen);
    return true;
  }
  return false;
}

bool BuiltWindow::IsEnabledDefaultButton(std::size_t index) const {
  const ControlDescription& control = description_.controls[index];
  HWND window = controls_[index];
  // IsWindowVisible also looks at the parents: a control of a page that is not showing is out.
  return control.kind == ControlKind::kButton && control.default_button && window != nullptr &&
         IsWindowVisible(window) && IsWindowEnabled(window);
}

void BuiltWindow::PressDefaultButton() {
  // The focused default button first, then the first one in stored order; never a hidden or
  // disabled one, whichever control holds the focus.
  std::size_t pressed = IndexOf(GetFocus());
  if (pressed == kNone || !IsEnabledDefaultButton(pressed)) {
    pressed = kNone;
    for (std::size_t i = 0; i < controls_.size() && pressed == kNone; ++i) {
      if (IsEnabledDefaultButton(i)) pressed = i;
    }
  }
  if (pressed != kNone) FireEvent(description_.controls[pressed].number, EventKind::kClicked);
}

void BuiltWindow::MoveFocus(bool backward) {
  HWND focus = GetFocus();
  if (focus == window_ || (focus != nullptr && !IsChild(window_, focus))) focus = nullptr;
  HWND next = GetNextDlgTabItem(window_, focus, backward ? TRUE : FALSE);
  if (next == nullptr) return;
  SetFocus(next);
  if ((SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) != 0) {
    SendMessageW(next, EM_SETSEL, 0, -1);
  }
}

void BuiltWindow::FocusFirstControl() {
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    if (IsEnabledDefaultButton(i)) {
      SetFocus(controls_[i]);
      return;
    }
  }
  HWND first = GetNextDlgTabItem(window_, nullptr, FALSE);
  SetFocus(first != nullptr ? first : window_);
}

void BuiltWindow::OnActivate(bool active) {
  if (!active) {
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(window_, focus)) saved_focus_ = focus;
    return;
  }
  // Back to the control that had the focus when the window was left, as a dialog does.
  if (saved_focus_ != nullptr && IsWindow(saved_focus_) && IsChild(window_, saved_focus_) &&
      IsWindowVisible(saved_focus_) && IsWindowEnabled(saved_focus_)) {
    SetFocus(saved_focus_);
  } else {
    FocusFirstControl();
  }
}

bool BuiltWindow::TranslateDialogKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || message.hwnd == nullptr) return false;
  const WPARAM key = message.wParam;
  if (key != VK_TAB && key != VK_RETURN && key != VK_ESCAPE) return false;
  HWND root = GetAncestor(message.hwnd, GA_ROOT);
  BuiltWindow* self = FromHandle(root);
  if (self == nullptr) return false;
  if (message.hwnd != root) {
    const LRESULT code =
        SendMessageW(message.hwnd, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&message));
    if ((code & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) != 0) return false;
    if (key == VK_TAB && (code & DLGC_WANTTAB) != 0) return false;
  }
  switch (key) {
    case VK_TAB:
      self->MoveFocus(GetKeyState(VK_SHIFT) < 0);
      break;
    case VK_RETURN:
      self->PressDefaultButton();
      break;
    default:
      // Esc asks to close, exactly as the close box does.
      SendMessageW(root, WM_CLOSE, 0, 0);
      break;
  }
  return true;
}

void BuiltWindow::Paint() {
  PaintScope paint(window_);
  RECT area{};
  GetClientRect(window_, &area);
  if (background_) {
    background_->Draw(paint.Dc(), area);
  } else {
    FillRect(paint.Dc(), &area, GetSysColorBrush(COLOR_BTNFACE));
  }
}

LRESULT CALLBACK BuiltWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  BuiltWindow* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<BuiltWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  } else {
    self = reinterpret_cast<BuiltWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    std::fill(self->controls_.begin(), self->controls_.end(), nullptr);
    return DefWindowProcW(window, message, wparam, lparam);
  }
  return self->OnMessage(message, wparam, lparam);
}

LRESULT BuiltWindow::OnMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WindowCallMessage()) {
    const auto* call = reinterpret_cast<const WindowCall*>(lparam);
    call->run(call->context, *this);
    return kWindowCallDone;
  }
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers the whole client area
    case WM_PAINT:
      Paint();
      return 0;
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && lparam != 0) {
        // The low word of wparam cannot hold a 32-bit control number; the button's own ID can.
        const std::size_t index = IndexOf(reinterpret_cast<HWND>(lparam));
        if (index != kNone && description_.controls[index].kind == ControlKind::kButton) {
          FireEvent(description_.controls[index].number, EventKind::kClicked);
        }
      }
      return 0;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (auto colour = ControlColour(message, wparam, lparam)) return *colour;
      break;
    case WM_ACTIVATE:
      if (HIWORD(wparam) == 0) {  // not while minimised
        OnActivate(LOWORD(wparam) != WA_INACTIVE);
        return 0;
      }
      break;
    case WM_CLOSE:
      if (!close_blocked) DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      if (destroyed_ != nullptr) destroyed_(*this);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

}  // namespace vorlune
