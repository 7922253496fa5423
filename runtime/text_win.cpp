#include <windows.h>

#include <cstring>

#include "runtime/text.h"
#include "runtime/wide_win.h"

namespace vorlune {

ByteSet EncodeText(const Text& text) {
  // The command interpreter reads a batch file in the console's code page.
  const std::string encoded = Utf8ToCodePage(text.View(), CP_OEMCP);
  std::vector<std::byte> bytes(encoded.size());
  std::memcpy(bytes.data(), encoded.data(), encoded.size());
  return ByteSet::Owned(std::move(bytes));
}

}  // namespace vorlune
