#pragma once

#include <string_view>

namespace vorlune {

// The run time's fatal failure: an error box with `text`, the registered end routines dropped,
// and the process ended with exit code -1.
[[noreturn]] void FailFatally(std::string_view text);

}  // namespace vorlune
