#include "app/globals.h"

namespace vorlune {

Text versionText;
Text installDir;

void ReleaseGlobals() {
  ReleaseText(versionText);
  ReleaseText(installDir);
}

}  // namespace vorlune
