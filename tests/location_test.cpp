// Choosing the install location: "下一步" fills in the default, "..." picks another place.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/ui_driver.h"
#include "tests/wizard_session.h"
#include "ui/setup_window.h"

namespace vorlune {
namespace {

namespace fs = std::filesystem;
namespace ui = ui_driver;
using scenario::Page;
using scenario::ScratchFolder;
using scenario::Utf8;
using scenario::WizardSession;

fs::path DefaultDirectory() { return scenario::ApplicationData() / L"Vorlune1.5"; }

// The installer's own folder, where a bare relative name would land.
fs::path InstallerFolder() {
  return fs::path(ui::PathFromEnvironment(L"VORLUNE_SETUP_EXE")).parent_path();
}

struct DialogSearch {
  DWORD process;
  HWND dialog;
  HWND found;
};

BOOL CALLBACK MatchOtherDialog(HWND window, LPARAM context) {
  auto& search = *reinterpret_cast<DialogSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t kind[16] = {};
  GetClassNameW(window, kind, 16);
  if (owner == search.process && window != search.dialog && IsWindowVisible(window) &&
      std::wstring_view(kind) == L"#32770") {
    search.found = window;
    return FALSE;
  }
  return TRUE;
}

// A visible dialog box of the process other than `dialog`: a prompt it raised.
HWND OtherDialogOf(DWORD process, HWND dialog) {
  DialogSearch search{process, dialog, nullptr};
  EnumWindows(&MatchOtherDialog, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class LocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(session_.Started());
    ASSERT_TRUE(session_.GoToLocationPage());
  }

  void TearDown() override {
    if (session_.Started() && session_.Process().IsRunning()) {
      session_.Click(按钮2);
      const auto code = session_.WaitForExit();
      ASSERT_TRUE(code) << "取消 does not end the program";
      EXPECT_EQ(*code, 0u);
    }
  }

  // Presses "...", fills the dialog's file-name box and confirms; answers the overwrite prompt.
  void ChooseInDialog(const fs::path& path) {
    session_.Click(按钮4);
    HWND dialog = ui::WaitForDialog(session_.Process().Id());
    ASSERT_NE(dialog, nullptr) << "the save-file dialog does not open";
    ASSERT_TRUE(ui::SetText(ui::FileNameBox(dialog), Utf8(path)));
    ui::PressDialogButton(dialog, IDOK);
    // Confirming an existing file asks whether to replace it: yes.
    ui::WaitUntil(
        [&] {
          if (!IsWindow(dialog)) return true;
          HWND prompt = OtherDialogOf(session_.Process().Id(), dialog);
          if (prompt != nullptr) ui::PressDialogButton(prompt, IDYES);
          return false;
        },
        ui::Milliseconds(15000));
    ASSERT_FALSE(IsWindow(dialog)) << "the dialog stays open";
  }

  void CancelDialog() {
    session_.Click(按钮4);
    HWND dialog = ui::WaitForDialog(session_.Process().Id());
    ASSERT_NE(dialog, nullptr) << "the save-file dialog does not open";
    ASSERT_EQ(ui::Text(ui::FileNameBox(dialog)), "Vorlune1.5") << "the proposed name";
    ui::PressDialogButton(dialog, IDCANCEL);
    ASSERT_TRUE(ui::WaitUntil([&] { return !IsWindow(dialog); }));
  }

  WizardSession session_;
};

TEST_F(LocationTest, NextFillsInAndCreatesTheDefaultDirectory) {
  EXPECT_EQ(session_.CurrentPage(), Page::kLocation);
  // One separator between the application-data folder and the name.
  EXPECT_EQ(session_.TextOf(编辑框1), Utf8(DefaultDirectory()));
  EXPECT_TRUE(fs::is_directory(DefaultDirectory()));
}

TEST_F(LocationTest, ASecondRunShowsTheSameDefaultWithoutComplaint) {
  // SetUp already ran the wizard once; the directory exists now.
  ASSERT_TRUE(fs::is_directory(DefaultDirectory()));
  session_.Click(按钮2);
  ASSERT_TRUE(session_.WaitForExit());
  WizardSession next;
  ASSERT_TRUE(next.Started());
  ASSERT_TRUE(next.GoToLocationPage());
  EXPECT_EQ(next.TextOf(编辑框1), Utf8(DefaultDirectory()));
  EXPECT_FALSE(next.DismissMessageBox(ui::Milliseconds(1000)))
      << "no message for an existing folder";
  next.Click(按钮2);
  const auto nextCode = next.WaitForExit();
  ASSERT_TRUE(nextCode);
  EXPECT_EQ(*nextCode, 0u);
}

TEST_F(LocationTest, AConfirmedNewPathIsCreatedAndShown) {
  ScratchFolder scratch(L"vorlune-location-new");
  const fs::path chosen = scratch.Path() / L"选择的位置";
  ChooseInDialog(chosen);
  EXPECT_TRUE(ui::WaitUntil([&] { return session_.TextOf(编辑框1) == Utf8(chosen); }))
      << session_.TextOf(编辑框1);
  EXPECT_TRUE(fs::is_directory(chosen));
}

TEST_F(LocationTest, AConfirmedExistingFileIsShownButNoDirectoryIsMade) {
  ScratchFolder scratch(L"vorlune-location-file");
  const fs::path file = scratch.Path() / L"existing.txt";
  std::ofstream(file) << "kept";
  ChooseInDialog(file);
  EXPECT_TRUE(ui::WaitUntil([&] { return session_.TextOf(编辑框1) == Utf8(file); }))
      << session_.TextOf(编辑框1);
  EXPECT_TRUE(fs::is_regular_file(file));
}

TEST_F(LocationTest, ATypedPathIsReplacedWhenTheDialogIsConfirmed) {
  ScratchFolder scratch(L"vorlune-location-typed");
  ASSERT_TRUE(session_.SetTextOf(编辑框1, "D:\\typed\\place"));
  const fs::path chosen = scratch.Path() / L"picked";
  ChooseInDialog(chosen);
  EXPECT_TRUE(ui::WaitUntil([&] { return session_.TextOf(编辑框1) == Utf8(chosen); }));
}

TEST_F(LocationTest, CancellingTheDialogChangesNothing) {
  std::error_code ignored;
  fs::remove(InstallerFolder() / L"Vorlune1.5", ignored);
  const std::string before = session_.TextOf(编辑框1);
  CancelDialog();
  EXPECT_EQ(session_.TextOf(编辑框1), before);
  EXPECT_FALSE(fs::exists(InstallerFolder() / L"Vorlune1.5"));

  ASSERT_TRUE(session_.SetTextOf(编辑框1, "D:\\typed by hand"));
  CancelDialog();
  EXPECT_EQ(session_.TextOf(编辑框1), "D:\\typed by hand");
  EXPECT_FALSE(fs::exists(InstallerFolder() / L"Vorlune1.5"));
}

}  // namespace
}  // namespace vorlune
