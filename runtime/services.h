#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "runtime/text.h"

namespace vorlune {

// Folder codes understood by SpecialFolderPath.
inline constexpr int kDesktopDirectoryFolder = 3;
inline constexpr int kApplicationDataFolder = 8;
inline constexpr int kTemporaryFolder = 11;

// The folder's path with a trailing backslash; the empty text when it cannot be resolved.
// A missing folder is not created.
Text SpecialFolderPath(int code);

// Creates one directory level; false when it exists already or its parent is missing.
bool MakeDirectory(const Text& path);

// Creates or truncates the file, opened exclusively, and writes the bytes. A missing folder is not
// created. False on an empty path, a failed open or a failed write.
bool SaveBytesToFile(const Text& path, const ByteSet& bytes);

// Saves a shell link; works on any thread, initialising COM for the call where needed.
bool MakeShellLink(const Text& link_path, const Text& target, const Text& description,
                   const Text& arguments, const Text& working_directory);

// Extracts every member of the archive into the target directory: 1 when all members were
// handled, 0 when extraction cannot start or a member fails, -1 when a path is empty or the
// archive does not exist.
int ExtractArchive(const Text& archive_path, const Text& target_directory);

// Checks an archive held in memory without writing anything: every member readable, of a
// supported method, not encrypted, and matching its CRC-32. `total_uncompressed` receives the sum
// of the members' sizes. False (with a reason) for a damaged archive.
bool VerifyArchive(std::span<const std::byte> archive, std::uint64_t& total_uncompressed);

// Free bytes available to the user on the volume that holds `path` (or its nearest existing
// ancestor); false when it cannot be told.
bool FreeBytesOnVolume(const Text& path, std::uint64_t& free_bytes);

// `path` made absolute against the current directory; unchanged when it already is, or empty.
Text AbsolutePath(const Text& path);

// Why the last failing service call on this thread failed, in words a person can read: what
// failed (member, path) and the system's own reason. Empty when nothing has failed yet.
std::string LastFailureReason();

}  // namespace vorlune
