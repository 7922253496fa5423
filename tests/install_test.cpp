// Installation end to end: the real installer, its embedded archive, the desktop entries, and
// every way a run can fail.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/wide_win.h"
#include "tests/ui_driver.h"
#include "tests/wizard_session.h"
#include "ui/setup_window.h"

namespace vorlune {
namespace {

namespace fs = std::filesystem;
namespace ui = ui_driver;
using scenario::Page;
using scenario::ReadAll;
using scenario::ScratchFolder;
using scenario::Utf8;
using scenario::WizardSession;

constexpr char kTemporaryCopyName[] = "ifisfisjfisfjisajhduosajfiasj.tmp";

// What the shortcut holds, loaded back through COM.
struct Shortcut {
  std::string target, description, arguments, working_directory;
};

Shortcut LoadShortcut(const fs::path& path) {
  Shortcut shortcut;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return shortcut;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
      wchar_t text[MAX_PATH * 2] = {};
      link->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
      shortcut.target = Narrow(text);
      text[0] = 0;
      link->GetDescription(text, MAX_PATH * 2);
      shortcut.description = Narrow(text);
      text[0] = 0;
      link->GetArguments(text, MAX_PATH * 2);
      shortcut.arguments = Narrow(text);
      text[0] = 0;
      link->GetWorkingDirectory(text, MAX_PATH * 2);
      shortcut.working_directory = Narrow(text);
    }
    file->Release();
  }
  link->Release();
  return shortcut;
}

class InstallTest : public scenario::InstallScenario {
 protected:
  static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  static void TearDownTestSuite() { CoUninitialize(); }

  void ExpectDesktopEntriesFor(const fs::path& directory, const std::string& launcher_line) {
    const fs::path executable = directory / L"Vorlune1.5.exe";
    const Shortcut shortcut = LoadShortcut(scenario::ShortcutPath());
    EXPECT_EQ(shortcut.target, Utf8(executable));
    EXPECT_EQ(shortcut.description, "Vorlune1.5");
    EXPECT_EQ(shortcut.arguments, "");
    // The folder that holds the program, with or without a closing separator.
    std::string working = shortcut.working_directory;
    if (working.size() > 3 && working.back() == '\\') working.pop_back();
    EXPECT_EQ(working, Utf8(directory));
    // The command interpreter reads the launcher in the console's code page: no line end, no zero.
    const std::vector<char> bytes = ReadAll(scenario::LauncherPath());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), Utf8ToCodePage(launcher_line, CP_OEMCP));
  }
};

TEST_F(InstallTest, TheDefaultInstallPutsEverythingInPlace) {
  const fs::path directory = scenario::ApplicationData() / L"Vorlune1.5";
  std::error_code ignored;
  fs::remove_all(directory, ignored);
  WizardSession session;
  StartInstall(session);
  ExpectRunsToTheFinishedPage(session);
  ExpectInstalledIn(directory);
  ExpectDesktopEntriesFor(directory, "start " + Utf8(directory / L"Vorlune1.5.exe"));
  // The temporary copy is the archive, byte for byte, and stays.
  EXPECT_EQ(ReadAll(scenario::TemporaryFolder() / kTemporaryCopyName),
            ReadAll(ui::PathFromEnvironment(L"VORLUNE_PAYLOAD_ZIP")));
  Finish(session);
}

TEST_F(InstallTest, TypedDirectoriesWithBlanksMissingLevelsOrATrailingSeparator) {
  ScratchFolder scratch(L"vorlune-install-typed");
  struct Case {
    fs::path directory;
    std::string typed;
  };
  const fs::path blanks = scratch.Path() / L"with blanks" / L"新 文件夹" / L"deep";
  const fs::path trailing = scratch.Path() / L"trailing";
  for (const Case& c : {Case{blanks, Utf8(blanks)}, Case{trailing, Utf8(trailing) + "\\"}}) {
    SCOPED_TRACE(c.typed);
    WizardSession session;
    StartInstall(session, &c.typed);
    ExpectRunsToTheFinishedPage(session);
    ExpectInstalledIn(c.directory);
    const std::string executable = Utf8(c.directory / L"Vorlune1.5.exe");
    const bool quoted = c.typed.find(' ') != std::string::npos;
    ExpectDesktopEntriesFor(c.directory,
                            quoted ? "start \"\" \"" + executable + "\"" : "start " + executable);
    Finish(session);
  }
}

TEST_F(InstallTest, AReinstallReplacesEverythingAndDuplicatesNothing) {
  ScratchFolder scratch(L"vorlune-install-again");
  const std::string typed = Utf8(scratch.Path());
  {
    WizardSession session;
    StartInstall(session, &typed);
    ExpectRunsToTheFinishedPage(session);
    Finish(session);
  }
  std::ofstream(scratch.Path() / L"Vorlune1.5.exe", std::ios::binary) << "damaged by hand";
  {
    WizardSession session;
    StartInstall(session, &typed);
    ExpectRunsToTheFinishedPage(session);
    Finish(session);
  }
  ExpectInstalledIn(scratch.Path());
}

TEST_F(InstallTest, FailuresAreReportedAndTheLocationPageComesBack) {
  ScratchFolder scratch(L"vorlune-install-fail");
  const fs::path file = scratch.Path() / L"a file";
  std::ofstream(file) << "not a folder";
  struct Case {
    const char* what;
    std::string typed;
    std::string reason;
  };
  const Case cases[] = {
      {"an empty box", "", "安装位置"},
      {"an existing file", Utf8(file), Utf8(file)},
      {"a drive that does not exist", "Q:\\nowhere\\Vorlune", "Q:\\nowhere\\Vorlune"},
      {"a name Windows cannot hold", Utf8(scratch.Path()) + "\\bad|name", "bad|name"},
  };
  WizardSession session;
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.GoToLocationPage());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(session.SetTextOf(编辑框1, c.typed));
    session.Click(按钮3);
    ExpectReportedAndBackOnTheLocationPage(session, c.reason);
  }
  // The same window installs once a good place is chosen.
  const fs::path good = scratch.Path() / L"good";
  ASSERT_TRUE(session.SetTextOf(编辑框1, Utf8(good)));
  session.Click(按钮3);
  ExpectRunsToTheFinishedPage(session);
  ExpectInstalledIn(good);
  Finish(session);
}

TEST_F(InstallTest, AFileInUseStopsTheRunAndStaysIntact) {
  ScratchFolder scratch(L"vorlune-install-in-use");
  const std::string typed = Utf8(scratch.Path());
  {
    WizardSession session;
    StartInstall(session, &typed);
    ExpectRunsToTheFinishedPage(session);
    Finish(session);
  }
  scenario::RemoveDesktopEntries();
  const fs::path executable = scratch.Path() / L"Vorlune1.5.exe";
  const std::vector<char> before = ReadAll(executable);
  {
    // Held open by another program, without sharing.
    HANDLE held =
        CreateFileW(executable.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    WizardSession session;
    StartInstall(session, &typed);
    ExpectReportedAndBackOnTheLocationPage(session, "Vorlune1.5.exe");
    CloseHandle(held);
    EXPECT_EQ(ReadAll(executable), before);
    // Once the file is free, pressing 安装 again succeeds.
    session.Click(按钮3);
    ExpectRunsToTheFinishedPage(session);
    Finish(session);
  }
  ExpectInstalledIn(scratch.Path());
}

TEST_F(InstallTest, ADamagedInstallerWritesNothing) {
  ScratchFolder scratch(L"vorlune-install-damaged");
  const fs::path target = scratch.Path() / L"target";
  const std::string typed = Utf8(target);
  WizardSession session(L"VORLUNE_DAMAGED_SETUP_EXE");
  StartInstall(session, &typed);
  ExpectReportedAndBackOnTheLocationPage(session, "重新下载");
  EXPECT_FALSE(fs::exists(target));
  session.Click(按钮2);
  EXPECT_TRUE(session.WaitForExit());
}

TEST_F(InstallTest, ASecondStartAndACloseRequestDuringARunChangeNothing) {
  ScratchFolder scratch(L"vorlune-install-busy");
  const std::string typed = Utf8(scratch.Path());
  WizardSession session;
  ASSERT_TRUE(session.Started());
  ASSERT_TRUE(session.GoToLocationPage());
  ASSERT_TRUE(session.SetTextOf(编辑框1, typed));
  // All posted at once: the run starts with the first click, the rest arrive while it runs.
  HWND install = session.Control(按钮3);
  ui::Click(install);
  ui::RequestClose(session.Window());
  ui::Click(install);
  ui::PressKey(session.Window(), VK_ESCAPE);
  ui::PressKey(session.Window(), VK_RETURN);
  ExpectRunsToTheFinishedPage(session);
  EXPECT_TRUE(session.Process().IsRunning());
  EXPECT_EQ(session.CurrentPage(), Page::kFinished) << "the page moved past the finished page";
  ExpectInstalledIn(scratch.Path());
  // After the run the window closes as usual.
  ui::RequestClose(session.Window());
  const auto code = session.WaitForExit();
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0u);
}

TEST_F(InstallTest, TheLauncherStartsTheInstalledProgram) {
  ScratchFolder scratch(L"vorlune-install-launch");
  const std::string typed = Utf8(scratch.Path() / L"程序 目录");
  {
    WizardSession session;
    StartInstall(session, &typed);
    ExpectRunsToTheFinishedPage(session);
    Finish(session);
  }
  std::optional<ui::Process> shell = ui::Process::Launch(
      L"C:\\windows\\system32\\cmd.exe", L"/c \"" + scenario::LauncherPath().wstring() + L"\"");
  ASSERT_TRUE(shell);
  // The product shows its window; find it among all processes by its caption.
  HWND product = nullptr;
  ASSERT_TRUE(ui::WaitUntil([&] {
    product = FindWindowW(nullptr, L"Vorlune 1.5");
    return product != nullptr;
  })) << "the installed program does not come up";
  PostMessageW(product, WM_CLOSE, 0, 0);
  ui::WaitUntil([&] { return !IsWindow(product); });
  shell->WaitForExit();
}

}  // namespace
}  // namespace vorlune
