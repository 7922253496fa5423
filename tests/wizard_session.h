#pragma once

// One run of the real installer, driven from outside, with the folders it writes to.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/ui_driver.h"

namespace vorlune::scenario {

// A known folder of the test's own Wine prefix, as the installer resolves it (no trailing
// separator).
std::filesystem::path KnownFolder(int csidl);
std::filesystem::path ApplicationData();
std::filesystem::path Desktop();
std::filesystem::path TemporaryFolder();

// The desktop shortcut and launcher the installer makes.
std::filesystem::path ShortcutPath();
std::filesystem::path LauncherPath();
void RemoveDesktopEntries();

// A fresh empty folder for one test, removed with everything in it at destruction.
class ScratchFolder {
 public:
  explicit ScratchFolder(std::wstring_view name);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string Utf8(const std::filesystem::path& path);

// The wizard's pages, told apart by what shows.
enum class Page { kWelcome, kLocation, kProgress, kFinished, kNone };

class WizardSession {
 public:
  // Starts the installer named by `variable` (VORLUNE_SETUP_EXE by default) and waits for its
  // window; check Started() before going on.
  explicit WizardSession(const wchar_t* variable = L"VORLUNE_SETUP_EXE");
  bool Started() const { return window_ != nullptr; }

  HWND Window() const { return window_; }
  HWND Control(std::uint32_t number) const;
  ui_driver::Process& Process() { return *process_; }

  Page CurrentPage() const;
  bool WaitForPage(Page page, ui_driver::Milliseconds limit = ui_driver::kPatience) const;

  void Click(std::uint32_t button) const;
  std::string TextOf(std::uint32_t control) const;
  bool SetTextOf(std::uint32_t control, std::string_view utf8) const;

  // "下一步" and wait for the location page with the box filled in.
  bool GoToLocationPage() const;
  // The message box the installer shows, its text, and OK pressed; empty when none showed.
  std::optional<std::string> DismissMessageBox(
      ui_driver::Milliseconds limit = ui_driver::kPatience) const;
  // The process's exit code after the user ended it, or empty when it keeps running.
  std::optional<DWORD> WaitForExit() { return process_->WaitForExit(); }

 private:
  std::optional<ui_driver::Process> process_;
  HWND window_ = nullptr;
};

std::vector<char> ReadAll(const std::filesystem::path& path);

// A member of the archive the installer carries (named by VORLUNE_PAYLOAD_ZIP).
struct Member {
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  unsigned long dos_date = 0;  // DOS date in the high word, time in the low word
};
std::map<std::string, Member> PayloadMembers();

// Whole installations: the payload's members at hand, and the checks every run makes.
class InstallScenario : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs the wizard to the location page, puts `directory` into the box (unless null) and
  // presses "安装".
  void StartInstall(WizardSession& session, const std::string* directory = nullptr);
  // Waits for the finished page, checking what the driver sees on the way.
  void ExpectRunsToTheFinishedPage(WizardSession& session);
  // Every member in place, byte for byte, with its time from the archive and normal attributes.
  void ExpectInstalledIn(const std::filesystem::path& directory);
  void ExpectNoDesktopEntries();
  // After a failed run: the reason was shown (the message holds each of `reasons`; the whole
  // message goes to `shown` when given), and the location page is back, ready for another try,
  // with no desktop entries made.
  void ExpectReportedAndBackOnTheLocationPage(WizardSession& session,
                                              std::initializer_list<std::string_view> reasons,
                                              std::string* shown = nullptr);
  void ExpectReportedAndBackOnTheLocationPage(WizardSession& session, std::string_view reason) {
    ExpectReportedAndBackOnTheLocationPage(session, {reason});
  }
  // "完成", and exit code 0.
  void Finish(WizardSession& session);

  std::map<std::string, Member> members_;
};

}  // namespace vorlune::scenario
