// check-payload ARCHIVE
//   Fails (exit 1, one line per problem) when ARCHIVE cannot be carried as the installer's
//   payload. The build runs it on the archive before embedding it.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "tools/payload_check.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: check-payload ARCHIVE\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "payload: cannot read %s\n", argv[1]);
    return 1;
  }
  const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
  const auto problems = vorlune::CheckPayloadArchive(std::as_bytes(std::span(bytes)));
  for (const auto& problem : problems) std::fprintf(stderr, "%s\n", problem.c_str());
  if (!problems.empty()) {
    std::fprintf(stderr, "(in %s)\n", argv[1]);
    return 1;
  }
  return 0;
}
