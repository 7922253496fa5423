#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <string>

#include "runtime/extract_win.h"
#include "runtime/failure.h"
#include "runtime/services.h"
#include "runtime/wide_win.h"

namespace vorlune {

namespace {

void FailWith(std::string what, DWORD error) {
  SetFailureReason(std::move(what) + "：" + SystemErrorText(error));
}

// The shell's folder for each of our folder codes.
int ShellFolderFor(int code) {
  switch (code) {
    case kDesktopDirectoryFolder:
      return CSIDL_DESKTOPDIRECTORY;
    case kApplicationDataFolder:
      return CSIDL_APPDATA;
    default:
      return -1;
  }
}

bool EndsInSeparator(std::wstring_view path) {
  return !path.empty() && (path.back() == L'\\' || path.back() == L'/');
}

}  // namespace

Text SpecialFolderPath(int code) {
  std::wstring path;
  if (code == kTemporaryFolder) {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) {
      FailWith("无法取得临时文件夹的路径", GetLastError());
      return Text::Owned("");
    }
    path.assign(buffer, length);
  } else {
    const int shell_folder = ShellFolderFor(code);
    if (shell_folder < 0) {
      SetFailureReason("未知的特殊文件夹（" + std::to_string(code) + "）");
      return Text::Owned("");
    }
    // The folder's path whether or not the folder is there; it is neither checked nor created.
    wchar_t buffer[MAX_PATH];
    const HRESULT result = SHGetFolderPathW(nullptr, shell_folder | CSIDL_FLAG_DONT_VERIFY, nullptr,
                                            SHGFP_TYPE_CURRENT, buffer);
    if (result != S_OK) {
      FailWith("无法取得特殊文件夹（" + std::to_string(code) + "）的路径",
               static_cast<DWORD>(result));
      return Text::Owned("");
    }
    path = buffer;
  }
  if (path.empty()) return Text::Owned("");
  if (!EndsInSeparator(path)) path.push_back(L'\\');
  return Text::Owned(Narrow(path));
}

bool MakeDirectory(const Text& path) {
  if (path.IsEmpty()) {
    SetFailureReason("文件夹的路径为空");
    return false;
  }
  if (CreateDirectoryW(WidePath(path.View()).c_str(), nullptr)) return true;
  FailWith("无法创建文件夹" + Quoted(path.View()), GetLastError());
  return false;
}

bool SaveBytesToFile(const Text& path, const ByteSet& bytes) {
  if (path.IsEmpty()) {
    SetFailureReason("文件的路径为空");
    return false;
  }
  UniqueHandle file(CreateFileW(WidePath(path.View()).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    FailWith("无法创建文件" + Quoted(path.View()), GetLastError());
    return false;
  }
  const std::span<const std::byte> data = bytes.Bytes();
  std::size_t done = 0;
  while (done < data.size()) {
    DWORD put = 0;
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 30));
    if (!WriteFile(file.Get(), data.data() + done, piece, &put, nullptr)) {
      FailWith("无法写入文件" + Quoted(path.View()), GetLastError());
      return false;
    }
    done += put;
  }
  if (!CloseHandle(file.Release())) {
    FailWith("无法写入文件" + Quoted(path.View()), GetLastError());
    return false;
  }
  return true;
}

bool FreeBytesOnVolume(const Text& path, std::uint64_t& free_bytes) {
  free_bytes = 0;
  std::wstring folder = Widen(AbsolutePath(path).View());
  // The folder may not exist yet (an install directory about to be made): ask about the nearest
  // one that does, climbing one level at a time; each step shortens the path.
  DWORD error = ERROR_PATH_NOT_FOUND;
  while (!folder.empty()) {
    if (!EndsInSeparator(folder)) folder.push_back(L'\\');
    ULARGE_INTEGER available{};
    if (GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr)) {
      free_bytes = available.QuadPart;
      return true;
    }
    error = GetLastError();
    folder.pop_back();
    const std::size_t cut = folder.find_last_of(L"\\/");
    if (cut == std::wstring::npos) break;
    folder.resize(cut + 1);
  }
  FailWith("无法得知" + Quoted(path.View()) + "所在磁盘的剩余空间", error);
  return false;
}

Text AbsolutePath(const Text& path) {
  if (path.IsEmpty()) return Text::Owned("");
  const std::wstring wide = Widen(path.View());
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    FailWith("无法取得" + Quoted(path.View()) + "的完整路径", GetLastError());
    return Text::Owned(std::string(path.View()));
  }
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) {
    FailWith("无法取得" + Quoted(path.View()) + "的完整路径", GetLastError());
    return Text::Owned(std::string(path.View()));
  }
  full.resize(length);
  return Text::Owned(Narrow(full));
}

}  // namespace vorlune
