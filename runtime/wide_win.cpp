#include "runtime/wide_win.h"

#include <windows.h>

namespace vorlune {

namespace {

std::wstring ToWide(std::string_view bytes, UINT code_page) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(code_page, 0, bytes.data(), size, wide.data(), length);
  return wide;
}

std::string FromWide(std::wstring_view wide, UINT code_page) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int length =
      WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

}  // namespace

std::wstring Widen(std::string_view utf8) { return ToWide(utf8, CP_UTF8); }

std::string Narrow(std::wstring_view utf16) { return FromWide(utf16, CP_UTF8); }

std::string CodePageToUtf8(std::string_view bytes, unsigned code_page) {
  return Narrow(ToWide(bytes, code_page));
}

std::string Utf8ToCodePage(std::string_view utf8, unsigned code_page) {
  return FromWide(Widen(utf8), code_page);
}

std::string SystemErrorText(unsigned long error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", length);
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                           text.back() == L'.' || text.back() == L'\x3002')) {
    text.pop_back();
  }
  if (text.empty()) return "系统错误 " + std::to_string(error);
  return Narrow(text);
}

}  // namespace vorlune
