#include "tests/wizard_session.h"

#include <shlobj.h>

#include <minizip/unzip.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>

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

std::vector<char> ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<std::string, Member> PayloadMembers() {
  std::map<std::string, Member> members;
  const std::string archive = Narrow(ui::PathFromEnvironment(L"VORLUNE_PAYLOAD_ZIP"));
  unzFile zip = unzOpen64(Utf8ToCodePage(archive, CP_ACP).c_str());
  if (zip == nullptr) return members;
  for (int at = unzGoToFirstFile(zip); at == UNZ_OK; at = unzGoToNextFile(zip)) {
    unz_file_info64 info{};
    char name[512] = {};
    unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0);
    members[CodePageToUtf8(name, CP_ACP)] = {static_cast<std::uint32_t>(info.crc),
                                             info.uncompressed_size, info.dosDate};
  }
  unzClose(zip);
  return members;
}

namespace {

std::uint32_t Crc32Of(const fs::path& path) {
  const std::vector<char> bytes = ReadAll(path);
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

FILETIME FileTimeFromDos(unsigned long dos) {
  FILETIME local{};
  FILETIME utc{};
  DosDateTimeToFileTime(static_cast<WORD>(dos >> 16), static_cast<WORD>(dos & 0xFFFF), &local);
  LocalFileTimeToFileTime(&local, &utc);
  return utc;
}

}  // namespace

void InstallScenario::SetUp() {
  RemoveDesktopEntries();
  members_ = PayloadMembers();
  ASSERT_TRUE(members_.contains("Vorlune1.5.exe")) << "VORLUNE_PAYLOAD_ZIP names no payload";
}

void InstallScenario::TearDown() { RemoveDesktopEntries(); }

void InstallScenario::StartInstall(WizardSession& session, const std::string* directory) {
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.GoToLocationPage());
  if (directory != nullptr) {
    ASSERT_TRUE(session.SetTextOf(编辑框1, *directory));
  }
  session.Click(按钮3);
}

void InstallScenario::ExpectRunsToTheFinishedPage(WizardSession& session) {
  std::vector<int> positions;
  std::vector<Page> pages;
  HWND progress = session.Control(进度条1);
  const bool finished = ui::WaitUntil([&] {
    const Page page = session.CurrentPage();
    if (pages.empty() || pages.back() != page) pages.push_back(page);
    const int position = ui::ProgressPosition(progress);
    if (positions.empty() || positions.back() != position) positions.push_back(position);
    return page == Page::kFinished;
  });
  ASSERT_TRUE(finished) << "the wizard does not reach the finished page";
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  for (const int position : positions) {
    EXPECT_TRUE(position == 0 || position == 20 || position == 40 || position == 70 ||
                position == 100)
        << position;
  }
  EXPECT_EQ(ui::ProgressPosition(progress), 100);
  for (const Page page : pages) {
    // kNone: between hiding one page's controls and showing the next one's.
    EXPECT_NE(page, Page::kWelcome);
  }
  EXPECT_EQ(pages.back(), Page::kFinished);
  EXPECT_EQ(session.TextOf(按钮2), "完成");
  EXPECT_TRUE(ui::IsEnabled(session.Control(按钮2)));
}

void InstallScenario::ExpectInstalledIn(const fs::path& directory) {
  std::set<std::string> found;
  for (const auto& entry : fs::directory_iterator(directory)) {
    found.insert(Narrow(entry.path().filename().wstring()));
  }
  for (const auto& [name, member] : members_) {
    SCOPED_TRACE(name);
    const fs::path file = directory / Widen(name);
    ASSERT_TRUE(fs::is_regular_file(file));
    EXPECT_EQ(fs::file_size(file), member.size);
    EXPECT_EQ(Crc32Of(file), member.crc);
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY),
              0u);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data));
    const FILETIME expected = FileTimeFromDos(member.dos_date);
    EXPECT_EQ(CompareFileTime(&data.ftLastWriteTime, &expected), 0);
    EXPECT_EQ(CompareFileTime(&data.ftCreationTime, &expected), 0);
    found.erase(name);
  }
  EXPECT_TRUE(found.empty()) << "files the archive does not hold: " << *found.begin();
}

void InstallScenario::ExpectNoDesktopEntries() {
  EXPECT_FALSE(fs::exists(ShortcutPath()));
  EXPECT_FALSE(fs::exists(LauncherPath()));
}

void InstallScenario::ExpectReportedAndBackOnTheLocationPage(
    WizardSession& session, std::initializer_list<std::string_view> reasons, std::string* shown) {
  const std::optional<std::string> message = session.DismissMessageBox();
  ASSERT_TRUE(message) << "the failure is not reported";
  if (shown != nullptr) *shown = *message;
  for (const std::string_view reason : reasons) {
    EXPECT_NE(message->find(reason), std::string::npos) << reason << " not in: " << *message;
  }
  ASSERT_TRUE(session.WaitForPage(Page::kLocation));
  EXPECT_EQ(ui::ProgressPosition(session.Control(进度条1)), 0);
  EXPECT_EQ(session.TextOf(按钮2), "取消");
  EXPECT_TRUE(ui::WaitUntil([&] { return ui::IsEnabled(session.Control(按钮2)); }));
  ExpectNoDesktopEntries();
}

void InstallScenario::Finish(WizardSession& session) {
  session.Click(按钮2);
  const auto code = session.WaitForExit();
  ASSERT_TRUE(code) << "完成 does not end the program";
  EXPECT_EQ(*code, 0u);
}

}  // namespace vorlune::scenario
