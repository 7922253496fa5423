#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace vorlune {

// The platform's modal file dialog over `owner`, with `proposed` in its file-name box; the full
// path chosen on OK, empty on cancel.
std::optional<std::wstring> AskFileName(HWND owner, DWORD flags, std::wstring_view proposed,
                                        bool save);

}  // namespace vorlune
