#pragma once

#include <string>
#include <string_view>

namespace vorlune {

// The reason behind the last failing service call on this thread (see LastFailureReason).
void SetFailureReason(std::string reason);
void ClearFailureReason() noexcept;

// A path or name as a reason shows it: in Chinese quotation marks.
std::string Quoted(std::string_view text);

}  // namespace vorlune
