#include "runtime/failure.h"

#include <utility>

#include "runtime/services.h"

namespace vorlune {

namespace {

// Per thread: the installation worker and the UI thread call services independently, and each
// must read back the reason for its own call.
thread_local std::string last_failure;

}  // namespace

void SetFailureReason(std::string reason) { last_failure = std::move(reason); }

void ClearFailureReason() noexcept { last_failure.clear(); }

const std::string& LastFailureReason() { return last_failure; }

std::string Quoted(std::string_view text) { return "“" + std::string(text) + "”"; }

}  // namespace vorlune
