#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/extract_fs.h"

namespace vorlune::extract {

enum class Outcome {
  kDone,          // every member handled
  kMemberFailed,  // a member failed; the members before it stay
  kCannotStart,   // target not creatable, archive unreadable or not a ZIP archive
  kNoArchive,     // a path is empty or the archive does not exist
};

struct Result {
  Outcome outcome = Outcome::kDone;
  std::string reason;  // empty for kDone
};

// Extracts every member of the archive at `archive_path` into `target` through `fs`.
Result Extract(FileSystem& fs, std::string_view archive_path, std::string_view target);

// Reads every member of an archive held in memory, checking what Extract checks, and adds up the
// members' uncompressed sizes. Empty reason when the archive is sound.
std::string Verify(std::span<const std::byte> archive, std::uint64_t& total_uncompressed);

}  // namespace vorlune::extract
