#include "app/handlers.h"
#include "runtime/window.h"

namespace vorlune {

void OnSetupWindowCreated() {
  // The window's initial state comes entirely from its description.
}

void On按钮2Clicked() { EndProgram(0); }

}  // namespace vorlune
