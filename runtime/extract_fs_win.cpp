#include <windows.h>

#include <algorithm>
#include <utility>

#include "runtime/extract_fs.h"
#include "runtime/extract_win.h"
#include "runtime/wide_win.h"

namespace vorlune {

std::wstring WidePath(std::string_view path) {
  std::wstring wide = Widen(path);
  // Past MAX_PATH only the \\?\ form works, and it takes no relative parts or forward slashes:
  // the system makes the path full first.
  if (wide.size() < MAX_PATH - 12 || wide.starts_with(L"\\\\?\\")) return wide;
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return wide;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return wide;
  full.resize(length);
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace vorlune

namespace vorlune::extract {

namespace {

FsError LastError() {
  const DWORD code = GetLastError();
  return {static_cast<long>(code), SystemErrorText(code)};
}

// Whole reads and writes are split into pieces a DWORD can count.
constexpr std::size_t kLargestPiece = 1u << 30;

class WinSource final : public ArchiveSource {
 public:
  WinSource(UniqueHandle file, std::uint64_t size) : file_(std::move(file)), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    std::size_t done = 0;
    while (done < size) {
      // The offset travels with the read: no separate seek.
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(offset + done);
      at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
      DWORD got = 0;
      const auto piece = static_cast<DWORD>(std::min(size - done, kLargestPiece));
      if (!ReadFile(file_.Get(), static_cast<char*>(buffer) + done, piece, &got, &at) || got == 0) {
        break;
      }
      done += got;
    }
    return done;
  }

 private:
  UniqueHandle file_;
  std::uint64_t size_;
};

class WinOutput final : public OutputFile {
 public:
  explicit WinOutput(UniqueHandle file) : file_(std::move(file)) {}
  bool Write(const void* data, std::size_t size, FsError& error) override {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      DWORD put = 0;
      const auto piece = static_cast<DWORD>(std::min(size, kLargestPiece));
      if (!WriteFile(file_.Get(), bytes, piece, &put, nullptr)) {
        error = LastError();
        return false;
      }
      bytes += put;
      size -= put;
    }
    return true;
  }
  bool Finish(DosDateTime stamp, FsError& error) override {
    // Times and attributes in one call on the open handle. The DOS fields are local time, read
    // the way the system reads them; an invalid date leaves the times as they are (zero means
    // "unchanged" here), and FILE_ATTRIBUTE_NORMAL clears every other attribute.
    FILE_BASIC_INFO info{};
    FILETIME local{};
    FILETIME utc{};
    if (DosDateTimeToFileTime(stamp.date, stamp.time, &local) &&
        LocalFileTimeToFileTime(&local, &utc)) {
      info.CreationTime.LowPart = utc.dwLowDateTime;
      info.CreationTime.HighPart = static_cast<LONG>(utc.dwHighDateTime);
      info.LastAccessTime = info.CreationTime;
      info.LastWriteTime = info.CreationTime;
    }
    info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    if (!SetFileInformationByHandle(file_.Get(), FileBasicInfo, &info, sizeof info)) {
      error = LastError();
      return false;
    }
    if (!CloseHandle(file_.Release())) {
      error = LastError();
      return false;
    }
    return true;
  }

 private:
  UniqueHandle file_;
};

class WinFileSystem final : public FileSystem {
 public:
  OpenResult OpenArchive(const std::string& path, std::unique_ptr<ArchiveSource>& source,
                         FsError& error) override {
    UniqueHandle file(CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid()) {
      error = LastError();
      return error.code == ERROR_FILE_NOT_FOUND || error.code == ERROR_PATH_NOT_FOUND
                 ? OpenResult::kMissing
                 : OpenResult::kFailed;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) {
      error = LastError();
      return OpenResult::kFailed;
    }
    source =
        std::make_unique<WinSource>(std::move(file), static_cast<std::uint64_t>(size.QuadPart));
    return OpenResult::kOpened;
  }

  DirectoryResult MakeDirectory(const std::string& path, FsError& error) override {
    const std::wstring wide = WidePath(path);
    if (CreateDirectoryW(wide.c_str(), nullptr)) return DirectoryResult::kMade;
    error = LastError();
    if (error.code == ERROR_PATH_NOT_FOUND) return DirectoryResult::kMissingParent;
    // A drive's root refuses creation with "access denied" rather than "already exists".
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return DirectoryResult::kExists;
    }
    return DirectoryResult::kFailed;
  }

  CreateResult CreateNewFile(const std::string& path, std::unique_ptr<OutputFile>& file,
                             FsError& error) override {
    UniqueHandle handle(CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!handle.Valid()) {
      error = LastError();
      return error.code == ERROR_FILE_EXISTS || error.code == ERROR_ALREADY_EXISTS
                 ? CreateResult::kExists
                 : CreateResult::kFailed;
    }
    file = std::make_unique<WinOutput>(std::move(handle));
    return CreateResult::kCreated;
  }

  bool ReplaceFile(const std::string& from, const std::string& to, FsError& error) override {
    if (MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
      return true;
    }
    error = LastError();
    return false;
  }

  void RemoveFile(const std::string& path) override { DeleteFileW(WidePath(path).c_str()); }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static WinFileSystem file_system;
  return file_system;
}

// Archives made on Windows without the UTF-8 flag hold names in the maker's ANSI code page; this
// system's is the best guess, and the one the archive's own tools would have used.
std::string DecodeMemberName(std::string_view stored, bool utf8_flag) {
  return CodePageToUtf8(stored, utf8_flag ? CP_UTF8 : CP_ACP);
}

}  // namespace vorlune::extract
