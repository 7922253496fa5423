#include "payload/payload.h"

// Laid out by the build (vorlune_embed_file ... BYTE_SET) from the checked archive; the bytes go
// through the assembler, never through the compiler.
extern "C" const unsigned char vorlune_payload_zip[];

namespace vorlune {

ByteSet PayloadArchive() { return ByteSet::Stored(vorlune_payload_zip); }

}  // namespace vorlune
