// Extract over arbitrary bytes, through the system's own file system into a fresh directory.
// Besides crashes, it checks what extraction promises: nothing lands outside the target, no
// temporary file stays behind, an archive extracted in full passes Verify, and extracting it a
// second time over the first copy succeeds as well.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <string_view>

#include "runtime/extract.h"

namespace fs = std::filesystem;

namespace {

// A work folder per process in the temporary folder (tools/fuzz.sh points TMPDIR at a tmpfs:
// the fuzzer runs thousands of extractions a second).
const fs::path& WorkFolder() {
  static const fs::path folder = [] {
    fs::path path = fs::temp_directory_path() / ("vorlune-fuzz-" + std::to_string(::getpid()));
    fs::remove_all(path);
    fs::create_directories(path);
    std::atexit([] {
      std::error_code ignored;
      fs::remove_all(WorkFolder(), ignored);
    });
    return path;
  }();
  return folder;
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "%s\n", what.c_str());
  std::abort();
}

// The fuzzer may well put a member of that name into the archive itself.
bool MentionsTemporaryName(std::string_view bytes) {
  return bytes.find("~vorlune") != std::string_view::npos;
}

void CheckOutside(const fs::path& jail, const fs::path& target) {
  for (const fs::directory_entry& entry : fs::directory_iterator(jail)) {
    if (entry.path() != target) Fail("written outside the target: " + entry.path().string());
  }
}

void CheckNoTemporaryFiles(const fs::path& target) {
  std::error_code error;
  for (auto it = fs::recursive_directory_iterator(target, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->path().filename().string().starts_with("~vorlune")) {
      Fail("temporary file left behind: " + it->path().string());
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using vorlune::extract::Outcome;
  const fs::path& work = WorkFolder();
  const fs::path archive = work / "archive.zip";
  const fs::path jail = work / "jail";
  const fs::path target = jail / "target";
  std::error_code ignored;
  fs::remove_all(jail, ignored);
  fs::create_directories(jail);
  {
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  auto& file_system = vorlune::extract::SystemFileSystem();

  const auto first = vorlune::extract::Extract(file_system, archive.string(), target.string());
  CheckOutside(jail, target);
  if (!MentionsTemporaryName(bytes)) CheckNoTemporaryFiles(target);
  if (first.outcome != Outcome::kDone) {
    if (first.reason.empty()) Fail("a failure without a reason");
    return 0;
  }
  if (!first.reason.empty()) Fail("success with a reason: " + first.reason);

  std::uint64_t total = 0;
  const std::string verified =
      vorlune::extract::Verify(std::as_bytes(std::span(data, size)), total);
  if (!verified.empty()) Fail("extracted in full but Verify says: " + verified);

  const auto second = vorlune::extract::Extract(file_system, archive.string(), target.string());
  CheckOutside(jail, target);
  if (!MentionsTemporaryName(bytes)) CheckNoTemporaryFiles(target);
  if (second.outcome != Outcome::kDone) Fail("second extraction failed: " + second.reason);
  return 0;
}
