#pragma once

#include "runtime/text.h"

namespace vorlune {

// The program's own state besides the controls' properties. Written on the UI thread only.
extern Text versionText;
extern Text installDir;

// Registered at start-up; runs once when the program ends.
void ReleaseGlobals();

}  // namespace vorlune
