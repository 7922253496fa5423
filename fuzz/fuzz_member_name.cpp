// The member-name check against what it protects: any name it lets through must map to a path
// strictly below the target, whichever separator the system uses.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <string_view>

#include "runtime/member_name.h"

namespace {

[[noreturn]] void Fail(const char* what, std::string_view name, const std::string& path) {
  std::fprintf(stderr, "%s\n  name: \"%.*s\"\n  path: \"%s\"\n", what,
               static_cast<int>(name.size()), name.data(), path.c_str());
  std::abort();
}

void CheckBelow(std::string_view target, std::string_view name, char separator) {
  const std::string path = vorlune::MemberPath(target, name, separator);
  if (path.compare(0, target.size(), target) != 0) Fail("path leaves the target", name, path);
  std::string_view rest = std::string_view(path).substr(target.size());
  if (target.back() != separator) {
    if (rest.empty() || rest.front() != separator) Fail("no separator after target", name, path);
    rest.remove_prefix(1);
  }
  if (rest.empty()) Fail("path is the target itself", name, path);
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t end = rest.find_first_of("/\\", start);
    if (end == std::string_view::npos) end = rest.size();
    const std::string_view part = rest.substr(start, end - start);
    if (part.empty()) Fail("empty component", name, path);
    if (part == "." || part == "..") Fail("dot component", name, path);
    if (part.find(':') != std::string_view::npos) Fail("colon in a component", name, path);
    if (part.back() == '.' || part.back() == ' ') Fail("trailing dot or blank", name, path);
    for (char c : part) {
      if (static_cast<unsigned char>(c) < 0x20) Fail("control character", name, path);
    }
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view name(reinterpret_cast<const char*>(data), size);
  const vorlune::MemberNameFault fault = vorlune::CheckMemberName(name);
  if (fault == vorlune::MemberNameFault::kNone) {
    if (vorlune::MemberNameFaultText(fault).size() != 0) std::abort();
    CheckBelow("/srv/target", name, '/');
    CheckBelow("C:\\Users\\someone\\Vorlune\\1.5", name, '\\');
    CheckBelow("C:\\Users\\someone\\Vorlune\\1.5\\", name, '\\');
  } else if (vorlune::MemberNameFaultText(fault).empty()) {
    std::abort();
  }
  return 0;
}
