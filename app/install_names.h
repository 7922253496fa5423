#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorlune {

// The install directory as names are built from it: trailing separators dropped, except the one
// that makes a drive root ("C:\" gives "C:"), so "\Vorlune1.5.exe" always follows one separator.
std::string_view DirectoryForNames(std::string_view directory);

// The launcher's single line. A path the command interpreter would split or reinterpret (blanks,
// & ( ) ^ % and the like) is quoted with an empty window title; any other keeps the plain form.
std::string LauncherLine(std::string_view executable);

// A size for a person: kilobytes below a megabyte, megabytes from there on. A need is rounded
// up and what is free down, so a shortfall never reads as enough.
enum class Rounding { kUp, kDown };
std::string SizeText(std::uint64_t bytes, Rounding rounding);

}  // namespace vorlune
