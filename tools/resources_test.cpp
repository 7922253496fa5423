// The installer's own resources as Windows reads them: the icon it shows in Explorer and the
// title bar, the version block of its property sheet, and the manifest that selects Common
// Controls 6.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kExe[] = VORLUNE_SETUP_EXE;

struct ModuleFree {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Module = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

struct IconDestroy {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};

Module LoadAsData() {
  return Module(
      LoadLibraryExA(kExe, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
}

std::vector<std::uint8_t> Resource(HMODULE module, LPCSTR name, LPCSTR type) {
  HRSRC found = FindResourceA(module, name, type);
  if (!found) return {};
  const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
  return data ? std::vector<std::uint8_t>(data, data + SizeofResource(module, found))
              : std::vector<std::uint8_t>{};
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

TEST(Resources, IconOneIsTheCommittedIcon) {
  const Module exe = LoadAsData();
  ASSERT_TRUE(exe) << kExe;
  const auto group =
      Resource(exe.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14));  // RT_GROUP_ICON
  ASSERT_EQ(group.size(), 6 + sizeof(GroupIconEntry));
  GroupIconEntry entry;
  std::memcpy(&entry, group.data() + 6, sizeof entry);
  EXPECT_EQ(group[4], 1);  // one image
  EXPECT_EQ(entry.width, 32);
  EXPECT_EQ(entry.height, 32);
  EXPECT_EQ(entry.bit_count, 32);

  // The image is the .ico file's DIB, unchanged.
  std::ifstream ico(VORLUNE_ICON_FILE, std::ios::binary);
  const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(ico),
                                       std::istreambuf_iterator<char>()};
  ASSERT_EQ(file.size(), 4286u);
  const auto image =
      Resource(exe.get(), MAKEINTRESOURCEA(entry.id), MAKEINTRESOURCEA(3));  // RT_ICON
  EXPECT_TRUE(image == std::vector<std::uint8_t>(file.begin() + 22, file.end()));

  const std::unique_ptr<std::remove_pointer_t<HICON>, IconDestroy> icon(
      static_cast<HICON>(LoadImageA(exe.get(), MAKEINTRESOURCEA(1), IMAGE_ICON, 16, 16, 0)));
  EXPECT_TRUE(icon) << "the small icon is scaled from the one image";
}

std::string VersionString(const std::vector<char>& info, const char* key) {
  char* value = nullptr;
  UINT size = 0;
  const std::string path = std::string("\\StringFileInfo\\080404B0\\") + key;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &size) || !value)
    return "<missing>";
  return value;
}

TEST(Resources, VersionBlockReadsBack) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(kExe, &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(kExe, 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixed_size));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010005u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010005u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);

  WORD* translation = nullptr;
  UINT translation_size = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &translation_size));
  ASSERT_EQ(translation_size, 4u);
  EXPECT_EQ(translation[0], 0x0804);
  EXPECT_EQ(translation[1], 1200);

  EXPECT_EQ(VersionString(info, "FileVersion"), "1.5.0.0");
  EXPECT_EQ(VersionString(info, "ProductVersion"), "1.5.0.0");
  EXPECT_EQ(VersionString(info, "FileDescription"), "Vorlune Setup");
  EXPECT_EQ(VersionString(info, "ProductName"), "Vorlune Setup");
  EXPECT_EQ(VersionString(info, "Comments"), "Vorlune Setup");
}

struct ActCtxRelease {
  void operator()(HANDLE context) const { ReleaseActCtx(context); }
};

TEST(Resources, ManifestActivatesCommonControlsSix) {
  const Module exe = LoadAsData();
  ASSERT_TRUE(exe);
  const auto manifest =
      Resource(exe.get(), MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  const std::string text(manifest.begin(), manifest.end());
  EXPECT_NE(text.find("level=\"asInvoker\""), std::string::npos);
  EXPECT_NE(text.find("processorArchitecture=\"amd64\""), std::string::npos);

  // The loader builds an activation context from it, and comctl32 loaded inside that context is
  // the side-by-side version 6 assembly. (Wine's copy reports 5.81 from DllGetVersion, so the
  // assembly it came from is what tells.)
  ACTCTXA request{};
  request.cbSize = sizeof request;
  request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  request.lpSource = kExe;
  request.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE raw = CreateActCtxA(&request);
  ASSERT_NE(raw, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  const std::unique_ptr<void, ActCtxRelease> context(raw);
  ULONG_PTR cookie = 0;
  ASSERT_TRUE(ActivateActCtx(context.get(), &cookie));
  const Module comctl(LoadLibraryA("comctl32.dll"));
  DeactivateActCtx(0, cookie);
  ASSERT_TRUE(comctl);
  char path[MAX_PATH] = {};
  GetModuleFileNameA(comctl.get(), path, MAX_PATH);
  std::string lower(path);
  for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(lower.find("microsoft.windows.common-controls_6595b64144ccf1df_6.0."),
            std::string::npos)
      << path;
}

}  // namespace
