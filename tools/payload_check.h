#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorlune {

// The stored name the installer looks for at the archive's root.
inline constexpr std::string_view kPayloadExecutable = "Vorlune1.5.exe";

// What keeps `archive` from being installed, one line per problem ("payload: ..."), or nothing
// when it can be carried: it is exactly one archive that starts with a named member's local
// header, whose end record and central directory are intact with every entry matching its local
// header, whose members are stored or deflated without encryption, and which holds the file
// `executable` at its root. Member CRCs are not verified.
std::vector<std::string> CheckPayloadArchive(std::span<const std::byte> archive,
                                             std::string_view executable = kPayloadExecutable);

// The same for a stored byte set block: a count of 1, a 32-bit length, then that many bytes,
// which must be the whole archive.
std::vector<std::string> CheckPayloadBlock(const void* block,
                                           std::string_view executable = kPayloadExecutable);

}  // namespace vorlune
