#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vorlune::extract {

// What the system said about a failed call: its own error code and its own words.
struct FsError {
  long code = 0;
  std::string text;
};

// A member's DOS date and time as stored in the archive, read as local time.
struct DosDateTime {
  std::uint16_t date = 0;
  std::uint16_t time = 0;
};

// Random-access reading of the archive.
class ArchiveSource {
 public:
  virtual ~ArchiveSource() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads up to `size` bytes at `offset`; fewer only at the end or on an error.
  virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

// A file being written. Destroying it closes it and leaves it where it is.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const void* data, std::size_t size, FsError& error) = 0;
  // Sets the file's times from `stamp`, makes its attributes normal and closes it.
  virtual bool Finish(DosDateTime stamp, FsError& error) = 0;
};

enum class OpenResult { kOpened, kMissing, kFailed };
enum class DirectoryResult { kMade, kExists, kMissingParent, kFailed };
enum class CreateResult { kCreated, kExists, kFailed };

// The file-system calls extraction makes, over paths in UTF-8 with the system's separator.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual OpenResult OpenArchive(const std::string& path, std::unique_ptr<ArchiveSource>& source,
                                 FsError& error) = 0;
  // One level. kExists only when a directory is there.
  virtual DirectoryResult MakeDirectory(const std::string& path, FsError& error) = 0;
  // Creates a file that must not exist yet, opened for writing by this process alone.
  virtual CreateResult CreateNewFile(const std::string& path, std::unique_ptr<OutputFile>& file,
                                     FsError& error) = 0;
  // Moves `from` over `to`, replacing it.
  virtual bool ReplaceFile(const std::string& from, const std::string& to, FsError& error) = 0;
  virtual void RemoveFile(const std::string& path) = 0;
};

// The system's own file system, separator and decoding of stored member names (UTF-8 when the
// archive says so, otherwise the system's legacy code page).
FileSystem& SystemFileSystem();
inline constexpr char kPathSeparator =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif
std::string DecodeMemberName(std::string_view stored, bool utf8_flag);

}  // namespace vorlune::extract
