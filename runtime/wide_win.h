#pragma once

#include <string>
#include <string_view>

namespace vorlune {

// UTF-8 inside the program, UTF-16 at every Win32 call.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

// Bytes in a code page of the system (CP_ACP, CP_OEMCP, ...) to UTF-8 and back.
std::string CodePageToUtf8(std::string_view bytes, unsigned code_page);
std::string Utf8ToCodePage(std::string_view utf8, unsigned code_page);

// The system's own text for a Win32 error code, without a trailing line break.
std::string SystemErrorText(unsigned long error);

}  // namespace vorlune
