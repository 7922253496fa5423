#include "tools/zip_writer.h"

#include <zlib.h>

#include <charconv>
#include <limits>
#include <stdexcept>

namespace vorlune {
namespace {

constexpr std::uint32_t kLocalHeader = 0x04034B50;
constexpr std::uint32_t kCentralHeader = 0x02014B50;
constexpr std::uint32_t kEndRecord = 0x06054B50;
constexpr std::uint16_t kVersion20 = 20;  // made by 2.0 on MS-DOS (host 0), needs 2.0
constexpr std::uint32_t kArchiveAttribute = 0x20;

void Put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(std::uint8_t(v));
  out.push_back(std::uint8_t(v >> 8));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void Put64(std::vector<std::uint8_t>& out, std::uint64_t v) {
  Put32(out, std::uint32_t(v));
  Put32(out, std::uint32_t(v >> 32));
}

std::uint32_t Get32(const std::vector<std::uint8_t>& in, std::size_t at) {
  return std::uint32_t(in[at]) | std::uint32_t(in[at + 1]) << 8 | std::uint32_t(in[at + 2]) << 16 |
         std::uint32_t(in[at + 3]) << 24;
}

std::uint32_t Get16(const std::vector<std::uint8_t>& in, std::size_t at) {
  return std::uint32_t(in[at]) | std::uint32_t(in[at + 1]) << 8;
}

std::uint32_t Checked32(std::size_t v, const char* what) {
  if (v > std::numeric_limits<std::uint32_t>::max()) {
    throw std::runtime_error(std::string(what) + " exceeds 4 GiB, which needs ZIP64");
  }
  return std::uint32_t(v);
}

std::uint16_t Checked16(std::size_t v, const char* what) {
  if (v > 0xFFFF) throw std::runtime_error(std::string(what) + " exceeds 65535");
  return std::uint16_t(v);
}

std::uint32_t DosDate(const ZipTime& t) {
  return std::uint32_t((t.year - 1980) << 9 | t.month << 5 | t.day);
}

std::uint32_t DosTime(const ZipTime& t) {
  return std::uint32_t(t.hour << 11 | t.minute << 5 | t.second / 2);
}

// The same instant as a Windows FILETIME, taking the DOS time as UTC (days from the civil date
// after H. Hinnant's algorithm).
std::uint64_t FileTime(const ZipTime& t) {
  const int y = t.month <= 2 ? t.year - 1 : t.year;
  const int era = y / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const std::int64_t days = std::int64_t(era) * 146097 + doe - 719468;
  const std::int64_t seconds = days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  return std::uint64_t(seconds + 11644473600LL) * 10000000ULL;
}

std::vector<std::uint8_t> Deflate(const std::vector<std::uint8_t>& data) {
  z_stream stream{};
  // Raw deflate at the highest level; zlib's output depends only on input and settings.
  if (deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::vector<std::uint8_t> out(deflateBound(&stream, uLong(data.size())));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = uInt(data.size());
  stream.next_out = out.data();
  stream.avail_out = uInt(out.size());
  const int rc = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (rc != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return out;
}

// Info-ZIP Unicode Path (0x7075): version 1, CRC-32 of the stored name, the name in UTF-8. Our
// names are stored as UTF-8 already, so readers that honour it get the same name.
void PutUnicodePath(std::vector<std::uint8_t>& out, const std::string& name) {
  Put16(out, 0x7075);
  Put16(out, Checked16(5 + name.size(), "name"));
  out.push_back(1);
  Put32(out,
        std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(name.data()), uInt(name.size()))));
  out.insert(out.end(), name.begin(), name.end());
}

// NTFS (0x000A): one attribute, tag 1, with modification, access and creation times.
void PutNtfsTimes(std::vector<std::uint8_t>& out, const ZipTime& time) {
  Put16(out, 0x000A);
  Put16(out, 32);
  Put32(out, 0);
  Put16(out, 1);
  Put16(out, 24);
  const std::uint64_t ft = FileTime(time);
  Put64(out, ft);
  Put64(out, ft);
  Put64(out, ft);
}

}  // namespace

std::vector<std::uint8_t> WriteZip(std::span<const ZipMember> members) {
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> central;
  for (const ZipMember& m : members) {
    const std::uint32_t offset = Checked32(out.size(), "archive");
    const std::uint32_t crc =
        std::uint32_t(crc32(0, m.data.data(), uInt(Checked32(m.data.size(), m.name.c_str()))));
    const std::vector<std::uint8_t> packed = m.deflate ? Deflate(m.data) : m.data;
    std::vector<std::uint8_t> local_extra;
    PutUnicodePath(local_extra, m.name);
    std::vector<std::uint8_t> central_extra;
    PutNtfsTimes(central_extra, m.time);
    central_extra.insert(central_extra.end(), local_extra.begin(), local_extra.end());

    // Local header: flags 0, sizes and CRC in place, so no data descriptor follows the data.
    Put32(out, kLocalHeader);
    Put16(out, kVersion20);
    Put16(out, 0);
    Put16(out, m.deflate ? Z_DEFLATED : 0);
    Put16(out, DosTime(m.time));
    Put16(out, DosDate(m.time));
    Put32(out, crc);
    Put32(out, Checked32(packed.size(), m.name.c_str()));
    Put32(out, std::uint32_t(m.data.size()));
    Put16(out, Checked16(m.name.size(), "name"));
    Put16(out, Checked16(local_extra.size(), "extra field"));
    out.insert(out.end(), m.name.begin(), m.name.end());
    out.insert(out.end(), local_extra.begin(), local_extra.end());
    out.insert(out.end(), packed.begin(), packed.end());

    Put32(central, kCentralHeader);
    Put16(central, kVersion20);
    Put16(central, kVersion20);
    Put16(central, 0);
    Put16(central, m.deflate ? Z_DEFLATED : 0);
    Put16(central, DosTime(m.time));
    Put16(central, DosDate(m.time));
    Put32(central, crc);
    Put32(central, std::uint32_t(packed.size()));
    Put32(central, std::uint32_t(m.data.size()));
    Put16(central, std::uint32_t(m.name.size()));
    Put16(central, Checked16(central_extra.size(), "extra field"));
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, kArchiveAttribute);
    Put32(central, offset);
    central.insert(central.end(), m.name.begin(), m.name.end());
    central.insert(central.end(), central_extra.begin(), central_extra.end());
  }
  const std::uint32_t central_offset = Checked32(out.size(), "archive");
  out.insert(out.end(), central.begin(), central.end());
  const std::uint16_t count = Checked16(members.size(), "member count");
  Put32(out, kEndRecord);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, count);
  Put16(out, count);
  Put32(out, Checked32(central.size(), "central directory"));
  Put32(out, central_offset);
  Put16(out, 0);
  Checked32(out.size(), "archive");
  return out;
}

bool ParseZipTime(std::string_view text, ZipTime& time) {
  // Fixed layout: YYYY-MM-DDTHH:MM:SS.
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':') {
    return false;
  }
  auto field = [&](std::size_t at, std::size_t len, int& value) {
    const char* begin = text.data() + at;
    const auto [end, ec] = std::from_chars(begin, begin + len, value);
    return ec == std::errc() && end == begin + len;
  };
  ZipTime t;
  if (!field(0, 4, t.year) || !field(5, 2, t.month) || !field(8, 2, t.day) ||
      !field(11, 2, t.hour) || !field(14, 2, t.minute) || !field(17, 2, t.second)) {
    return false;
  }
  if (t.year < 1980 || t.year > 2107 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
      t.hour > 23 || t.minute > 59 || t.second > 59 || t.second % 2 != 0) {
    return false;
  }
  time = t;
  return true;
}

bool CorruptCrc(std::vector<std::uint8_t>& archive, std::string_view name) {
  if (archive.size() < 22) return false;
  std::size_t end = archive.size() - 22;
  while (Get32(archive, end) != kEndRecord) {
    if (end == 0) return false;
    --end;
  }
  const std::size_t count = Get16(archive, end + 10);
  std::size_t at = Get32(archive, end + 16);
  for (std::size_t i = 0; i < count; ++i) {
    if (at + 46 > end || Get32(archive, at) != kCentralHeader) return false;
    const std::size_t name_len = Get16(archive, at + 28);
    const std::size_t entry_len = 46 + name_len + Get16(archive, at + 30) + Get16(archive, at + 32);
    if (at + entry_len > end) return false;
    const std::string_view stored(reinterpret_cast<const char*>(&archive[at + 46]), name_len);
    if (stored == name) {
      const std::size_t local = Get32(archive, at + 42);
      if (local + 30 > archive.size() || Get32(archive, local) != kLocalHeader) return false;
      for (std::size_t crc_at : {at + 16, local + 14}) {
        for (std::size_t b = 0; b < 4; ++b) archive[crc_at + b] ^= 0xFF;
      }
      return true;
    }
    at += entry_len;
  }
  return false;
}

}  // namespace vorlune
