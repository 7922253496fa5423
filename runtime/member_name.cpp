#include "runtime/member_name.h"

#include <array>

namespace vorlune {

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

// Windows opens these devices whatever folder or extension goes with the name ("a\NUL.txt" is
// the null device), so such a member would never reach the disk. The superscript digits count
// as digits for COM and LPT.
bool IsReservedDevice(std::string_view component) {
  std::string_view base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kNames = {"CON", "PRN",    "AUX",
                                                             "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view name : kNames) {
    if (EqualsIgnoringCase(base, name)) return true;
  }
  if (base.size() < 4) return false;
  const std::string_view stem = base.substr(0, 3);
  if (!EqualsIgnoringCase(stem, "COM") && !EqualsIgnoringCase(stem, "LPT")) return false;
  const std::string_view digit = base.substr(3);
  if (digit.size() == 1) return digit[0] >= '0' && digit[0] <= '9';
  return digit == "\xC2\xB9" || digit == "\xC2\xB2" || digit == "\xC2\xB3";  // ¹ ² ³
}

bool IsForbiddenCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte < 0x20) return true;
  switch (c) {
    case '<':
    case '>':
    case '"':
    case '|':
    case '?':
    case '*':
      return true;
    default:
      return false;
  }
}

MemberNameFault CheckComponent(std::string_view component) {
  if (component == "..") return MemberNameFault::kParentSegment;
  for (char c : component) {
    if (c == ':') return MemberNameFault::kStream;
    if (IsForbiddenCharacter(c)) return MemberNameFault::kForbiddenCharacter;
  }
  // Windows drops trailing dots and blanks, so "a." would land on "a" and "." on the folder.
  if (component.back() == '.' || component.back() == ' ') {
    return MemberNameFault::kTrailingDotOrBlank;
  }
  if (IsReservedDevice(component)) return MemberNameFault::kReservedDevice;
  return MemberNameFault::kNone;
}

}  // namespace

MemberNameFault CheckMemberName(std::string_view name) {
  if (name.empty()) return MemberNameFault::kEmpty;
  // A leading separator makes the name absolute, and two of them a UNC path.
  if (IsSeparator(name.front())) return MemberNameFault::kAbsolute;
  const bool letter = (name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z');
  if (name.size() >= 2 && letter && name[1] == ':') return MemberNameFault::kDriveLetter;

  // The checks are on ASCII bytes only: in UTF-8 no byte of a multi-byte character is ASCII.
  std::size_t start = 0;
  while (start < name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (end > start) {
      const MemberNameFault fault = CheckComponent(name.substr(start, end - start));
      if (fault != MemberNameFault::kNone) return fault;
    }
    start = end + 1;
  }
  return MemberNameFault::kNone;
}

std::string_view MemberNameFaultText(MemberNameFault fault) {
  switch (fault) {
    case MemberNameFault::kNone:
      break;
    case MemberNameFault::kEmpty:
      return "名称为空";
    case MemberNameFault::kAbsolute:
      return "是绝对路径";
    case MemberNameFault::kDriveLetter:
      return "带有盘符";
    case MemberNameFault::kParentSegment:
      return "含有“..”，会写到目标文件夹之外";
    case MemberNameFault::kStream:
      return "含有“:”（备用数据流）";
    case MemberNameFault::kReservedDevice:
      return "含有系统保留的设备名";
    case MemberNameFault::kTrailingDotOrBlank:
      return "某一级名称以点或空格结尾";
    case MemberNameFault::kForbiddenCharacter:
      return "含有文件名中不允许的字符";
  }
  return {};
}

bool MemberNameIsDirectory(std::string_view name) {
  return !name.empty() && IsSeparator(name.back());
}

std::string MemberPath(std::string_view target, std::string_view name, char separator) {
  std::string path;
  path.reserve(target.size() + 1 + name.size());
  path.append(target);
  std::size_t start = 0;
  while (start < name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    if (end > start) {
      if (!path.empty() && path.back() != separator && path.back() != '/')
        path.push_back(separator);
      path.append(name.substr(start, end - start));
    }
    start = end + 1;
  }
  return path;
}

}  // namespace vorlune
