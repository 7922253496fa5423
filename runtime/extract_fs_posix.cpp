#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>

#include "runtime/extract_fs.h"

namespace vorlune::extract {

namespace {

FsError ErrorFrom(int code) {
  return {code, std::error_code(code, std::generic_category()).message()};
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

class PosixSource final : public ArchiveSource {
 public:
  PosixSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    std::size_t done = 0;
    while (done < size) {
      const ssize_t got = ::pread(fd_.Get(), static_cast<char*>(buffer) + done, size - done,
                                  static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

 private:
  Descriptor fd_;
  std::uint64_t size_;
};

// The DOS fields hold local time, as the system that wrote the archive kept it. Members mostly
// share a few stamps, and mktime looks at the time zone file on every call: the last answer is
// kept.
timespec FromDosDateTime(DosDateTime stamp) {
  thread_local DosDateTime last_stamp{0xFFFF, 0xFFFF};
  thread_local timespec last_time{};
  if (stamp.date == last_stamp.date && stamp.time == last_stamp.time) return last_time;
  std::tm local{};
  local.tm_year = ((stamp.date >> 9) & 0x7F) + 80;
  local.tm_mon = ((stamp.date >> 5) & 0x0F) - 1;
  local.tm_mday = stamp.date & 0x1F;
  local.tm_hour = (stamp.time >> 11) & 0x1F;
  local.tm_min = (stamp.time >> 5) & 0x3F;
  local.tm_sec = (stamp.time & 0x1F) * 2;
  local.tm_isdst = -1;
  last_stamp = stamp;
  last_time = {std::mktime(&local), 0};
  return last_time;
}

class PosixOutput final : public OutputFile {
 public:
  explicit PosixOutput(int fd) : fd_(fd) {}
  bool Write(const void* data, std::size_t size, FsError& error) override {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      const ssize_t put = ::write(fd_.Get(), bytes, size);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        error = ErrorFrom(put < 0 ? errno : ENOSPC);
        return false;
      }
      bytes += put;
      size -= static_cast<std::size_t>(put);
    }
    return true;
  }
  bool Finish(DosDateTime stamp, FsError& error) override {
    const timespec when = FromDosDateTime(stamp);
    const timespec times[2] = {when, when};
    if (when.tv_sec != static_cast<std::time_t>(-1) && ::futimens(fd_.Get(), times) != 0) {
      error = ErrorFrom(errno);
      return false;
    }
    // A failing close may be the first word of a failed write (NFS, quotas).
    if (::close(fd_.Release()) != 0) {
      error = ErrorFrom(errno);
      return false;
    }
    return true;
  }

 private:
  Descriptor fd_;
};

class PosixFileSystem final : public FileSystem {
 public:
  OpenResult OpenArchive(const std::string& path, std::unique_ptr<ArchiveSource>& source,
                         FsError& error) override {
    Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
      const int code = errno;
      error = ErrorFrom(code);
      return code == ENOENT || code == ENOTDIR ? OpenResult::kMissing : OpenResult::kFailed;
    }
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) {
      error = ErrorFrom(errno);
      return OpenResult::kFailed;
    }
    if (!S_ISREG(info.st_mode)) {
      error = ErrorFrom(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
      return OpenResult::kFailed;
    }
    source = std::make_unique<PosixSource>(fd.Release(), static_cast<std::uint64_t>(info.st_size));
    return OpenResult::kOpened;
  }

  DirectoryResult MakeDirectory(const std::string& path, FsError& error) override {
    if (::mkdir(path.c_str(), 0777) == 0) return DirectoryResult::kMade;
    const int code = errno;
    if (code == ENOENT) {
      error = ErrorFrom(code);
      return DirectoryResult::kMissingParent;
    }
    if (IsDirectory(path)) return DirectoryResult::kExists;
    error = ErrorFrom(code == EEXIST ? ENOTDIR : code);
    return DirectoryResult::kFailed;
  }

  CreateResult CreateNewFile(const std::string& path, std::unique_ptr<OutputFile>& file,
                             FsError& error) override {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
      const int code = errno;
      error = ErrorFrom(code);
      return code == EEXIST ? CreateResult::kExists : CreateResult::kFailed;
    }
    file = std::make_unique<PosixOutput>(fd);
    return CreateResult::kCreated;
  }

  bool ReplaceFile(const std::string& from, const std::string& to, FsError& error) override {
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    error = ErrorFrom(errno);
    return false;
  }

  void RemoveFile(const std::string& path) override { ::unlink(path.c_str()); }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem file_system;
  return file_system;
}

// Names are taken as UTF-8 here whatever the flag says: there is no legacy code page to decode.
std::string DecodeMemberName(std::string_view stored, bool) { return std::string(stored); }

}  // namespace vorlune::extract
