// Verify over arbitrary bytes: the archive reader must neither crash nor read out of bounds
// whatever the headers claim.

#include <cstddef>
#include <cstdint>
#include <span>

#include "runtime/extract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint64_t total = 0;
  vorlune::extract::Verify(std::as_bytes(std::span(data, size)), total);
  return 0;
}
