#include "app/install_names.h"

namespace vorlune {

std::string_view DirectoryForNames(std::string_view directory) {
  while (!directory.empty() && (directory.back() == '\\' || directory.back() == '/')) {
    directory.remove_suffix(1);
  }
  return directory;
}

std::string LauncherLine(std::string_view executable) {
  // Characters that end a word or mean something to the command interpreter, even in a path.
  constexpr std::string_view kSpecial = " \t&()[]{}^=;!'+,`~%";
  if (executable.find_first_of(kSpecial) == std::string_view::npos) {
    return "start " + std::string(executable);
  }
  // Quotes keep blanks and operators literal, but a batch file still expands %, even quoted.
  std::string quoted = "start \"\" \"";
  for (const char c : executable) {
    quoted += c;
    if (c == '%') quoted += '%';
  }
  quoted += '"';
  return quoted;
}

std::string SizeText(std::uint64_t bytes, Rounding rounding) {
  const auto in = [&](std::uint64_t unit) {
    return (bytes + (rounding == Rounding::kUp ? unit - 1 : 0)) / unit;
  };
  // A small payload's need in whole megabytes would be "1 MB" where it is a few kilobytes, and
  // the little room left on a volume "0 MB".
  if (const std::uint64_t kilobytes = in(1024); kilobytes < 1024) {
    return std::to_string(kilobytes) + " KB";
  }
  return std::to_string(in(1024 * 1024)) + " MB";
}

}  // namespace vorlune
