#include "app/globals.h"
#include "runtime/window.h"
#include "ui/setup_window.h"

namespace vorlune {

int RunSetup() {
  InitRuntime({&SetupWindowDescription()});
  // Two copies would write the same temporary copy and the same files at once.
  if (ActivateRunningCopy(SetupWindow)) return 0;
  RegisterCleanup(&ReleaseGlobals);
  ShowStartupWindow(SetupWindow);
  RunMessageLoop();
  return 0;
}

}  // namespace vorlune

// The run time's own end sequence follows the entry's return: registered routines, then exit.
int main() { vorlune::EndProgram(vorlune::RunSetup()); }
