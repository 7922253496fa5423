#include "runtime/failure.h"

#include <algorithm>
#include <cstring>

#include "runtime/services.h"

namespace vorlune {

namespace {

// Per thread: the installation worker and the UI thread call services independently, and each
// must read back the reason for its own call. Plain bytes, not a std::string: MinGW's emulated
// thread-local storage frees a thread's block before the destructors of its thread_local objects
// run, so a string there would free a stale pointer as a thread that kept a reason ends.
constexpr std::size_t kReasonCapacity = 4096;
thread_local char last_failure[kReasonCapacity];
thread_local std::size_t last_failure_size = 0;

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

void SetFailureReason(std::string reason) {
  std::size_t size = std::min(reason.size(), kReasonCapacity);
  // A reason too long to keep whole loses its end, never half a character.
  if (size < reason.size()) {
    while (size > 0 && IsContinuationByte(reason[size])) --size;
  }
  std::memcpy(last_failure, reason.data(), size);
  last_failure_size = size;
}

void ClearFailureReason() noexcept { last_failure_size = 0; }

std::string LastFailureReason() { return {last_failure, last_failure_size}; }

std::string Quoted(std::string_view text) { return "“" + std::string(text) + "”"; }

}  // namespace vorlune
