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

std::uint64_t MegabytesRoundedUp(std::uint64_t bytes) {
  constexpr std::uint64_t kMegabyte = 1024 * 1024;
  return (bytes + kMegabyte - 1) / kMegabyte;
}

}  // namespace vorlune
