#pragma once

#include <cstdint>
#include <optional>
#include <vector>
#include <string>
#include <string_view>
#include <utility>

namespace vorlune {

// A member's date and time as the DOS fields hold it (even seconds, years 1980 to 2107).
struct ZipTime {
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// One member and how it is recorded. The optional fields record something other than the truth,
// to build damaged archives.
struct ZipMember {
  ZipMember(std::string member_name = {}, std::string member_data = {},
            std::uint16_t member_method = 8)
      : name(std::move(member_name)), data(std::move(member_data)), method(member_method) {}

  std::string name;  // the stored bytes, "/" between folders
  std::string data;
  std::uint16_t method = 8;  // 8 deflates `data`; any other value stores it as given
  int level = 6;
  int mem_level = 8;
  std::uint16_t flags = 0;
  std::uint16_t dos_date = (39 << 9) | (4 << 5) | 18;          // 2019-04-18
  std::uint16_t dos_time = (10 << 11) | (23 << 5) | (58 / 2);  // 10:23:58
  std::uint32_t external_attributes = 0x20;
  std::uint16_t made_by = 20;  // version 2.0 on MS-DOS
  bool zip64 = false;          // sizes and offset in a Zip64 extra field
  std::string local_extra;
  std::string central_extra;
  std::optional<std::uint32_t> recorded_crc;
  std::optional<std::uint32_t> recorded_size;
  std::optional<std::string> compressed;  // the bytes stored in place of the encoded data
};

// A one-disk archive without comment or data descriptors: the members back to back from offset
// 0 in the given order, then the central directory and the end record, preceded by a Zip64 end
// record and its locator with `zip64_end`. The same members always give the same bytes. Throws
// std::runtime_error when a limit of the classic format is exceeded.
std::string WriteZip(const std::vector<ZipMember>& members, bool zip64_end = false);

// A folder: stored, empty, with the directory attribute.
ZipMember ZipFolder(std::string name);

// A member as the installer's payload records it: deflated at the highest level, dated `time`,
// with Unicode-path and NTFS-times extra fields.
ZipMember PayloadMember(std::string name, std::string data, const ZipTime& time,
                        bool deflate = true);

// `data` deflated without a header, as a ZIP archive holds it.
std::string RawDeflate(std::string_view data, int level = 6, int mem_level = 8);

// "YYYY-MM-DDTHH:MM:SS"; false for anything else or a time the DOS fields cannot hold.
bool ParseZipTime(std::string_view text, ZipTime& time);

// Inverts the CRC-32 of the member `name` in its local header and its central entry alike, so the
// archive still opens and inflates but the member fails its CRC check. False when the archive
// has no such member or its directory cannot be walked.
bool CorruptCrc(std::string& archive, std::string_view name);

}  // namespace vorlune
