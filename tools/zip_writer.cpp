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

void Put16(std::string& out, std::uint32_t v) {
  out.push_back(char(v & 0xFF));
  out.push_back(char((v >> 8) & 0xFF));
}

void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void Put64(std::string& out, std::uint64_t v) {
  Put32(out, std::uint32_t(v));
  Put32(out, std::uint32_t(v >> 32));
}

std::uint32_t Get16(const std::string& in, std::size_t at) {
  return std::uint32_t(std::uint8_t(in[at])) | std::uint32_t(std::uint8_t(in[at + 1])) << 8;
}

std::uint32_t Get32(const std::string& in, std::size_t at) {
  return Get16(in, at) | Get16(in, at + 2) << 16;
}

std::uint32_t Checked32(std::size_t v, const std::string& what) {
  if (v > std::numeric_limits<std::uint32_t>::max()) {
    throw std::runtime_error(what + " exceeds 4 GiB, which needs ZIP64");
  }
  return std::uint32_t(v);
}

std::uint16_t Checked16(std::size_t v, const char* what) {
  if (v > 0xFFFF) throw std::runtime_error(std::string(what) + " exceeds 65535");
  return std::uint16_t(v);
}

std::uint32_t Crc(std::string_view data) {
  return std::uint32_t(crc32(0, reinterpret_cast<const Bytef*>(data.data()), uInt(data.size())));
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

// Info-ZIP Unicode Path (0x7075): version 1, CRC-32 of the stored name, the name in UTF-8. Our
// names are stored as UTF-8 already, so readers that honour it get the same name.
void PutUnicodePath(std::string& out, const std::string& name) {
  Put16(out, 0x7075);
  Put16(out, Checked16(5 + name.size(), "name"));
  out.push_back(1);
  Put32(out, Crc(name));
  out += name;
}

// NTFS (0x000A): one attribute, tag 1, with modification, access and creation times.
void PutNtfsTimes(std::string& out, const ZipTime& time) {
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

std::string RawDeflate(std::string_view data, int level, int mem_level) {
  z_stream z{};
  // zlib's output depends only on input and settings, so archives are reproducible.
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, mem_level, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2 failed");
  }
  std::string out(deflateBound(&z, uLong(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = uInt(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = uInt(out.size());
  const int status = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (status != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return out;
}

std::string WriteZip(const std::vector<ZipMember>& members, bool zip64_end) {
  std::string out;
  std::string central;
  for (const ZipMember& m : members) {
    const std::uint64_t offset = out.size();
    const std::string packed = m.compressed    ? *m.compressed
                               : m.method == 8 ? RawDeflate(m.data, m.level, m.mem_level)
                                               : m.data;
    const std::uint32_t crc = m.recorded_crc.value_or(Crc(m.data));
    const std::uint64_t size = m.recorded_size.value_or(m.data.size());
    // A Zip64 member records its sizes and offset in the extra field only.
    const std::uint32_t packed_field = m.zip64 ? 0xFFFFFFFF : Checked32(packed.size(), m.name);
    const std::uint32_t size_field = m.zip64 ? 0xFFFFFFFF : Checked32(size, m.name);
    const std::uint32_t offset_field = m.zip64 ? 0xFFFFFFFF : Checked32(offset, "archive");
    std::string local_extra;
    std::string central_extra;
    if (m.zip64) {
      Put16(local_extra, 0x0001);
      Put16(local_extra, 16);
      Put64(local_extra, size);
      Put64(local_extra, packed.size());
      Put16(central_extra, 0x0001);
      Put16(central_extra, 24);
      Put64(central_extra, size);
      Put64(central_extra, packed.size());
      Put64(central_extra, offset);
    }
    local_extra += m.local_extra;
    central_extra += m.central_extra;

    // The fields both headers share, from "version needed" on; sizes and CRC in place, so no
    // data descriptor follows the data.
    std::string common;
    Put16(common, m.zip64 ? 45 : 20);
    Put16(common, m.flags);
    Put16(common, m.method);
    Put16(common, m.dos_time);
    Put16(common, m.dos_date);
    Put32(common, crc);
    Put32(common, packed_field);
    Put32(common, size_field);
    Put16(common, Checked16(m.name.size(), "name"));

    Put32(out, kLocalHeader);
    out += common;
    Put16(out, Checked16(local_extra.size(), "extra field"));
    out += m.name;
    out += local_extra;
    out += packed;

    Put32(central, kCentralHeader);
    Put16(central, m.made_by);
    central += common;
    Put16(central, Checked16(central_extra.size(), "extra field"));
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, m.external_attributes);
    Put32(central, offset_field);
    central += m.name;
    central += central_extra;
  }
  const std::uint64_t central_offset = out.size();
  out += central;
  if (zip64_end) {
    const std::uint64_t record_offset = out.size();
    Put32(out, 0x06064B50);
    Put64(out, 44);  // size of the rest of the record
    Put16(out, 45);
    Put16(out, 45);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, members.size());
    Put64(out, members.size());
    Put64(out, central.size());
    Put64(out, central_offset);
    Put32(out, 0x07064B50);
    Put32(out, 0);
    Put64(out, record_offset);
    Put32(out, 1);
  }
  const std::uint16_t count = zip64_end ? 0xFFFF : Checked16(members.size(), "member count");
  Put32(out, kEndRecord);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, count);
  Put16(out, count);
  Put32(out, zip64_end ? 0xFFFFFFFF : Checked32(central.size(), "central directory"));
  Put32(out, zip64_end ? 0xFFFFFFFF : Checked32(central_offset, "archive"));
  Put16(out, 0);
  if (!zip64_end) Checked32(out.size(), "archive");
  return out;
}

ZipMember ZipFolder(std::string name) {
  ZipMember folder(std::move(name), {}, 0);
  folder.external_attributes = 0x10;
  return folder;
}

ZipMember PayloadMember(std::string name, std::string data, const ZipTime& time, bool deflate) {
  ZipMember m(std::move(name), std::move(data), deflate ? 8 : 0);
  m.level = 9;
  m.mem_level = 9;
  m.dos_date = std::uint16_t((time.year - 1980) << 9 | time.month << 5 | time.day);
  m.dos_time = std::uint16_t(time.hour << 11 | time.minute << 5 | time.second / 2);
  PutUnicodePath(m.local_extra, m.name);
  PutNtfsTimes(m.central_extra, time);
  m.central_extra += m.local_extra;
  return m;
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

bool CorruptCrc(std::string& archive, std::string_view name) {
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
    if (std::string_view(archive).substr(at + 46, name_len) == name) {
      const std::size_t local = Get32(archive, at + 42);
      if (local + 30 > archive.size() || Get32(archive, local) != kLocalHeader) return false;
      for (std::size_t crc_at : {at + 16, local + 14}) {
        for (std::size_t b = 0; b < 4; ++b) archive[crc_at + b] = char(archive[crc_at + b] ^ 0xFF);
      }
      return true;
    }
    at += entry_len;
  }
  return false;
}

}  // namespace vorlune
