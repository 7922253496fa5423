#pragma once

#include "runtime/text.h"

namespace vorlune {

// The product archive the program installs, as one stored byte set in its read-only data:
// count 1, the archive's length, the archive's bytes. Never copied or released.
ByteSet PayloadArchive();

}  // namespace vorlune
