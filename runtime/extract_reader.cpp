#include "runtime/extract_reader.h"

#include <minizip/unzip.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>
#include <vector>

#include "runtime/member_name.h"

namespace vorlune::extract {

namespace {

constexpr std::uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr std::uint16_t kFlagEncrypted = 1 << 0;
constexpr std::uint16_t kFlagUtf8Name = 1 << 11;
constexpr std::uint32_t kMethodStored = 0;
constexpr std::uint32_t kMethodDeflated = 8;
constexpr std::uint32_t kDosDirectoryAttribute = 0x10;

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

}  // namespace

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
      return "本地文件头损坏，或与文件目录不符";
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

class MemberReader::Impl {
 public:
  explicit Impl(ArchiveSource& source) : source_(source), zip_(OpenZip(source_)), name_(0x10000) {}

  bool BeginsWithLocalHeader() { return extract::BeginsWithLocalHeader(source_); }
  bool Opened() const { return zip_ != nullptr && inflater_.Ok(); }

  NextMember Next(Member& member) {
    const int moved = started_ ? unzGoToNextFile(zip_.get()) : unzGoToFirstFile(zip_.get());
    started_ = true;
    if (moved == UNZ_END_OF_LIST_OF_FILE) return NextMember::kEnd;
    if (moved != UNZ_OK) return NextMember::kDamaged;
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip_.get(), &info, name_.data(), static_cast<uLong>(name_.size()),
                                nullptr, 0, nullptr, 0) != UNZ_OK) {
      return NextMember::kDamaged;
    }
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
    return NextMember::kFound;
  }

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
    return member.method == kMethodStored ? CopyStored(member, offset, sink)
                                          : Inflate(member, offset, sink);
  }

 private:
  DataFault CopyStored(const Member& member, std::uint64_t offset, DataSink& sink) {
    if (member.compressed_size > member.size) return DataFault::kLonger;
    if (member.compressed_size < member.size) return DataFault::kShorter;
    std::uint64_t left = member.size;
    uLong crc = crc32(0, nullptr, 0);
    for (;;) {
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunkSize));
      std::byte* buffer = sink.Buffer();
      if (source_.ReadAt(offset, buffer, want) != want) return DataFault::kTruncated;
      crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(want));
      offset += want;
      left -= want;
      const bool last = left == 0;
      if (last && crc != member.crc) return DataFault::kCrc;
      if (!sink.Accept(want, last)) return DataFault::kSink;
      if (last) return DataFault::kNone;
    }
  }

  DataFault Inflate(const Member& member, std::uint64_t offset, DataSink& sink) {
    if (!input_) input_ = std::make_unique_for_overwrite<std::byte[]>(kChunkSize);
    z_stream& z = inflater_.Stream();
    inflateReset(&z);
    z.next_in = nullptr;
    z.avail_in = 0;
    std::uint64_t compressed_left = member.compressed_size;
    std::uint64_t produced = 0;  // handed on to the sink
    std::size_t pending = 0;     // inflated into `output`, not yet handed on
    std::byte* output = nullptr;
    uLong crc = crc32(0, nullptr, 0);
    // Output goes on in whole buffers (and the last piece): one write per 256 KiB.
    for (;;) {
      if (z.avail_in == 0 && compressed_left > 0) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(compressed_left, kChunkSize));
        if (source_.ReadAt(offset, input_.get(), want) != want) return DataFault::kTruncated;
        offset += want;
        compressed_left -= want;
        z.next_in = reinterpret_cast<Bytef*>(input_.get());
        z.avail_in = static_cast<uInt>(want);
      }
      if (output == nullptr) output = sink.Buffer();
      z.next_out = reinterpret_cast<Bytef*>(output + pending);
      z.avail_out = static_cast<uInt>(kChunkSize - pending);
      const int status = inflate(&z, Z_NO_FLUSH);
      const std::size_t made = kChunkSize - pending - z.avail_out;
      if (status == Z_DATA_ERROR || status == Z_NEED_DICT) return DataFault::kCorrupt;
      if (status == Z_MEM_ERROR) return DataFault::kNoMemory;
      // Nothing goes on beyond the recorded size: the first byte past it fails the member.
      if (made > member.size - produced - pending) return DataFault::kLonger;
      crc = crc32(crc, reinterpret_cast<const Bytef*>(output + pending), static_cast<uInt>(made));
      pending += made;
      if (status == Z_STREAM_END) break;
      if (pending == kChunkSize) {
        if (!sink.Accept(pending, false)) return DataFault::kSink;
        produced += pending;
        pending = 0;
        output = nullptr;
        continue;
      }
      // Room for output, yet inflate stopped: it wants input, and there is none left.
      if (z.avail_in == 0 && compressed_left == 0) return DataFault::kTruncated;
      if (status == Z_BUF_ERROR && z.avail_in != 0) return DataFault::kCorrupt;
    }
    if (produced + pending != member.size) return DataFault::kShorter;
    if (crc != member.crc) return DataFault::kCrc;
    return sink.Accept(pending, true) ? DataFault::kNone : DataFault::kSink;
  }

  CachedSource source_;
  ZipHandle zip_;
  Inflater inflater_;
  std::vector<char> name_;
  std::unique_ptr<std::byte[]> input_;
  bool started_ = false;
};

MemberReader::MemberReader(ArchiveSource& source) : impl_(std::make_unique<Impl>(source)) {}
MemberReader::~MemberReader() = default;
bool MemberReader::BeginsWithLocalHeader() { return impl_->BeginsWithLocalHeader(); }
bool MemberReader::Opened() const { return impl_->Opened(); }
NextMember MemberReader::Next(Member& member) { return impl_->Next(member); }
DataFault MemberReader::Stream(const Member& member, DataSink& sink) {
  return impl_->Stream(member, sink);
}

}  // namespace vorlune::extract
