#pragma once

#include <string>

namespace vorlune {

// The reason behind the last failing service call on this thread (see LastFailureReason).
void SetFailureReason(std::string reason);
void ClearFailureReason() noexcept;

}  // namespace vorlune
