// vorlune-extract ARCHIVE TARGET_DIR
// Extracts the archive with the installer's own engine. Exit status: 0 when every member was
// handled, 1 when a member failed, 2 when extraction could not start (the reason on stderr).
#include <cstdio>
#include <string>

#include "runtime/extract.h"

#ifdef _WIN32
#include "runtime/wide_win.h"
#endif

namespace {

int Run(const std::string& archive, const std::string& target) {
  using vorlune::extract::Outcome;
  const vorlune::extract::Result result =
      vorlune::extract::Extract(vorlune::extract::SystemFileSystem(), archive, target);
  if (result.outcome == Outcome::kDone) return 0;
  std::fprintf(stderr, "vorlune-extract: %s\n", result.reason.c_str());
  return result.outcome == Outcome::kMemberFailed ? 1 : 2;
}

int Usage() {
  std::fputs("usage: vorlune-extract ARCHIVE TARGET_DIR\n", stderr);
  return 2;
}

}  // namespace

#ifdef _WIN32
// Wide arguments so that any path reaches the engine intact, in UTF-8.
int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return Usage();
  return Run(vorlune::Narrow(argv[1]), vorlune::Narrow(argv[2]));
}
#else
int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  return Run(argv[1], argv[2]);
}
#endif
