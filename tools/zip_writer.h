#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorlune {

// A member's date and time as the DOS fields hold it (even seconds, years 1980 to 2107).
struct ZipTime {
  int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

struct ZipMember {
  std::string name;  // the stored bytes, "/" between folders
  std::vector<std::uint8_t> data;
  ZipTime time;
  bool deflate = true;  // otherwise stored
};

// A one-disk archive without comment or data descriptors: the members back to back from offset
// 0 in the given order, then the central directory and the end record. The same members always
// give the same bytes. Throws std::runtime_error when a limit of the classic format is exceeded.
std::vector<std::uint8_t> WriteZip(std::span<const ZipMember> members);

// "YYYY-MM-DDTHH:MM:SS"; false for anything else or a time the DOS fields cannot hold.
bool ParseZipTime(std::string_view text, ZipTime& time);

// Inverts the CRC-32 of the member `name` in its local header and its central entry alike, so the
// archive still opens and inflates but the member fails its CRC check. False when the archive
// has no such member or its directory cannot be walked.
bool CorruptCrc(std::vector<std::uint8_t>& archive, std::string_view name);

}  // namespace vorlune
