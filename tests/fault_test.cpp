// Faults from outside the installer: volumes that run out of room or take no file, a temporary
// folder that cannot hold the copy, files held by the running program, a desktop that is not
// there. Each time the reason shows, nothing passes for success, what was there before stays
// whole, and the wizard goes on working.
//
// The volumes are small file systems that tests/fault_volume.sh mounts and maps as drives of
// this test's own Wine prefix; it names them in VORLUNE_FAULT_* variables, or says in
// VORLUNE_FAULT_SKIP why there are none.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
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

constexpr wchar_t kTemporaryCopyName[] = L"ifisfisjfisfjisajhduosajfiasj.tmp";

void WriteFile(const fs::path& path, std::string_view bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Contents(const fs::path& path) {
  const std::vector<char> bytes = ReadAll(path);
  return {bytes.begin(), bytes.end()};
}

// What `folder` holds. The drive root of an empty volume has no entries at all, not even "." and
// "..", which std::filesystem's iterator under MinGW takes for an error.
std::vector<fs::path> Entries(const fs::path& folder) {
  std::vector<fs::path> entries;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW((folder / L"*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring_view name = found.cFileName;
    if (name != L"." && name != L"..") entries.push_back(folder / name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return entries;
}

// Every file below `folder`, by its path, with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const fs::path& entry : Entries(folder)) {
    if (fs::is_directory(entry)) {
      files.merge(Snapshot(entry));
    } else {
      files[Utf8(entry)] = Contents(entry);
    }
  }
  return files;
}

// What an interrupted replacement would leave: the engine's own temporary files.
std::vector<std::string> Leftovers(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& [path, bytes] : Snapshot(folder)) {
    if (fs::path(Widen(path)).filename().wstring().starts_with(L"~vorlune")) found.push_back(path);
  }
  return found;
}

std::string Kilobytes(std::uint64_t bytes, bool round_up) {
  return std::to_string((bytes + (round_up ? 1023 : 0)) / 1024) + " KB";
}

// TMP and TEMP of this process, and so of the installers it starts meanwhile.
class TemporaryFolderOverride {
 public:
  explicit TemporaryFolderOverride(const fs::path& folder) {
    for (const wchar_t* name : kNames) {
      wchar_t value[MAX_PATH] = {};
      const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
      saved_.emplace_back(length > 0 ? std::optional<std::wstring>(value) : std::nullopt);
      SetEnvironmentVariableW(name, folder.c_str());
    }
  }
  ~TemporaryFolderOverride() {
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
      SetEnvironmentVariableW(kNames[i], saved_[i] ? saved_[i]->c_str() : nullptr);
    }
  }
  TemporaryFolderOverride(const TemporaryFolderOverride&) = delete;
  TemporaryFolderOverride& operator=(const TemporaryFolderOverride&) = delete;

 private:
  static constexpr const wchar_t* kNames[] = {L"TMP", L"TEMP"};
  std::vector<std::optional<std::wstring>> saved_;
};

// The user's desktop folder moved elsewhere in the shell's settings, and moved back.
class DesktopOverride {
 public:
  explicit DesktopOverride(const fs::path& folder) {
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_) !=
        ERROR_SUCCESS) {
      ADD_FAILURE() << "no shell folder settings";
      key_ = nullptr;
      return;
    }
    DWORD size = sizeof saved_;
    had_value_ = RegQueryValueExW(key_, L"Desktop", nullptr, &saved_type_,
                                  reinterpret_cast<BYTE*>(saved_), &size) == ERROR_SUCCESS;
    saved_size_ = size;
    const std::wstring value = folder.wstring();
    RegSetValueExW(key_, L"Desktop", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  ~DesktopOverride() {
    if (key_ == nullptr) return;
    if (had_value_) {
      RegSetValueExW(key_, L"Desktop", 0, saved_type_, reinterpret_cast<const BYTE*>(saved_),
                     saved_size_);
    } else {
      RegDeleteValueW(key_, L"Desktop");
    }
    RegCloseKey(key_);
  }
  DesktopOverride(const DesktopOverride&) = delete;
  DesktopOverride& operator=(const DesktopOverride&) = delete;

 private:
  static constexpr wchar_t kKey[] =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  HKEY key_ = nullptr;
  bool had_value_ = false;
  DWORD saved_type_ = REG_NONE;
  DWORD saved_size_ = 0;
  wchar_t saved_[MAX_PATH * 2] = {};
};

class FaultTest : public scenario::InstallScenario {
 protected:
  // A session started with TMP and TEMP naming `temporary`.
  static std::optional<WizardSession> SessionWithTemporaryFolder(const fs::path& temporary) {
    TemporaryFolderOverride override(temporary);
    return std::optional<WizardSession>(std::in_place);
  }

  // From the location page, with the box holding a place that failed: another place, and the run
  // goes through.
  void ExpectAnotherPlaceInstalls(WizardSession& session, const fs::path& place) {
    ASSERT_TRUE(session.SetTextOf(编辑框1, Utf8(place)));
    session.Click(按钮3);
    ExpectRunsToTheFinishedPage(session);
    ExpectInstalledIn(place);
    Finish(session);
  }

  // The files are installed, the missing desktop entries are reported, and the wizard ends on the
  // finished page all the same; nothing was written where the desktop should be.
  void ExpectInstalledWithoutDesktopEntries(const fs::path& desktop, const fs::path& target) {
    const bool desktop_there = fs::exists(desktop);
    const auto before = desktop_there && fs::is_directory(desktop)
                            ? Snapshot(desktop)
                            : std::map<std::string, std::string>{};
    const std::string before_file =
        desktop_there && fs::is_regular_file(desktop) ? Contents(desktop) : "";
    const std::string typed = Utf8(target);
    std::optional<WizardSession> session;
    {
      DesktopOverride moved(desktop);
      session.emplace();
      StartInstall(*session, &typed);
      const std::optional<std::string> message = session->DismissMessageBox();
      ASSERT_TRUE(message) << "the missing desktop entries are not reported";
      for (const fs::path& entry :
           {desktop / L"VorluneV1.5.lnk", desktop / L"VorluneV1.5.bat", target}) {
        EXPECT_NE(message->find(Utf8(entry)), std::string::npos) << *message;
      }
      ExpectRunsToTheFinishedPage(*session);
    }
    ExpectInstalledIn(target);
    EXPECT_EQ(fs::exists(desktop), desktop_there) << "the desktop folder was made";
    if (desktop_there && fs::is_directory(desktop)) {
      EXPECT_EQ(Snapshot(desktop), before);
    }
    if (desktop_there && fs::is_regular_file(desktop)) {
      EXPECT_EQ(Contents(desktop), before_file);
    }
    Finish(*session);
  }
};

// Faults that need the volumes of tests/fault_volume.sh.
class VolumeFaultTest : public FaultTest {
 protected:
  void SetUp() override {
    wchar_t skip[1024] = {};
    if (GetEnvironmentVariableW(L"VORLUNE_FAULT_SKIP", skip, std::size(skip)) > 0) {
      GTEST_SKIP() << "no fault volumes: " << Narrow(skip);
    }
    if (Volume(L"VORLUNE_FAULT_TIGHT").empty()) {
      GTEST_SKIP() << "no fault volumes: run this test through tests/fault_volume.sh";
    }
    FaultTest::SetUp();
  }

  // The root of a mapped volume ("T:\"), emptied for the test.
  static fs::path Volume(const wchar_t* variable) {
    const std::wstring drive = ui::PathFromEnvironment(variable);
    if (drive.empty()) return {};
    const fs::path root = drive + L"\\";
    Empty(root);
    return root;
  }

  static void Empty(const fs::path& root) {
    std::error_code ignored;
    for (const fs::path& entry : Entries(root)) fs::remove_all(entry, ignored);
  }
};

TEST_F(VolumeFaultTest, TheTargetVolumeFillsUpDuringExtraction) {
  // Nine pages of room, one already taken: the eight left are more bytes than the members hold,
  // so the check before writing passes, but each file takes whole pages and the last member does
  // not fit. The page the volume already holds is a file that must come through unharmed: the
  // user's own, or an earlier version of the program that the new one would replace.
  const fs::path volume = Volume(L"VORLUNE_FAULT_TIGHT");
  const fs::path target = volume / L"Vorlune1.5";
  struct Case {
    const char* what;
    fs::path existing;
  };
  const Case cases[] = {
      {"a file of the user's beside the target", volume / L"mine" / L"notes.txt"},
      {"an earlier version in the target", target / L"Vorlune1.5.exe"},
  };
  ScratchFolder scratch(L"vorlune-fault-full");
  int attempt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    scenario::RemoveDesktopEntries();
    Empty(volume);
    WriteFile(c.existing, "there before the installer");
    const std::string typed = Utf8(target);
    WizardSession session;
    StartInstall(session, &typed);
    ExpectReportedAndBackOnTheLocationPage(
        session, {"无法将文件安装到", typed, "Vorlune1.5.exe", SystemErrorText(ERROR_DISK_FULL)});
    EXPECT_EQ(Contents(c.existing), "there before the installer");
    EXPECT_EQ(Leftovers(volume), std::vector<std::string>{});
    // A member that did not fit leaves nothing of itself.
    const fs::path executable = target / L"Vorlune1.5.exe";
    if (executable != c.existing) {
      EXPECT_FALSE(fs::exists(executable));
    }
    ExpectAnotherPlaceInstalls(session, scratch.Path() / std::to_wstring(++attempt));
  }
}

TEST_F(VolumeFaultTest, AVolumeTooSmallFromTheStartGetsNothingWritten) {
  // The check before writing catches it: the message says how much is needed and how much is
  // free, and neither the install directory nor the temporary copy is written.
  const fs::path small = Volume(L"VORLUNE_FAULT_SMALL");
  ScratchFolder scratch(L"vorlune-fault-small");
  std::uint64_t unpacked = 0;
  for (const auto& [name, member] : members_) unpacked += member.size;
  const std::uint64_t archive = fs::file_size(ui::PathFromEnvironment(L"VORLUNE_PAYLOAD_ZIP"));
  struct Case {
    const char* what;
    fs::path target;
    fs::path temporary;   // empty: the prefix's own
    std::uint64_t taken;  // bytes already on the small volume
    std::uint64_t needed;
  };
  const Case cases[] = {
      {"安装位置", small / L"Vorlune1.5", {}, 0, unpacked},
      // One page taken leaves a few bytes less than the archive.
      {"临时文件夹", scratch.Path() / L"target", small, 4096, archive},
  };
  int attempt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    scenario::RemoveDesktopEntries();
    Empty(small);
    if (c.taken > 0) WriteFile(small / L"taken", std::string(c.taken, 'x'));
    const fs::path copy =
        (c.temporary.empty() ? scenario::TemporaryFolder() : c.temporary) / kTemporaryCopyName;
    std::error_code ignored;
    fs::remove(copy, ignored);
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(small.c_str(), &free, nullptr, nullptr));
    ASSERT_LT(free.QuadPart, c.needed) << "the volume is not too small";

    std::optional<WizardSession> session = c.temporary.empty()
                                               ? std::optional<WizardSession>(std::in_place)
                                               : SessionWithTemporaryFolder(c.temporary);
    const std::string typed = Utf8(c.target);
    StartInstall(*session, &typed);
    ExpectReportedAndBackOnTheLocationPage(*session,
                                           {c.what, "需要 " + Kilobytes(c.needed, true),
                                            "只有 " + Kilobytes(free.QuadPart, false) + " 可用"});
    EXPECT_FALSE(fs::exists(c.target));
    EXPECT_FALSE(fs::exists(copy));
    EXPECT_EQ(Snapshot(small).size(), c.taken > 0 ? 1u : 0u);
    if (c.temporary.empty()) {
      ExpectAnotherPlaceInstalls(*session, scratch.Path() / std::to_wstring(++attempt));
    } else {
      // The temporary folder is the process's own; once there is room, the same window installs.
      fs::remove(small / L"taken");
      session->Click(按钮3);
      ExpectRunsToTheFinishedPage(*session);
      ExpectInstalledIn(c.target);
      Finish(*session);
    }
  }
}

TEST_F(FaultTest, ATemporaryFolderThatIsMissingOrAFile) {
  ScratchFolder scratch(L"vorlune-fault-temporary");
  const fs::path missing = scratch.Path() / L"no such folder";
  const fs::path file = scratch.Path() / L"a file";
  int attempt = 0;
  for (const fs::path& temporary : {missing, file}) {
    SCOPED_TRACE(Utf8(temporary));
    scenario::RemoveDesktopEntries();
    if (temporary == file) WriteFile(file, "not a folder");
    const fs::path target = scratch.Path() / std::to_wstring(++attempt);
    const std::string typed = Utf8(target);
    std::optional<WizardSession> session = SessionWithTemporaryFolder(temporary);
    StartInstall(*session, &typed);
    ExpectReportedAndBackOnTheLocationPage(
        *session, {"无法写入临时文件", Utf8(temporary), Narrow(kTemporaryCopyName)});
    EXPECT_FALSE(fs::exists(target)) << "installed without its archive";
    // Once the folder is there, pressing 安装 again goes through.
    fs::remove(temporary);
    fs::create_directories(temporary);
    session->Click(按钮3);
    ExpectRunsToTheFinishedPage(*session);
    ExpectInstalledIn(target);
    Finish(*session);
  }
}

TEST_F(VolumeFaultTest, ATemporaryFolderOnAVolumeThatTakesNoFile) {
  // Room to spare in bytes, so the check passes, but the copy cannot be created: a volume out of
  // file entries, and one mounted read-only (where even the superuser cannot write).
  struct Case {
    const char* what;
    fs::path volume;
    std::string reason;
  };
  const Case cases[] = {
      {"no file entries left", Volume(L"VORLUNE_FAULT_NO_ENTRIES"),
       SystemErrorText(ERROR_DISK_FULL)},
      {"read-only", Volume(L"VORLUNE_FAULT_READ_ONLY"), ""},
  };
  ScratchFolder scratch(L"vorlune-fault-no-entries");
  int attempt = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_FALSE(c.volume.empty());
    const fs::path target = scratch.Path() / std::to_wstring(++attempt);
    const std::string typed = Utf8(target);
    std::optional<WizardSession> session = SessionWithTemporaryFolder(c.volume);
    StartInstall(*session, &typed);
    ExpectReportedAndBackOnTheLocationPage(
        *session, {"无法写入临时文件", Utf8(c.volume), Narrow(kTemporaryCopyName), c.reason});
    EXPECT_FALSE(fs::exists(target));
    EXPECT_TRUE(Snapshot(c.volume).empty());
    // Still usable: it ends as usual.
    session->Click(按钮2);
    EXPECT_EQ(session->WaitForExit(), 0u);
  }
}

TEST_F(FaultTest, TheRunningProgramHoldsItsFilesDuringAReinstall) {
  ScratchFolder scratch(L"vorlune-fault-running");
  const std::string typed = Utf8(scratch.Path());
  {
    WizardSession session;
    StartInstall(session, &typed);
    ExpectRunsToTheFinishedPage(session);
    Finish(session);
  }
  scenario::RemoveDesktopEntries();
  const auto before = Snapshot(scratch.Path());

  // The installed program itself, running: its executable and the library it loaded are held.
  std::optional<ui::Process> program =
      ui::Process::Launch((scratch.Path() / L"Vorlune1.5.exe").wstring());
  ASSERT_TRUE(program);
  const HWND window = ui::WaitForWindow(program->Id(), L"Vorlune 1.5");
  ASSERT_NE(window, nullptr) << "the installed program does not come up";

  WizardSession session;
  StartInstall(session, &typed);
  std::string message;
  ExpectReportedAndBackOnTheLocationPage(session, {typed}, &message);
  EXPECT_TRUE(message.find("vorlune-core.dll") != std::string::npos ||
              message.find("Vorlune1.5.exe") != std::string::npos)
      << "the held file is not named: " << message;
  EXPECT_EQ(Snapshot(scratch.Path()), before) << "a held file was damaged, or a copy left behind";
  EXPECT_TRUE(program->IsRunning());

  // Once the program has ended, pressing 安装 again replaces everything.
  PostMessageW(window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(program->WaitForExit());
  session.Click(按钮3);
  ExpectRunsToTheFinishedPage(session);
  ExpectInstalledIn(scratch.Path());
  Finish(session);
}

TEST_F(FaultTest, ADesktopThatIsMissingOrAFile) {
  ScratchFolder scratch(L"vorlune-fault-desktop");
  const fs::path file = scratch.Path() / L"desktop file";
  WriteFile(file, "not a folder");
  ExpectInstalledWithoutDesktopEntries(scratch.Path() / L"no desktop", scratch.Path() / L"1");
  ExpectInstalledWithoutDesktopEntries(file, scratch.Path() / L"2");
}

TEST_F(VolumeFaultTest, ADesktopOnAReadOnlyVolume) {
  ScratchFolder scratch(L"vorlune-fault-read-only-desktop");
  ExpectInstalledWithoutDesktopEntries(Volume(L"VORLUNE_FAULT_READ_ONLY"), scratch.Path());
}

}  // namespace
}  // namespace vorlune
