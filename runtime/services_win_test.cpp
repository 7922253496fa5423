// The file, shell and archive services against the real system (under Wine in the tests).
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "runtime/extract_test_data.h"
#include "runtime/extract_win.h"
#include "runtime/services.h"
#include "runtime/shell_win.h"
#include "runtime/wide_win.h"
#include "tools/zip_writer.h"

namespace vorlune {
namespace {

namespace fs = std::filesystem;
using testing::MixedData;
using testing::ReadFile;
using testing::WriteFile;

std::string Utf8(const fs::path& path) { return Narrow(path.wstring()); }
fs::path PathOf(std::string_view utf8) { return fs::path(Widen(utf8)); }

ByteSet BytesOf(std::string_view text) {
  std::vector<std::byte> bytes(text.size());
  std::memcpy(bytes.data(), text.data(), text.size());
  return ByteSet::Owned(std::move(bytes));
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

class ServicesWin : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    root_ = fs::temp_directory_path() / ("vorlune-services-" + std::to_string(random()));
    fs::create_directories(root_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  Text TextOf(const fs::path& path) const { return Text::Owned(Utf8(path)); }

  fs::path root_;
};

TEST_F(ServicesWin, SpecialFoldersAreTheShellsWithABackslash) {
  auto shell_folder = [](int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return Narrow(path) + "\\";
  };
  wchar_t temp[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, temp);
  struct Case {
    int code;
    std::string expected;
  };
  for (const Case& c : {Case{kDesktopDirectoryFolder, shell_folder(CSIDL_DESKTOPDIRECTORY)},
                        Case{kApplicationDataFolder, shell_folder(CSIDL_APPDATA)},
                        Case{kTemporaryFolder, Narrow(temp)}}) {
    const Text folder = SpecialFolderPath(c.code);
    EXPECT_EQ(folder.View(), c.expected) << c.code << ": " << LastFailureReason();
  }
  EXPECT_TRUE(SpecialFolderPath(5).IsEmpty()) << "an unknown code resolves to nothing";
}

TEST_F(ServicesWin, TemporaryCopyPathWithTwoBackslashesLandsInTheFolder) {
  const Text folder = SpecialFolderPath(kTemporaryFolder);
  const std::string name = "vorlune-copy-" + std::to_string(std::random_device{}()) + ".tmp";
  const Text path = JoinTexts({folder, "\\", std::string_view(name)});
  ASSERT_TRUE(SaveBytesToFile(path, BytesOf("PK"))) << LastFailureReason();
  const fs::path direct = PathOf(folder.View()) / PathOf(name);
  EXPECT_EQ(ReadFile(direct), "PK");
  fs::remove(direct);
}

TEST_F(ServicesWin, MakeDirectoryMakesOneLevel) {
  const fs::path one = root_ / L"一级";
  EXPECT_TRUE(MakeDirectory(TextOf(one)));
  EXPECT_TRUE(fs::is_directory(one));

  EXPECT_FALSE(MakeDirectory(TextOf(one)));  // exists
  EXPECT_TRUE(Contains(LastFailureReason(), Utf8(one))) << LastFailureReason();

  const fs::path deep = root_ / "missing" / "two";
  EXPECT_FALSE(MakeDirectory(TextOf(deep)));
  EXPECT_FALSE(fs::exists(root_ / "missing"));
  EXPECT_FALSE(MakeDirectory(Text()));
}

TEST_F(ServicesWin, SaveBytesToFileTruncatesAndRefusesWhatItCannotOpen) {
  const Text path = TextOf(root_ / L"副本.tmp");
  ASSERT_TRUE(SaveBytesToFile(path, BytesOf("0123456789")));
  ASSERT_TRUE(SaveBytesToFile(path, BytesOf("abc")));
  EXPECT_EQ(ReadFile(root_ / L"副本.tmp"), "abc");

  // The stored empty byte set: count 1, length 0.
  static constexpr unsigned char kEmpty[8] = {1, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_TRUE(SaveBytesToFile(path, ByteSet::Stored(kEmpty)));
  EXPECT_EQ(fs::file_size(root_ / L"副本.tmp"), 0u);

  EXPECT_FALSE(SaveBytesToFile(Text(), BytesOf("x")));
  EXPECT_FALSE(SaveBytesToFile(Text::Stored(""), BytesOf("x")));
  EXPECT_FALSE(SaveBytesToFile(TextOf(root_ / "missing" / "x.bat"), BytesOf("x")));
  EXPECT_TRUE(Contains(LastFailureReason(), "x.bat")) << LastFailureReason();
  EXPECT_FALSE(fs::exists(root_ / "missing"));
}

struct LinkContents {
  std::string path, description, arguments, working_directory;
};

LinkContents LoadLink(const fs::path& file) {
  ComApartment com;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> persist;
  LinkContents contents;
  if (FAILED(link.Create(CLSID_ShellLink)) || FAILED(link.As(persist)) ||
      FAILED(persist->Load(file.c_str(), STGM_READ))) {
    ADD_FAILURE() << "cannot load " << Utf8(file);
    return contents;
  }
  wchar_t buffer[INFOTIPSIZE];
  if (link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH) == S_OK)
    contents.path = Narrow(buffer);
  if (SUCCEEDED(link->GetDescription(buffer, INFOTIPSIZE))) contents.description = Narrow(buffer);
  if (SUCCEEDED(link->GetArguments(buffer, INFOTIPSIZE))) contents.arguments = Narrow(buffer);
  if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH))) {
    contents.working_directory = Narrow(buffer);
  }
  return contents;
}

TEST_F(ServicesWin, ShellLinkFromAThreadWithoutCom) {
  const fs::path folder = root_ / L"安装目录";
  fs::create_directories(folder);
  WriteFile(folder / "Vorlune1.5.exe", "MZ");
  const fs::path link = root_ / L"桌面" / "VorluneV1.5.lnk";
  fs::create_directories(link.parent_path());

  bool made = false;
  HRESULT afterwards = E_FAIL;
  std::string reason;
  std::thread worker([&] {
    made = MakeShellLink(TextOf(link), TextOf(folder / "Vorlune1.5.exe"),
                         Text::Stored("Vorlune1.5"), Text::Stored("--from-link"), TextOf(folder));
    reason = LastFailureReason();
    // What the service set up on this thread it also took down.
    afterwards = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(afterwards)) CoUninitialize();
  });
  worker.join();
  ASSERT_TRUE(made) << reason;
  EXPECT_EQ(afterwards, S_OK);

  const LinkContents contents = LoadLink(link);
  EXPECT_EQ(contents.path, Utf8(folder / "Vorlune1.5.exe"));
  EXPECT_EQ(contents.description, "Vorlune1.5");
  EXPECT_EQ(contents.arguments, "--from-link");
  EXPECT_EQ(contents.working_directory, Utf8(folder));

  // A second installation replaces the link.
  std::thread again([&] {
    made = MakeShellLink(TextOf(link), TextOf(folder / "Vorlune1.5.exe"), Text::Stored("第二次"),
                         Text(), TextOf(folder));
  });
  again.join();
  ASSERT_TRUE(made);
  EXPECT_EQ(LoadLink(link).description, "第二次");
  EXPECT_EQ(LoadLink(link).arguments, "");
}

TEST_F(ServicesWin, ShellLinkInAMultithreadedApartmentLeavesItAsItWas) {
  const fs::path link = root_ / "mta.lnk";
  bool made = false;
  HRESULT afterwards = E_FAIL;
  std::thread worker([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    made = MakeShellLink(TextOf(link), TextOf(root_ / "target.exe"), Text::Stored("mta"), Text(),
                         TextOf(root_));
    afterwards = CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // still multithreaded
    CoUninitialize();
    CoUninitialize();
  });
  worker.join();
  EXPECT_TRUE(made);
  EXPECT_EQ(afterwards, S_FALSE);
  EXPECT_EQ(LoadLink(link).description, "mta");
}

TEST_F(ServicesWin, ShellLinkNameWithoutAnyDotGetsTheExtension) {
  if (Contains(Utf8(root_), ".")) GTEST_SKIP() << "the temporary folder's path holds a dot";
  std::thread([&] {
    EXPECT_TRUE(
        MakeShellLink(TextOf(root_ / "Plain"), TextOf(root_ / "t.exe"), Text(), Text(), Text()));
  }).join();
  EXPECT_TRUE(fs::exists(root_ / "Plain.lnk"));
  EXPECT_FALSE(fs::exists(root_ / "Plain"));

  // Any dot counts, even one in a folder's name.
  fs::create_directories(root_ / "v1.5");
  std::thread([&] {
    EXPECT_TRUE(MakeShellLink(TextOf(root_ / "v1.5" / "Plain"), TextOf(root_ / "t.exe"), Text(),
                              Text(), Text()));
  }).join();
  EXPECT_TRUE(fs::exists(root_ / "v1.5" / "Plain"));
}

// Stored names as an archive made on a Chinese system holds them: code page 936, no UTF-8 flag.
std::string Cp936(std::string_view utf8) { return Utf8ToCodePage(utf8, 936); }

TEST_F(ServicesWin, ExtractsIntoAChinesePathWithCodePageNames) {
  fs::create_directories(root_ / L"压缩包");
  const fs::path archive = root_ / L"压缩包" / L"安装包.zip";
  ZipMember utf8_member("ユニコード.txt", "flagged");
  utf8_member.flags = 1 << 11;
  WriteFile(archive, WriteZip({
                         {Cp936("中文名.txt"), "gbk"},
                         {Cp936("说明/嘰.txt"), "trail byte 0x5C"},  // 嘰 is 0x87 0x5C
                         utf8_member,
                         {"Vorlune1.5.exe", MixedData(200'000, 1)},
                     }));
  const fs::path target = root_ / L"安装 目录" / L"子目录";

  ASSERT_EQ(ExtractArchive(TextOf(archive), TextOf(target)), 1) << LastFailureReason();
  EXPECT_EQ(ReadFile(target / L"中文名.txt"), "gbk");
  EXPECT_EQ(ReadFile(target / L"说明" / L"嘰.txt"), "trail byte 0x5C");
  EXPECT_EQ(ReadFile(target / L"ユニコード.txt"), "flagged");
  EXPECT_EQ(ReadFile(target / "Vorlune1.5.exe"), MixedData(200'000, 1));
  std::vector<std::wstring> names;
  for (const auto& entry : fs::directory_iterator(target)) {
    names.push_back(entry.path().filename().wstring());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"Vorlune1.5.exe", L"ユニコード.txt", L"中文名.txt",
                                              L"说明"}));
  // Wine shows every file as FILE_ATTRIBUTE_ARCHIVE, so only the others can be told here.
  const DWORD attributes = GetFileAttributesW((target / "Vorlune1.5.exe").c_str());
  EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            0u);
}

TEST_F(ServicesWin, ExtractResultsAndReasons) {
  const fs::path target = root_ / "out";
  EXPECT_EQ(ExtractArchive(TextOf(root_ / L"不存在.zip"), TextOf(target)), -1);
  EXPECT_TRUE(Contains(LastFailureReason(), "不存在.zip")) << LastFailureReason();
  EXPECT_EQ(ExtractArchive(Text(), TextOf(target)), -1);
  WriteFile(root_ / "a.zip", WriteZip({{"a.txt", "a"}}));
  EXPECT_EQ(ExtractArchive(TextOf(root_ / "a.zip"), Text()), -1);

  WriteFile(root_ / "text.zip", "not an archive");
  EXPECT_EQ(ExtractArchive(TextOf(root_ / "text.zip"), TextOf(target)), 0);
  EXPECT_TRUE(Contains(LastFailureReason(), "text.zip")) << LastFailureReason();
}

TEST_F(ServicesWin, FileInUseStopsExtractionAndStaysIntact) {
  const fs::path target = root_ / L"安装";
  fs::create_directories(target);
  WriteFile(target / "Vorlune1.5.exe", "the running program");
  WriteFile(root_ / "p.zip", WriteZip({{"first.txt", "first"},
                                       {"Vorlune1.5.exe", MixedData(300'000, 2)},
                                       {"after.txt", "after"}}));
  {
    // Open the way a running program's image is: others may read it, not write or delete it.
    UniqueHandle held(CreateFileW((target / "Vorlune1.5.exe").c_str(), GENERIC_READ,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid());
    EXPECT_EQ(ExtractArchive(TextOf(root_ / "p.zip"), TextOf(target)), 0);
    EXPECT_TRUE(Contains(LastFailureReason(), Utf8(target / "Vorlune1.5.exe")))
        << LastFailureReason();
  }
  EXPECT_EQ(ReadFile(target / "Vorlune1.5.exe"), "the running program");
  EXPECT_EQ(ReadFile(target / "first.txt"), "first");
  EXPECT_FALSE(fs::exists(target / "after.txt"));
  for (const auto& entry : fs::directory_iterator(target)) {
    EXPECT_FALSE(entry.path().filename().wstring().starts_with(L"~vorlune")) << Utf8(entry.path());
  }
}

TEST_F(ServicesWin, FreeBytesOfAFolderNotYetMade) {
  std::uint64_t free_bytes = 0;
  EXPECT_TRUE(FreeBytesOnVolume(TextOf(root_ / "not" / "yet" / "made"), free_bytes))
      << LastFailureReason();
  EXPECT_GT(free_bytes, 0u);
}

TEST_F(ServicesWin, AbsolutePathAgainstTheCurrentDirectory) {
  EXPECT_TRUE(AbsolutePath(Text()).IsEmpty());
  const Text absolute = TextOf(root_ / "x");
  EXPECT_EQ(AbsolutePath(absolute).View(), absolute.View());
  const std::string current = Utf8(fs::current_path());
  const Text relative = AbsolutePath(Text::Stored("sub\\file.txt"));
  EXPECT_EQ(relative.View(), Utf8(fs::current_path() / "sub" / "file.txt"));
  EXPECT_TRUE(relative.View().starts_with(current));
}

}  // namespace
}  // namespace vorlune
