#include "tools/payload_check.h"

#include <minizip/unzip.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>

namespace vorlune {
namespace {

constexpr std::uint32_t kEndRecord = 0x06054B50;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr unsigned kEncryptedFlag = 1;
constexpr unsigned kDirectoryAttribute = 0x10;

std::uint32_t Get(std::span<const std::byte> b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | std::to_integer<std::uint32_t>(b[at + i]);
  return v;
}

std::string Quoted(std::string_view name) {
  std::string quoted;
  quoted.reserve(name.size() + 2);
  quoted.append(1, '"').append(name).append(1, '"');
  return quoted;
}

// minizip reads the archive in place through these callbacks; nothing is copied.
struct MemoryStream {
  std::span<const std::byte> data;
  std::uint64_t pos = 0;
};

voidpf ZCALLBACK Open(voidpf opaque, const void*, int mode) {
  return (mode & ZLIB_FILEFUNC_MODE_WRITE) ? nullptr : opaque;
}

uLong ZCALLBACK Read(voidpf, voidpf stream, void* buf, uLong size) {
  auto* s = static_cast<MemoryStream*>(stream);
  const std::uint64_t left = s->pos < s->data.size() ? s->data.size() - s->pos : 0;
  const uLong n = uLong(std::min<std::uint64_t>(size, left));
  if (n != 0) std::memcpy(buf, s->data.data() + s->pos, n);
  s->pos += n;
  return n;
}

uLong ZCALLBACK Write(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) { return static_cast<MemoryStream*>(stream)->pos; }

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* s = static_cast<MemoryStream*>(stream);
  std::uint64_t base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      base = s->pos;
      break;
    case ZLIB_FILEFUNC_SEEK_END:
      base = s->data.size();
      break;
    default:
      return -1;
  }
  if (offset > s->data.size() || base + offset > s->data.size()) return -1;
  s->pos = base + offset;
  return 0;
}

int ZCALLBACK Close(voidpf, voidpf) { return 0; }
int ZCALLBACK Error(voidpf, voidpf) { return 0; }

struct UnzCloser {
  void operator()(void* file) const { unzClose(file); }
};
using UnzHandle = std::unique_ptr<void, UnzCloser>;

// Where the end record sits, and how many bytes follow it and its comment.
struct EndRecord {
  std::size_t offset = 0;
  std::int64_t trailing = 0;  // negative: the comment runs past the end
};

// The last end record signature within reach of the end (an end record with the longest
// comment starts 65,557 bytes before it).
std::optional<EndRecord> FindEndRecord(std::span<const std::byte> archive) {
  if (archive.size() < kEndRecordSize) return std::nullopt;
  const std::size_t last = archive.size() - kEndRecordSize;
  const std::size_t first = last > 0xFFFF ? last - 0xFFFF : 0;
  for (std::size_t at = last + 1; at-- > first;) {
    if (Get(archive, at, 4) == kEndRecord) {
      const std::uint32_t comment = Get(archive, at + 20, 2);
      return EndRecord{at,
                       std::int64_t(archive.size()) - std::int64_t(at + kEndRecordSize + comment)};
    }
  }
  return std::nullopt;
}

struct Member {
  std::string name;
  std::uint64_t local_offset = 0;
};

}  // namespace

std::vector<std::string> CheckPayloadArchive(std::span<const std::byte> archive,
                                             std::string_view executable) {
  std::vector<std::string> problems;
  if (archive.empty()) return {"payload: the archive is empty"};
  if (archive.size() > std::size_t(std::numeric_limits<std::int32_t>::max())) {
    return {"payload: the archive's " + std::to_string(archive.size()) +
            " bytes do not fit a byte set's 32-bit length"};
  }

  // 1. The byte set's length is the archive's size: the end record closes it.
  const std::optional<EndRecord> end = FindEndRecord(archive);
  if (!end) return {"payload: no end of central directory record"};
  if (end->trailing > 0) {
    problems.push_back("payload: " + std::to_string(end->trailing) +
                       " bytes follow the end of central directory record (the length must be "
                       "the archive's size)");
  } else if (end->trailing < 0) {
    return {
        "payload: the end of central directory record's comment runs past the end of the "
        "archive"};
  }

  // 3. End record and central directory as minizip reads them.
  // The members end where the central directory starts (not known for a ZIP64 directory).
  const std::uint32_t directory_size = Get(archive, end->offset + 12, 4);
  const std::uint64_t members_end =
      directory_size <= end->offset ? end->offset - directory_size : end->offset;

  // minizip refuses an archive without members as damaged; say what it is.
  if (Get(archive, end->offset + 10, 2) == 0) {
    problems.push_back("payload: the archive holds no members");
    return problems;
  }

  MemoryStream stream{archive};
  zlib_filefunc64_def io{Open, Read, Write, Tell, Seek, Close, Error, &stream};
  UnzHandle zip(unzOpen2_64("payload", &io));
  if (!zip) {
    problems.push_back(
        "payload: the end of central directory record or the central directory is damaged");
    return problems;
  }
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(zip.get(), &global) != UNZ_OK || global.number_entry == 0) {
    problems.push_back("payload: the archive holds no members");
    return problems;
  }

  std::vector<Member> members;
  bool executable_found = false;
  bool any_unreadable = false;
  std::string near_miss;
  for (int rc = unzGoToFirstFile(zip.get()); rc != UNZ_END_OF_LIST_OF_FILE;
       rc = unzGoToNextFile(zip.get())) {
    const std::string after = members.empty() ? "" : " after member " + Quoted(members.back().name);
    unz_file_info64 info{};
    if (rc != UNZ_OK ||
        unzGetCurrentFileInfo64(zip.get(), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
      problems.push_back("payload: the central directory is damaged" + after);
      return problems;
    }
    std::string name(info.size_filename, '\0');
    unzGetCurrentFileInfo64(zip.get(), nullptr, name.data(), uLong(name.size()), nullptr, 0,
                            nullptr, 0);
    const std::string member = "member " + Quoted(name);

    bool unreadable = false;
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED) {
      unreadable = true;
      problems.push_back("payload: " + member + " uses compression method " +
                         std::to_string(info.compression_method) +
                         " (only stored and deflate can be installed)");
    }
    if (info.flag & kEncryptedFlag) {
      unreadable = true;
      problems.push_back("payload: " + member + " is encrypted (nothing can give a password)");
    }
    if (unreadable) {
      any_unreadable = true;
      members.push_back({name, 0});
      continue;
    }

    // Raw mode opens the member without inflating, after minizip has matched the local
    // header against the central entry: signature, method, name length, sizes and CRC.
    int method = 0, level = 0;
    if (unzOpenCurrentFile2(zip.get(), &method, &level, 1) != UNZ_OK) {
      problems.push_back("payload: " + member +
                         " has no local file header matching its central directory entry");
      return problems;
    }
    const std::uint64_t data = unzGetCurrentFileZStreamPos64(zip.get());
    const int local_extra = unzGetLocalExtrafield(zip.get(), nullptr, 0);
    unzCloseCurrentFile(zip.get());
    if (data + info.compressed_size > members_end) {
      problems.push_back("payload: the data of " + member +
                         " runs past the members into the central directory");
      return problems;
    }
    members.push_back({name, data - kLocalHeaderSize - name.size() - std::uint64_t(local_extra)});

    // 4. The product's executable, a file at the root under exactly these bytes.
    if (name == executable) {
      if (info.external_fa & kDirectoryAttribute) {
        problems.push_back("payload: member " + Quoted(name) + " is a folder, not a file");
      }
      executable_found = true;
    } else if (near_miss.empty()) {
      const std::string_view base = std::string_view(name).substr(name.find_last_of('/') + 1);
      if (std::equal(base.begin(), base.end(), executable.begin(), executable.end(),
                     [](unsigned char a, unsigned char b) {
                       return std::tolower(a) == std::tolower(b);
                     })) {
        near_miss = name;
      }
    }
  }
  // Without every local header found, where the first one starts is unknown.
  if (any_unreadable) return problems;

  // 2. The archive opens with a named member's local header.
  const auto first = std::min_element(members.begin(), members.end(), [](auto& a, auto& b) {
    return a.local_offset < b.local_offset;
  });
  if (first->local_offset != 0) {
    problems.push_back("payload: " + std::to_string(first->local_offset) +
                       " bytes stand before the first local header");
  } else if (first->name.empty()) {
    problems.push_back("payload: the first member's name is empty");
  }

  if (!executable_found) {
    problems.push_back("payload: no member " + Quoted(executable) + " at the root" +
                       (near_miss.empty() ? "" : " (nearest: " + Quoted(near_miss) + ")"));
  }
  return problems;
}

std::vector<std::string> CheckPayloadBlock(const void* block, std::string_view executable) {
  const std::span<const std::byte> header(static_cast<const std::byte*>(block), 8);
  const auto count = std::int32_t(Get(header, 0, 4));
  const auto length = std::int32_t(Get(header, 4, 4));
  if (count != 1) return {"payload: the byte set's count is " + std::to_string(count) + ", not 1"};
  if (length <= 0) return {"payload: the byte set's length is " + std::to_string(length)};
  return CheckPayloadArchive({static_cast<const std::byte*>(block) + 8, std::size_t(length)},
                             executable);
}

}  // namespace vorlune
