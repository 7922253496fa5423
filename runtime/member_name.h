#pragma once

#include <string>
#include <string_view>

namespace vorlune {

// Why a stored member name may not be written below the target directory.
enum class MemberNameFault {
  kNone,
  kEmpty,
  kAbsolute,
  kDriveLetter,
  kParentSegment,
  kStream,
  kReservedDevice,
  kTrailingDotOrBlank,
  kForbiddenCharacter,
};

// Checks a member name, already decoded to UTF-8, with '/' and '\' both taken as separators.
MemberNameFault CheckMemberName(std::string_view name);

// The fault in words a person can read (Chinese); empty for kNone.
std::string_view MemberNameFaultText(MemberNameFault fault);

// True when the name ends in a separator: the member is a directory.
bool MemberNameIsDirectory(std::string_view name);

// The member's path: `target`, one `separator` unless it ends in one, then the name's components
// joined by `separator` (empty components and a trailing separator dropped).
std::string MemberPath(std::string_view target, std::string_view name, char separator);

}  // namespace vorlune
