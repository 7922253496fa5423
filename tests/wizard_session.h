#pragma once

// One run of the real installer, driven from outside, with the folders it writes to.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

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

}  // namespace vorlune::scenario
