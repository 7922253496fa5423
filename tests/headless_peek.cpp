// Tells a shell script where the wizard's controls are and what it installed, so that a headless
// run can click through the wizard with the real mouse and list the result:
//
//   headless_peek window           outer rectangle of the setup window: "x y width height"
//   headless_peek centre NUMBER    screen point at the middle of a control: "x y"
//   headless_peek page             the page showing: welcome, location, progress, finished
//   headless_peek installed        the installed files, the desktop entries and the launcher line
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "runtime/wide_win.h"
#include "tests/ui_driver.h"
#include "ui/setup_window.h"

namespace {

namespace fs = std::filesystem;
namespace ui = vorlune::ui_driver;

HWND SetupWindow() { return FindWindowW(nullptr, L"Vorlune V1.5 Setup"); }

fs::path ShellFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

void Print(const std::string& utf8) { std::fputs((utf8 + "\n").c_str(), stdout); }

void PrintFile(const fs::path& file) {
  Print("  " + vorlune::Narrow(file.wstring()) + "  (" + std::to_string(fs::file_size(file)) +
        " bytes)");
}

int ListInstalled() {
  const fs::path directory = ShellFolder(CSIDL_APPDATA) / L"Vorlune1.5";
  Print("installed into " + vorlune::Narrow(directory.wstring()) + ":");
  std::error_code error;
  for (const auto& entry : fs::recursive_directory_iterator(directory, error)) {
    if (entry.is_regular_file()) PrintFile(entry.path());
  }
  Print("on the desktop:");
  const fs::path desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
  for (const wchar_t* name : {L"VorluneV1.5.lnk", L"VorluneV1.5.bat"}) {
    if (fs::exists(desktop / name)) PrintFile(desktop / name);
  }
  std::ifstream launcher(desktop / L"VorluneV1.5.bat", std::ios::binary);
  const std::string line{std::istreambuf_iterator<char>(launcher), {}};
  Print("launcher line: " + vorlune::CodePageToUtf8(line, CP_OEMCP));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "installed") return ListInstalled();
  HWND window = SetupWindow();
  if (window == nullptr) return 1;
  if (command == "window") {
    const RECT r = ui::ScreenRect(window);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
  }
  if (command == "centre" && argc > 2) {
    HWND control =
        ui::FindControl(window, static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 0)));
    if (control == nullptr) return 1;
    const RECT r = ui::ScreenRect(control);
    std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    return 0;
  }
  if (command == "page") {
    struct Marker {
      const char* page;
      std::uint32_t control;
    };
    for (const Marker marker :
         {Marker{"welcome", vorlune::按钮1}, Marker{"location", vorlune::编辑框1},
          Marker{"progress", vorlune::进度条1}, Marker{"finished", vorlune::标签8}}) {
      HWND control = ui::FindControl(window, marker.control);
      if (control != nullptr && ui::IsVisible(control)) {
        Print(marker.page);
        return 0;
      }
    }
    return 1;
  }
  return 2;
}
