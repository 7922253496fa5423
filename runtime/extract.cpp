#include "runtime/extract.h"

#include <minizip/unzip.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <random>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "runtime/failure.h"
#include "runtime/member_name.h"
#include "runtime/services.h"

namespace vorlune::extract {

namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr std::uint16_t kFlagEncrypted = 1 << 0;
constexpr std::uint16_t kFlagUtf8Name = 1 << 11;
constexpr std::uint32_t kMethodStored = 0;
constexpr std::uint32_t kMethodDeflated = 8;
constexpr std::uint32_t kDosDirectoryAttribute = 0x10;

// Fixed buffers keep memory bounded whatever the archive holds; large enough that a big member
// costs few system calls, small enough to stay in the cache while inflate and CRC-32 pass over.
constexpr std::size_t kChunkSize = 256 * 1024;
constexpr std::size_t kCacheBlockSize = 64 * 1024;

// minizip reads headers a few bytes at a time, jumping between the central directory and each
// member's local header. Two cached blocks, one for each of the two places, turn that into one
// read per block instead of a system call per field.
class CachedSource {
 public:
  explicit CachedSource(ArchiveSource& source) : source_(source), size_(source.Size()) {}
  CachedSource(const CachedSource&) = delete;
  CachedSource& operator=(const CachedSource&) = delete;

  std::uint64_t Size() const { return size_; }

  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
    if (offset >= size_) return 0;
    size = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset));
    if (size >= kCacheBlockSize) return source_.ReadAt(offset, buffer, size);
    ++clock_;
    for (Block& block : blocks_) {
      if (offset >= block.offset && offset + size <= block.offset + block.size) {
        block.last_use = clock_;
        std::memcpy(buffer, block.data.data() + (offset - block.offset), size);
        return size;
      }
    }
    Block& block = blocks_[0].last_use <= blocks_[1].last_use ? blocks_[0] : blocks_[1];
    block.data.resize(kCacheBlockSize);
    block.offset = offset;
    block.size = source_.ReadAt(offset, block.data.data(), kCacheBlockSize);
    block.last_use = clock_;
    const std::size_t copied = std::min(size, block.size);
    std::memcpy(buffer, block.data.data(), copied);
    return copied;
  }

  // The stream position minizip works with.
  std::uint64_t position = 0;
  bool failed = false;

 private:
  struct Block {
    std::vector<std::byte> data;
    std::uint64_t offset = 0;
    std::size_t size = 0;
    std::uint64_t last_use = 0;
  };
  ArchiveSource& source_;
  std::uint64_t size_;
  std::array<Block, 2> blocks_;
  std::uint64_t clock_ = 0;
};

// minizip's file functions over the source; the "file name" handed to unzOpen2_64 is the source.
voidpf ZCALLBACK OpenSource(voidpf, const void* name, int) { return const_cast<void*>(name); }

uLong ZCALLBACK ReadSource(voidpf, voidpf stream, void* buffer, uLong size) {
  auto& source = *static_cast<CachedSource*>(stream);
  const std::size_t read = source.ReadAt(source.position, buffer, size);
  source.position += read;
  if (read < size) source.failed = true;
  return static_cast<uLong>(read);
}

uLong ZCALLBACK WriteSource(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellSource(voidpf, voidpf stream) {
  return static_cast<CachedSource*>(stream)->position;
}

long ZCALLBACK SeekSource(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto& source = *static_cast<CachedSource*>(stream);
  std::uint64_t base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      base = source.position;
      break;
    case ZLIB_FILEFUNC_SEEK_END:
      base = source.Size();
      break;
    default:
      return -1;
  }
  source.position = base + offset;
  return 0;
}

int ZCALLBACK CloseSource(voidpf, voidpf) { return 0; }

int ZCALLBACK SourceError(voidpf, voidpf stream) {
  return static_cast<CachedSource*>(stream)->failed ? 1 : 0;
}

struct ZipCloser {
  void operator()(void* zip) const { unzClose(zip); }
};
using ZipHandle = std::unique_ptr<std::remove_pointer_t<unzFile>, ZipCloser>;

ZipHandle OpenZip(CachedSource& source) {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = OpenSource;
  functions.zread_file = ReadSource;
  functions.zwrite_file = WriteSource;
  functions.ztell64_file = TellSource;
  functions.zseek64_file = SeekSource;
  functions.zclose_file = CloseSource;
  functions.zerror_file = SourceError;
  return ZipHandle(unzOpen2_64(&source, &functions));
}

bool BeginsWithLocalHeader(CachedSource& source) {
  std::array<unsigned char, 4> head{};
  if (source.ReadAt(0, head.data(), head.size()) != head.size()) return false;
  const std::uint32_t signature =
      head[0] | (head[1] << 8) | (head[2] << 16) | (static_cast<std::uint32_t>(head[3]) << 24);
  return signature == kLocalHeaderSignature;
}

class Inflater {
 public:
  Inflater() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ok_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  bool Ok() const { return ok_; }
  z_stream& Stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

struct Member {
  std::string name;  // decoded to UTF-8
  std::uint64_t compressed_size = 0;
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  std::uint32_t method = 0;
  std::uint16_t flags = 0;
  DosDateTime stamp;
  bool directory = false;
};

// What the archive itself got wrong in a member's data, in words a person can read.
enum class DataFault {
  kNone,
  kEncrypted,
  kMethod,
  kLocalHeader,
  kTruncated,
  kCorrupt,
  kLonger,
  kShorter,
  kCrc,
  kNoMemory,
  kSink,
};

std::string DataFaultText(DataFault fault, const Member& member) {
  switch (fault) {
    case DataFault::kNone:
    case DataFault::kSink:
      break;
    case DataFault::kEncrypted:
      return "已加密，无法解压";
    case DataFault::kMethod:
      return "使用了不支持的压缩方法（" + std::to_string(member.method) + "）";
    case DataFault::kLocalHeader:
      return "本地文件头损坏";
    case DataFault::kTruncated:
      return "数据不完整，压缩包可能已被截断";
    case DataFault::kCorrupt:
      return "数据损坏";
    case DataFault::kLonger:
      return "数据损坏：解压后比记录的大小（" + std::to_string(member.size) + " 字节）长";
    case DataFault::kShorter:
      return "数据损坏：解压后比记录的大小（" + std::to_string(member.size) + " 字节）短";
    case DataFault::kCrc:
      return "CRC 错误，数据已损坏";
    case DataFault::kNoMemory:
      return "内存不足";
  }
  return {};
}

// Takes the member's data as it comes out, a chunk at a time.
class DataSink {
 public:
  virtual bool Accept(const std::byte* data, std::size_t size) = 0;

 protected:
  ~DataSink() = default;
};

// Walks the members of an open archive in central-directory order and streams their data.
class MemberReader {
 public:
  explicit MemberReader(ArchiveSource& source)
      : source_(source), zip_(OpenZip(source_)), name_(0x10000) {}

  bool BeginsWithLocalHeader() { return extract::BeginsWithLocalHeader(source_); }
  bool Opened() const { return zip_ != nullptr && inflater_.Ok(); }

  // UNZ_OK with `member` filled, UNZ_END_OF_LIST_OF_FILE after the last one, or an error.
  int Next(Member& member) {
    const int moved = started_ ? unzGoToNextFile(zip_.get()) : unzGoToFirstFile(zip_.get());
    started_ = true;
    if (moved != UNZ_OK) return moved;
    unz_file_info64 info{};
    const int got = unzGetCurrentFileInfo64(
        zip_.get(), &info, name_.data(), static_cast<uLong>(name_.size()), nullptr, 0, nullptr, 0);
    if (got != UNZ_OK) return got;
    const std::string_view stored(name_.data(),
                                  std::min<std::size_t>(info.size_filename, name_.size()));
    member.flags = static_cast<std::uint16_t>(info.flag);
    member.name = DecodeMemberName(stored, (member.flags & kFlagUtf8Name) != 0);
    member.compressed_size = info.compressed_size;
    member.size = info.uncompressed_size;
    member.crc = static_cast<std::uint32_t>(info.crc);
    member.method = static_cast<std::uint32_t>(info.compression_method);
    member.stamp = {static_cast<std::uint16_t>(info.dosDate >> 16),
                    static_cast<std::uint16_t>(info.dosDate & 0xFFFF)};
    // The DOS directory attribute means something only in archives made on DOS or Windows
    // (FAT, HPFS, NTFS, VFAT); elsewhere the low byte may hold anything.
    const unsigned host = (info.version >> 8) & 0xFF;
    const bool dos_host = host == 0 || host == 6 || host == 10 || host == 14;
    member.directory = MemberNameIsDirectory(member.name) ||
                       (dos_host && (info.external_fa & kDosDirectoryAttribute) != 0);
    return UNZ_OK;
  }

  // Streams the current member's data into `sink`, never more than its recorded size, and
  // checks length and CRC-32 at the end.
  DataFault Stream(const Member& member, DataSink& sink) {
    if ((member.flags & kFlagEncrypted) != 0) return DataFault::kEncrypted;
    if (member.method != kMethodStored && member.method != kMethodDeflated) {
      return DataFault::kMethod;
    }
    // minizip checks the local header against the central directory and finds where the data
    // starts; the data itself is read here. Its own reading copies byte by byte through a 16 KiB
    // buffer and cannot tell data longer than recorded from the end of a stream.
    if (unzOpenCurrentFile2(zip_.get(), nullptr, nullptr, 1) != UNZ_OK) {
      return DataFault::kLocalHeader;
    }
    const std::uint64_t offset = unzGetCurrentFileZStreamPos64(zip_.get());
    unzCloseCurrentFile(zip_.get());
    if (offset > source_.Size() || member.compressed_size > source_.Size() - offset) {
      return DataFault::kTruncated;
    }
    if (!in_) {
      in_ = std::make_unique_for_overwrite<std::byte[]>(kChunkSize);
      out_ = std::make_unique_for_overwrite<std::byte[]>(kChunkSize);
    }
    const DataFault fault = member.method == kMethodStored ? CopyStored(member, offset, sink)
                                                           : Inflate(member, offset, sink);
    return fault;
  }

 private:
  DataFault CopyStored(const Member& member, std::uint64_t offset, DataSink& sink) {
    if (member.compressed_size > member.size) return DataFault::kLonger;
    if (member.compressed_size < member.size) return DataFault::kShorter;
    std::uint64_t left = member.size;
    uLong crc = crc32(0, nullptr, 0);
    while (left > 0) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunkSize));
      const std::size_t got = source_.ReadAt(offset, out_.get(), want);
      if (got != want) return DataFault::kTruncated;
      crc = crc32(crc, reinterpret_cast<const Bytef*>(out_.get()), static_cast<uInt>(got));
      if (!sink.Accept(out_.get(), got)) return DataFault::kSink;
      offset += got;
      left -= got;
    }
    return crc == member.crc ? DataFault::kNone : DataFault::kCrc;
  }

  DataFault Inflate(const Member& member, std::uint64_t offset, DataSink& sink) {
    z_stream& z = inflater_.Stream();
    inflateReset(&z);
    z.next_in = nullptr;
    z.avail_in = 0;
    std::uint64_t compressed_left = member.compressed_size;
    std::uint64_t produced = 0;  // handed on to the sink
    std::size_t pending = 0;     // inflated into out_, not yet handed on
    uLong crc = crc32(0, nullptr, 0);
    // Output goes on only in whole buffers (and the last piece): one write per 256 KiB.
    const auto hand_on = [&] {
      crc = crc32(crc, reinterpret_cast<const Bytef*>(out_.get()), static_cast<uInt>(pending));
      if (!sink.Accept(out_.get(), pending)) return false;
      produced += pending;
      pending = 0;
      return true;
    };
    for (;;) {
      if (z.avail_in == 0 && compressed_left > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(compressed_left, kChunkSize));
        const std::size_t got = source_.ReadAt(offset, in_.get(), want);
        if (got != want) return DataFault::kTruncated;
        offset += got;
        compressed_left -= got;
        z.next_in = reinterpret_cast<Bytef*>(in_.get());
        z.avail_in = static_cast<uInt>(got);
      }
      z.next_out = reinterpret_cast<Bytef*>(out_.get() + pending);
      z.avail_out = static_cast<uInt>(kChunkSize - pending);
      const int status = inflate(&z, Z_NO_FLUSH);
      const std::size_t made = kChunkSize - pending - z.avail_out;
      if (status == Z_DATA_ERROR || status == Z_NEED_DICT) return DataFault::kCorrupt;
      if (status == Z_MEM_ERROR) return DataFault::kNoMemory;
      // Nothing is written beyond the recorded size: the first byte past it fails the member.
      if (made > member.size - produced - pending) return DataFault::kLonger;
      pending += made;
      if (status == Z_STREAM_END) break;
      if (pending == kChunkSize) {
        if (!hand_on()) return DataFault::kSink;
        continue;
      }
      // Room for output, yet inflate stopped: it wants input, and there is none left.
      if (z.avail_in == 0 && compressed_left == 0) return DataFault::kTruncated;
      if (status == Z_BUF_ERROR && z.avail_in != 0) return DataFault::kCorrupt;
    }
    if (pending > 0 && !hand_on()) return DataFault::kSink;
    if (produced != member.size) return DataFault::kShorter;
    return crc == member.crc ? DataFault::kNone : DataFault::kCrc;
  }

  CachedSource source_;
  ZipHandle zip_;
  Inflater inflater_;
  std::vector<char> name_;
  std::unique_ptr<std::byte[]> in_;
  std::unique_ptr<std::byte[]> out_;
  bool started_ = false;
};

std::string Quoted(std::string_view text) { return "“" + std::string(text) + "”"; }

std::string MemberFailure(const Member& member, std::string_view why) {
  return "无法解压" + Quoted(member.name) + "：" + std::string(why);
}

std::string UnsafeName(const Member& member, MemberNameFault fault) {
  return "压缩包中的名称" + Quoted(member.name) + "不安全：" +
         std::string(MemberNameFaultText(fault));
}

bool IsSeparator(char c) { return c == '/' || c == kPathSeparator; }

// "C:\" and "/" are roots; every other directory path is used without a trailing separator so
// that each directory has one spelling in the cache.
std::string DirectoryKey(std::string_view path) {
  while (path.size() > 1 && IsSeparator(path.back())) {
    if (path.size() == 3 && path[1] == ':') break;
    path.remove_suffix(1);
  }
  return std::string(path);
}

std::string ParentOf(std::string_view path) {
  std::size_t end = path.size();
  while (end > 0 && !IsSeparator(path[end - 1])) --end;
  if (end == 0) return {};
  std::string parent = DirectoryKey(path.substr(0, end));
  if (!parent.empty() && parent.back() == ':') parent.push_back(kPathSeparator);
  return parent;
}

class FileSink final : public DataSink {
 public:
  FileSink(OutputFile& file, FsError& error) : file_(file), error_(error) {}
  bool Accept(const std::byte* data, std::size_t size) override {
    return file_.Write(data, size, error_);
  }

 private:
  OutputFile& file_;
  FsError& error_;
};

class Extractor {
 public:
  Extractor(FileSystem& fs, std::string_view target) : fs_(fs), target_(target) {}

  bool MakeTarget(std::string& reason) { return EnsureDirectory(DirectoryKey(target_), reason); }

  bool Handle(MemberReader& reader, const Member& member, std::string& reason) {
    const MemberNameFault fault = CheckMemberName(member.name);
    if (fault != MemberNameFault::kNone) {
      reason = UnsafeName(member, fault);
      return false;
    }
    const std::string path = MemberPath(target_, member.name, kPathSeparator);
    if (member.directory) return EnsureDirectory(DirectoryKey(path), reason);
    return WriteFile(reader, member, path, reason);
  }

 private:
  // Makes the directory and every missing level above it, each only once in a run.
  bool EnsureDirectory(const std::string& path, std::string& reason) {
    if (known_directories_.contains(path)) return true;
    FsError error;
    DirectoryResult made = fs_.MakeDirectory(path, error);
    if (made == DirectoryResult::kMissingParent) {
      const std::string parent = ParentOf(path);
      if (parent.empty() || parent == path) {
        made = DirectoryResult::kFailed;
      } else {
        if (!EnsureDirectory(parent, reason)) return false;
        made = fs_.MakeDirectory(path, error);
      }
    }
    if (made == DirectoryResult::kMade || made == DirectoryResult::kExists) {
      known_directories_.insert(path);
      return true;
    }
    reason = "无法创建文件夹" + Quoted(path) + "：" + error.text;
    return false;
  }

  // A new file is written under its own name and removed on failure. An existing one is only
  // replaced once its successor is complete and checked, so a failing member never destroys it.
  bool WriteFile(MemberReader& reader, const Member& member, const std::string& path,
                 std::string& reason) {
    const std::string parent = ParentOf(path);
    if (!parent.empty() && !EnsureDirectory(parent, reason)) return false;

    std::unique_ptr<OutputFile> file;
    FsError error;
    std::string written = path;
    CreateResult created = fs_.CreateNewFile(path, file, error);
    for (int attempt = 0; created == CreateResult::kExists && attempt < 16; ++attempt) {
      written = TemporaryName(parent);
      created = fs_.CreateNewFile(written, file, error);
    }
    if (created != CreateResult::kCreated) {
      reason = "无法创建文件" + Quoted(written) + "：" + error.text;
      return false;
    }

    FileSink sink(*file, error);
    const DataFault fault = reader.Stream(member, sink);
    const bool finished = fault == DataFault::kNone && file->Finish(member.stamp, error);
    file.reset();
    if (!finished) {
      fs_.RemoveFile(written);
      reason = fault == DataFault::kNone || fault == DataFault::kSink
                   ? "无法写入文件" + Quoted(path) + "：" + error.text
                   : MemberFailure(member, DataFaultText(fault, member));
      return false;
    }
    if (written != path && !fs_.ReplaceFile(written, path, error)) {
      fs_.RemoveFile(written);
      reason = "无法替换文件" + Quoted(path) + "：" + error.text;
      return false;
    }
    return true;
  }

  std::string TemporaryName(const std::string& directory) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::uint32_t value = random_();
    std::string name = directory;
    if (!name.empty() && !IsSeparator(name.back())) name.push_back(kPathSeparator);
    name += "~vorlune";
    for (int i = 0; i < 8; ++i, value >>= 4) name.push_back(kHex[value & 0xF]);
    name += ".tmp";
    return name;
  }

  FileSystem& fs_;
  std::string_view target_;
  std::unordered_set<std::string> known_directories_;
  std::mt19937 random_{std::random_device{}()};
};

class CountingSink final : public DataSink {
 public:
  bool Accept(const std::byte*, std::size_t) override { return true; }
};

class MemorySource final : public ArchiveSource {
 public:
  explicit MemorySource(std::span<const std::byte> bytes) : bytes_(bytes) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
    if (offset >= bytes_.size()) return 0;
    const std::size_t count = std::min<std::size_t>(size, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, count);
    return count;
  }

 private:
  std::span<const std::byte> bytes_;
};

std::string DamagedArchive(std::string_view archive) {
  return "压缩包" + (archive.empty() ? std::string() : Quoted(archive)) +
         "已损坏：无法读取其中的文件目录";
}

}  // namespace

Result Extract(FileSystem& fs, std::string_view archive_path, std::string_view target) {
  if (archive_path.empty()) return {Outcome::kNoArchive, "压缩包的路径为空"};
  if (target.empty()) return {Outcome::kNoArchive, "目标文件夹的路径为空"};
  std::unique_ptr<ArchiveSource> source;
  FsError error;
  const std::string archive(archive_path);
  switch (fs.OpenArchive(archive, source, error)) {
    case OpenResult::kOpened:
      break;
    case OpenResult::kMissing:
      return {Outcome::kNoArchive, "找不到压缩包" + Quoted(archive) + "：" + error.text};
    case OpenResult::kFailed:
      return {Outcome::kCannotStart, "无法打开压缩包" + Quoted(archive) + "：" + error.text};
  }

  Extractor extractor(fs, target);
  std::string reason;
  if (!extractor.MakeTarget(reason)) return {Outcome::kCannotStart, reason};

  MemberReader reader(*source);
  if (!reader.BeginsWithLocalHeader()) {
    return {Outcome::kCannotStart, Quoted(archive) + "不是 ZIP 压缩包"};
  }
  if (!reader.Opened()) return {Outcome::kCannotStart, DamagedArchive(archive)};

  Member member;
  int status = UNZ_OK;
  while ((status = reader.Next(member)) == UNZ_OK) {
    if (!extractor.Handle(reader, member, reason)) return {Outcome::kMemberFailed, reason};
  }
  if (status != UNZ_END_OF_LIST_OF_FILE) return {Outcome::kMemberFailed, DamagedArchive(archive)};
  return {};
}

std::string Verify(std::span<const std::byte> archive, std::uint64_t& total_uncompressed) {
  total_uncompressed = 0;
  MemorySource source(archive);
  MemberReader reader(source);
  if (!reader.BeginsWithLocalHeader()) return "数据不是 ZIP 压缩包";
  if (!reader.Opened()) return DamagedArchive("");
  Member member;
  CountingSink sink;
  int status = UNZ_OK;
  while ((status = reader.Next(member)) == UNZ_OK) {
    const MemberNameFault name_fault = CheckMemberName(member.name);
    if (name_fault != MemberNameFault::kNone) return UnsafeName(member, name_fault);
    if (member.directory) continue;
    const DataFault fault = reader.Stream(member, sink);
    if (fault != DataFault::kNone) return MemberFailure(member, DataFaultText(fault, member));
    total_uncompressed += member.size;
  }
  if (status != UNZ_END_OF_LIST_OF_FILE) return DamagedArchive("");
  return {};
}

}  // namespace vorlune::extract

namespace vorlune {

int ExtractArchive(const Text& archive_path, const Text& target_directory) {
  extract::Result result =
      extract::Extract(extract::SystemFileSystem(), archive_path.View(), target_directory.View());
  switch (result.outcome) {
    case extract::Outcome::kDone:
      return 1;
    case extract::Outcome::kNoArchive:
      SetFailureReason(std::move(result.reason));
      return -1;
    case extract::Outcome::kMemberFailed:
    case extract::Outcome::kCannotStart:
      break;
  }
  SetFailureReason(std::move(result.reason));
  return 0;
}

bool VerifyArchive(std::span<const std::byte> archive, std::uint64_t& total_uncompressed) {
  std::string reason = extract::Verify(archive, total_uncompressed);
  if (reason.empty()) return true;
  SetFailureReason(std::move(reason));
  return false;
}

}  // namespace vorlune
