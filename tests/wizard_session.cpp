#include "tests/wizard_session.h"

#include <shlobj.h>

#include "runtime/wide_win.h"
#include "ui/setup_window.h"

namespace vorlune::scenario {

namespace ui = ui_driver;
namespace fs = std::filesystem;

fs::path KnownFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  return path;
}

fs::path ApplicationData() { return KnownFolder(CSIDL_APPDATA); }
fs::path Desktop() { return KnownFolder(CSIDL_DESKTOPDIRECTORY); }

fs::path TemporaryFolder() {
  wchar_t path[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, path);
  return fs::path(path).parent_path();
}

fs::path ShortcutPath() { return Desktop() / L"VorluneV1.5.lnk"; }
fs::path LauncherPath() { return Desktop() / L"VorluneV1.5.bat"; }

void RemoveDesktopEntries() {
  std::error_code ignored;
  fs::remove(ShortcutPath(), ignored);
  fs::remove(LauncherPath(), ignored);
}

ScratchFolder::ScratchFolder(std::wstring_view name) : path_(TemporaryFolder() / name) {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
  fs::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string Utf8(const fs::path& path) { return Narrow(path.wstring()); }

WizardSession::WizardSession(const wchar_t* variable) {
  const std::wstring program = ui::PathFromEnvironment(variable);
  if (program.empty()) {
    ADD_FAILURE() << "no installer named by the environment";
    return;
  }
  process_ = ui::Process::Launch(program);
  if (!process_) {
    ADD_FAILURE() << "the installer does not start";
    return;
  }
  window_ = ui::WaitForWindow(process_->Id(), L"Vorlune V1.5 Setup");
  if (window_ == nullptr) ADD_FAILURE() << "the setup window does not show";
}

HWND WizardSession::Control(std::uint32_t number) const {
  return window_ != nullptr ? ui::FindControl(window_, number) : nullptr;
}

Page WizardSession::CurrentPage() const {
  // Each page has one control that shows on it alone.
  struct Marker {
    Page page;
    std::uint32_t control;
  };
  for (const Marker marker : {Marker{Page::kWelcome, 按钮1}, Marker{Page::kLocation, 编辑框1},
                              Marker{Page::kProgress, 进度条1}, Marker{Page::kFinished, 标签8}}) {
    HWND control = Control(marker.control);
    if (control != nullptr && ui::IsVisible(control)) return marker.page;
  }
  return Page::kNone;
}

bool WizardSession::WaitForPage(Page page, ui::Milliseconds limit) const {
  return ui::WaitUntil([&] { return CurrentPage() == page; }, limit);
}

void WizardSession::Click(std::uint32_t button) const { ui::Click(Control(button)); }

std::string WizardSession::TextOf(std::uint32_t control) const {
  return ui::Text(Control(control));
}

bool WizardSession::SetTextOf(std::uint32_t control, std::string_view utf8) const {
  return ui::SetText(Control(control), utf8);
}

bool WizardSession::GoToLocationPage() const {
  Click(按钮1);
  return WaitForPage(Page::kLocation) && ui::WaitUntil([&] { return !TextOf(编辑框1).empty(); });
}

std::optional<std::string> WizardSession::DismissMessageBox(ui::Milliseconds limit) const {
  HWND box = ui::WaitForDialog(process_->Id(), limit);
  if (box == nullptr) return std::nullopt;
  // The message is the box's static text control.
  std::string message;
  for (HWND child : ui::Children(box)) {
    wchar_t kind[32] = {};
    GetClassNameW(child, kind, 32);
    if (std::wstring_view(kind) == L"Static" && !ui::Text(child).empty()) {
      message += ui::Text(child);
    }
  }
  ui::PressDialogButton(box, IDOK);
  ui::WaitUntil([&] { return !IsWindow(box); });
  return message;
}

}  // namespace vorlune::scenario
