// vorlune-fuzz-seeds OUTDIR: writes the starting corpus for the fuzz targets, small archives
// that reach the reader's main roads (stored, deflated, nested names, folders, Zip64, UTF-8
// names) and its failures (damaged headers, wrong sizes and CRCs, truncation), plus member
// names for the name check. The committed seeds in fuzz/seeds are this program's output.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/zip_writer.h"

namespace {

using Bytes = std::string;
using vorlune::WriteZip;
using vorlune::ZipFolder;
using vorlune::ZipMember;
namespace fs = std::filesystem;

Bytes Repeated(const std::string& text, int times) {
  Bytes out;
  for (int i = 0; i < times; ++i) out.insert(out.end(), text.begin(), text.end());
  return out;
}

void Put32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
}
void Put16(Bytes& bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<char>(value);
  bytes[offset + 1] = static_cast<char>(value >> 8);
}
std::uint32_t Get32(const Bytes& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<std::uint8_t>(bytes[offset + i]);
  return value;
}

// Where the first central-directory entry starts (no archive comment).
std::size_t Central(const Bytes& zip) { return Get32(zip, zip.size() - 22 + 16); }

Bytes One(const std::string& name, const Bytes& data, std::uint16_t method) {
  return WriteZip({{name, data, method}});
}

void Write(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const fs::path archives = fs::path(argv[1]) / "archive";
  const fs::path names = fs::path(argv[1]) / "name";
  fs::create_directories(archives);
  fs::create_directories(names);
  const Bytes text = Repeated("Vorlune setup line of text. ", 12);

  Write(archives / "stored.zip", One("readme.txt", "hello, vorlune\n", 0));
  Write(archives / "deflated.zip", One("Vorlune1.5.exe", text, 8));
  Write(archives / "empty_member.zip", One("empty.dat", {}, 8));
  Write(archives / "nested.zip", WriteZip({
                                     ZipFolder("docs/"),
                                     ZipFolder("docs/en/"),
                                     {"docs/en/guide.txt", text},
                                     {"lib/deep/er/plugin.dll", "MZ\x90"},
                                     {"Vorlune1.5.exe", "MZ", 0},
                                 }));
  {
    ZipMember utf8("说明/读我.txt", text);
    utf8.flags = 1 << 11;
    Write(archives / "utf8_name.zip", WriteZip({utf8}));
  }
  {
    ZipMember wide("big/part.bin", text);
    wide.zip64 = true;
    wide.made_by = 45;
    Write(archives / "zip64.zip", WriteZip({wide}, true));
  }
  Write(archives / "duplicate.zip", WriteZip({{"same.txt", "first"}, {"same.txt", "second"}}));

  // Damaged copies of deflated.zip: the central entry is at Central(), the local one at 0.
  const Bytes base = One("Vorlune1.5.exe", text, 8);
  const std::size_t central = Central(base);
  {
    Bytes bad = base;
    Put32(bad, 14, Get32(bad, 14) ^ 1);
    Put32(bad, central + 16, Get32(bad, central + 16) ^ 1);
    Write(archives / "bad_crc.zip", bad);
  }
  {
    Bytes bad = base;
    Put32(bad, 22, 7);
    Put32(bad, central + 24, 7);
    Write(archives / "size_too_small.zip", bad);
  }
  {
    Bytes bad = base;
    Put16(bad, 8, 12);
    Put16(bad, central + 10, 12);
    Write(archives / "bzip2_method.zip", bad);
  }
  {
    Bytes bad = base;
    Put16(bad, 6, 1);
    Put16(bad, central + 8, 1);
    Write(archives / "encrypted.zip", bad);
  }
  {
    Bytes bad = base;
    bad[30] = 'X';  // local name differs from the central one
    Write(archives / "local_name_mismatch.zip", bad);
  }
  {
    Bytes bad = base;
    Put32(bad, bad.size() - 22 + 16, static_cast<std::uint32_t>(bad.size() + 100));
    Write(archives / "central_past_end.zip", bad);
  }
  {
    Bytes bad = base;
    bad[30 + 14 + 3] ^= 0xFF;  // inside the deflate stream
    Write(archives / "corrupt_stream.zip", bad);
  }
  {
    // Cut inside the member's data, then the central directory and end record put back.
    Bytes cut(base.begin(), base.begin() + 50);
    const std::size_t removed = central - 50;
    cut.insert(cut.end(), base.begin() + static_cast<std::ptrdiff_t>(central), base.end());
    Put32(cut, cut.size() - 22 + 16, static_cast<std::uint32_t>(central - removed));
    Write(archives / "truncated_data.zip", cut);
  }
  Write(archives / "no_end_record.zip", Bytes(base.begin(), base.end() - 22));
  Write(archives / "parent_name.zip", One("../escape.txt", "x", 8));

  const char* const kNames[] = {
      "Vorlune1.5.exe", "docs/en/guide.txt", "docs/", "a\\b\\c.txt", "../up",        "a/../../up",
      "/etc/passwd",    "C:\\Windows\\x",    "c:x",   "a/b:stream",  "NUL.txt",      "dir/COM1",
      "name. ",         "trailing.",         "a//b",  "x/./y",       "说明/读我.txt"};
  int index = 0;
  for (const char* name : kNames) {
    std::ofstream out(names / ("name" + std::to_string(index++)), std::ios::binary);
    out << name;
  }
  return 0;
}
