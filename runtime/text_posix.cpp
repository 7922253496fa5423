#include <cstring>

#include "runtime/text.h"

namespace vorlune {

ByteSet EncodeText(const Text& text) {
  std::vector<std::byte> bytes(text.View().size());
  std::memcpy(bytes.data(), text.View().data(), bytes.size());
  return ByteSet::Owned(std::move(bytes));
}

}  // namespace vorlune
