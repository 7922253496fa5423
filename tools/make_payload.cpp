// make-payload OUT.zip NAME=FILE@YYYY-MM-DDTHH:MM:SS...
//   Archives each FILE under the stored name NAME with that DOS date and time, in the order given,
//   deflated. The output depends only on the inputs, so the installer's payload is reproducible.
// make-payload --corrupt-crc IN.zip OUT.zip [MEMBER]
//   Copies IN.zip with the CRC-32 of MEMBER (default: the first member) inverted, for tests that
//   need an archive which opens fine but fails extraction.
#include <cstdio>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "tools/zip_writer.h"

namespace {

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), std::streamsize(bytes.size()));
  out.close();
  if (out) return true;
  // A half-written archive must not look up to date to the build.
  std::remove(path.c_str());
  return false;
}

int Usage() {
  std::fprintf(stderr,
               "usage: make-payload OUT.zip NAME=FILE@YYYY-MM-DDTHH:MM:SS...\n"
               "       make-payload --corrupt-crc IN.zip OUT.zip [MEMBER]\n");
  return 2;
}

// The first member's stored name, read from the first local header.
std::string FirstMemberName(const std::string& zip) {
  if (zip.size() < 30) return {};
  const std::size_t len = std::uint8_t(zip[26]) | std::uint8_t(zip[27]) << 8;
  if (30 + len > zip.size()) return {};
  return zip.substr(30, len);
}

int CorruptCrc(int argc, char** argv) {
  if (argc != 4 && argc != 5) return Usage();
  std::string zip;
  if (!ReadFile(argv[2], zip)) {
    std::fprintf(stderr, "make-payload: cannot read %s\n", argv[2]);
    return 1;
  }
  const std::string member = argc == 5 ? argv[4] : FirstMemberName(zip);
  if (!vorlune::CorruptCrc(zip, member)) {
    std::fprintf(stderr, "make-payload: %s has no member \"%s\"\n", argv[2], member.c_str());
    return 1;
  }
  if (!WriteFile(argv[3], zip)) {
    std::fprintf(stderr, "make-payload: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string_view(argv[1]) == "--corrupt-crc") return CorruptCrc(argc, argv);
  if (argc < 3) return Usage();

  std::vector<vorlune::ZipMember> members;
  for (int i = 2; i < argc; ++i) {
    // Split at the first "=" and the last "@": names may hold "@", times never do.
    const std::string_view arg = argv[i];
    const std::size_t eq = arg.find('=');
    const std::size_t at = arg.rfind('@');
    vorlune::ZipTime time;
    if (eq == 0 || eq == std::string_view::npos || at == std::string_view::npos || at < eq ||
        !vorlune::ParseZipTime(arg.substr(at + 1), time)) {
      std::fprintf(stderr, "make-payload: bad member \"%s\"\n", argv[i]);
      return Usage();
    }
    const std::string file(arg.substr(eq + 1, at - eq - 1));
    std::string data;
    if (!ReadFile(file, data)) {
      std::fprintf(stderr, "make-payload: cannot read %s\n", file.c_str());
      return 1;
    }
    members.push_back(
        vorlune::PayloadMember(std::string(arg.substr(0, eq)), std::move(data), time));
  }
  try {
    if (!WriteFile(argv[1], vorlune::WriteZip(members))) {
      std::fprintf(stderr, "make-payload: cannot write %s\n", argv[1]);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make-payload: %s\n", e.what());
    return 1;
  }
  return 0;
}
