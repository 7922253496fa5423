// vorlune-bench-archives OUTDIR: writes the three benchmark archives, the same bytes on every run
// and every machine (fixed seeds, a generator of our own rather than the standard library's
// distributions, whose output is not specified):
//   product.zip  shaped like the shipped payload: text-like, binary-like and exe-like members
//   product20.zip  twenty such sets with their own seeds, each in a folder of its own
//   small.zip  5,000 files of 1 to 8 KiB in 50 nested folders, mixed compressibility
// Each archive is written under a temporary name and renamed, so an interrupted run leaves none
// half-written.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "tools/random.h"
#include "tools/zip_writer.h"

namespace {

using Bytes = std::string;
using vorlune::Random;
using vorlune::ZipMember;

// Words drawn with a skew towards the first ones, in lines of records: deflates about 5:1, as
// the payload's data file does.
Bytes TextLike(std::size_t size, Random& random) {
  std::vector<std::string> words(120);
  for (std::string& word : words) {
    const std::uint32_t length = 2 + random.Below(8);
    for (std::uint32_t i = 0; i < length; ++i)
      word.push_back(static_cast<char>('a' + random.Below(26)));
  }
  Bytes out;
  out.reserve(size + 64);
  std::uint32_t column = 0;
  while (out.size() < size) {
    const double u = random.Unit();
    const std::string& word = words[static_cast<std::size_t>(u * u * u * u * u * words.size())];
    out.insert(out.end(), word.begin(), word.end());
    column += static_cast<std::uint32_t>(word.size()) + 1;
    if (random.Below(80) == 0) {
      const std::uint32_t number = random.Below(100000);
      const std::string digits = " " + std::to_string(number);
      out.insert(out.end(), digits.begin(), digits.end());
    }
    if (column > 70) {
      out.push_back('\r');
      out.push_back('\n');
      column = 0;
    } else {
      out.push_back(' ');
    }
  }
  out.resize(size);
  return out;
}

// Mostly random bytes with a few short runs of zeros: barely compressible, like a library that
// is largely compressed resources (about 1.03:1).
Bytes BinaryLike(std::size_t size, Random& random) {
  Bytes out(size, '\0');
  for (std::size_t i = 0; i < size;) {
    if (random.Below(1000) < 1) {
      const std::size_t run = 24 + random.Below(48);
      for (std::size_t j = 0; j < run && i < size; ++j) out[i++] = 0;
    } else {
      out[i++] = static_cast<std::uint8_t>(random.Next());
    }
  }
  return out;
}

// Blocks of machine-code-like bytes (a skewed alphabet, repeated snippets) between blocks of
// random data, like an executable with packed resources (about 1.8:1).
Bytes ExeLike(std::size_t size, Random& random) {
  static constexpr std::uint8_t kCommon[] = {0x00, 0x8B, 0x89, 0x48, 0xE8, 0xFF, 0x45, 0x24,
                                             0x83, 0xC3, 0x0F, 0x85, 0x74, 0x4C, 0x8D, 0x33};
  Bytes out;
  out.reserve(size);
  while (out.size() < size) {
    const std::size_t block = 256 + random.Below(768);
    if (random.Below(100) < 24) {
      for (std::size_t j = 0; j < block; ++j)
        out.push_back(static_cast<std::uint8_t>(random.Next()));
    } else {
      for (std::size_t j = 0; j < block;) {
        if (out.size() > 4096 && random.Below(8) == 0) {
          const std::size_t from = out.size() - 1 - random.Below(4000);
          const std::size_t length = 4 + random.Below(20);
          for (std::size_t k = 0; k < length; ++k, ++j) out.push_back(out[from + k]);
        } else if (random.Below(3) == 0) {
          out.push_back(static_cast<std::uint8_t>(random.Next()));
          ++j;
        } else {
          out.push_back(kCommon[random.Below(16)]);
          ++j;
        }
      }
    }
  }
  out.resize(size);
  return out;
}

void AddProductSet(std::vector<ZipMember>& zip, const std::string& folder, std::uint64_t seed) {
  Random random(seed);
  if (!folder.empty()) zip.push_back(vorlune::ZipFolder(folder));
  zip.emplace_back(folder + "data", TextLike(2'668'979, random));  // dated 2019-04-18 10:23:58
  ZipMember& dll = zip.emplace_back(folder + "companion.dll", BinaryLike(4'795'392, random));
  dll.dos_date = 0x4E4B;  // 2019-02-11 11:52:06
  dll.dos_time = 0x5E83;
  ZipMember& exe = zip.emplace_back(folder + "Vorlune1.5.exe", ExeLike(1'245'184, random));
  exe.dos_date = 0x5593;  // 2022-12-19 14:55:34
  exe.dos_time = 0x76F1;
}

Bytes Product() {
  std::vector<ZipMember> zip;
  AddProductSet(zip, "", 1);
  return vorlune::WriteZip(zip);
}

Bytes Product20() {
  std::vector<ZipMember> zip;
  for (int copy = 1; copy <= 20; ++copy) {
    char folder[16];
    std::snprintf(folder, sizeof folder, "copy%02d/", copy);
    AddProductSet(zip, folder, 100 + copy);
  }
  return vorlune::WriteZip(zip);
}

// 50 folders two levels deep ("group3/set07/"), 100 files each.
Bytes SmallFiles() {
  Random random(7);
  std::vector<ZipMember> zip;
  for (int group = 0; group < 5; ++group) {
    const std::string group_name = "group" + std::to_string(group) + "/";
    zip.push_back(vorlune::ZipFolder(group_name));
    for (int set = 0; set < 10; ++set) {
      char set_name[16];
      std::snprintf(set_name, sizeof set_name, "set%02d/", set);
      const std::string folder = group_name + set_name;
      zip.push_back(vorlune::ZipFolder(folder));
      for (int file = 0; file < 100; ++file) {
        const std::size_t size = 1024 + random.Below(7 * 1024 + 1);
        char name[32];
        Bytes data;
        switch (random.Below(3)) {
          case 0:
            std::snprintf(name, sizeof name, "note%03d.txt", file);
            data = TextLike(size, random);
            break;
          case 1:
            std::snprintf(name, sizeof name, "blob%03d.bin", file);
            data = BinaryLike(size, random);
            break;
          default:
            std::snprintf(name, sizeof name, "part%03d.dll", file);
            data = ExeLike(size, random);
            break;
        }
        zip.emplace_back(folder + name, std::move(data));
      }
    }
  }
  return vorlune::WriteZip(zip);
}

bool Write(const std::filesystem::path& path, const Bytes& bytes) {
  std::filesystem::path partial = path;
  partial += ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) return false;
  }
  std::error_code error;
  std::filesystem::rename(partial, path, error);
  return !error;
}

// Each member's compression ratio, for tuning the generators.
void ReportRatios() {
  Random random(1);
  const auto show = [](const char* what, const Bytes& data) {
    const Bytes packed = vorlune::RawDeflate(data);
    std::printf("%-8s %9zu -> %9zu  %.3f:1\n", what, data.size(), packed.size(),
                static_cast<double>(data.size()) / static_cast<double>(packed.size()));
  };
  show("text", TextLike(2'668'979, random));
  show("binary", BinaryLike(4'795'392, random));
  show("exe", ExeLike(1'245'184, random));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "--ratios") {
    ReportRatios();
    return 0;
  }
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR | --ratios\n", argv[0]);
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  struct Archive {
    const char* name;
    Bytes (*make)();
  };
  for (const Archive& archive :
       {Archive{"product.zip", Product}, Archive{"product20.zip", Product20},
        Archive{"small.zip", SmallFiles}}) {
    const std::filesystem::path path = dir / archive.name;
    if (!Write(path, archive.make())) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
