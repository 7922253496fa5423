// The payload's build-time tools: the archive writer behind make-payload and the check that the
// build runs on every archive before embedding it.
#include <gtest/gtest.h>
#include <minizip/unzip.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "tools/payload_check.h"
#include "tools/zip_writer.h"

namespace vorlune {
namespace {

namespace fs = std::filesystem;
using Bytes = std::string;

std::uint32_t Get(const Bytes& b, std::size_t at, int n) {
  std::uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | std::uint8_t(b.at(at + i));
  return v;
}

void Set(Bytes& b, std::size_t at, int n, std::uint32_t v) {
  for (int i = 0; i < n; ++i) b.at(at + i) = char(v >> (8 * i));
}

// Something deflate can shrink but not to nothing, like a real program.
Bytes Content(std::size_t size, std::uint32_t seed) {
  Bytes out(size, '\0');
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245 + 12345;
    out[i] = (i % 7 < 4) ? "MZ.text.data"[i % 12] : char(seed >> 24);
  }
  return out;
}

const ZipTime kTimes[] = {
    {2019, 4, 18, 10, 23, 58}, {2019, 2, 11, 11, 52, 6}, {2022, 12, 19, 14, 55, 34}};

std::vector<ZipMember> Product(std::string data = "data", std::string dll = "vorlune-core.dll",
                               std::string exe = "Vorlune1.5.exe") {
  return {PayloadMember(data, Content(6000, 1), kTimes[0]),
          PayloadMember(dll, Content(9000, 2), kTimes[1]),
          PayloadMember(exe, Content(12000, 3), kTimes[2])};
}

std::vector<std::string> Check(const Bytes& zip) {
  return CheckPayloadArchive(std::as_bytes(std::span(zip)));
}

// Offsets of the end record and of the central entry and local header of `name`.
struct Layout {
  std::size_t end = 0, central = 0, local = 0;
};

Layout Locate(const Bytes& zip, const std::string& name) {
  Layout l;
  l.end = zip.size() - 22;
  std::size_t at = Get(zip, l.end + 16, 4);
  for (std::uint32_t i = 0; i < Get(zip, l.end + 10, 2); ++i) {
    const std::size_t len = Get(zip, at + 28, 2);
    if (std::string(zip.begin() + at + 46, zip.begin() + at + 46 + len) == name) {
      l.central = at;
      l.local = Get(zip, at + 42, 4);
      return l;
    }
    at += 46 + len + Get(zip, at + 30, 2) + Get(zip, at + 32, 2);
  }
  ADD_FAILURE() << "no member " << name;
  return l;
}

// Sets a field that the local header and the central entry both carry.
void SetBoth(Bytes& zip, const std::string& name, std::size_t local_at, std::size_t central_at,
             int n, std::uint32_t v) {
  const Layout l = Locate(zip, name);
  Set(zip, l.local + local_at, n, v);
  Set(zip, l.central + central_at, n, v);
}

struct Broken {
  const char* label;
  std::function<Bytes()> make;
  std::string message;
};

class RejectedPayload : public testing::TestWithParam<Broken> {};

TEST_P(RejectedPayload, NamesTheConditionAndTheMember) {
  EXPECT_EQ(Check(GetParam().make()), std::vector<std::string>{GetParam().message});
}

Bytes Good() { return WriteZip(Product()); }

INSTANTIATE_TEST_SUITE_P(
    PayloadCheck, RejectedPayload,
    testing::Values(
        // 1. the length is the archive's size
        Broken{"Empty", [] { return Bytes{}; }, "payload: the archive is empty"},
        Broken{"BytesAfterTheEnd",
               [] {
                 Bytes zip = Good();
                 zip.insert(zip.end(), {1, 2, 3, 4, 5});
                 return zip;
               },
               "payload: 5 bytes follow the end of central directory record (the length must be "
               "the archive's size)"},
        Broken{"CutShort",
               [] {
                 Bytes zip = Good();
                 zip.resize(zip.size() - 10);
                 return zip;
               },
               "payload: no end of central directory record"},
        // 2. a named member's local header at offset 0
        Broken{"BytesInFront",
               [] {
                 Bytes zip = Good();
                 zip.insert(zip.begin(), 17, std::uint8_t{0xCC});
                 return zip;
               },
               "payload: 17 bytes stand before the first local header"},
        Broken{"FirstNameEmpty", [] { return WriteZip(Product("")); },
               "payload: the first member's name is empty"},
        Broken{"NoMembers", [] { return WriteZip({}); }, "payload: the archive holds no members"},
        // 3. directory intact, stored or deflated, not encrypted
        Broken{"MethodTwelve",
               [] {
                 Bytes zip = Good();
                 SetBoth(zip, "vorlune-core.dll", 8, 10, 2, 12);
                 return zip;
               },
               "payload: member \"vorlune-core.dll\" uses compression method 12 (only stored and "
               "deflate can be installed)"},
        Broken{"Encrypted",
               [] {
                 Bytes zip = Good();
                 SetBoth(zip, "data", 6, 8, 2, 1);
                 return zip;
               },
               "payload: member \"data\" is encrypted (nothing can give a password)"},
        Broken{"OffsetMissesLocalHeader",
               [] {
                 Bytes zip = Good();
                 const Layout l = Locate(zip, "vorlune-core.dll");
                 Set(zip, l.central + 42, 4, std::uint32_t(l.local + 1));
                 return zip;
               },
               "payload: member \"vorlune-core.dll\" has no local file header matching its "
               "central directory entry"},
        Broken{"LocalHeaderDisagrees",
               [] {
                 Bytes zip = Good();
                 Set(zip, Locate(zip, "Vorlune1.5.exe").local + 8, 2, 0);  // stored, says local
                 return zip;
               },
               "payload: member \"Vorlune1.5.exe\" has no local file header matching its central "
               "directory entry"},
        Broken{"CentralEntryDamaged",
               [] {
                 Bytes zip = Good();
                 Set(zip, Locate(zip, "vorlune-core.dll").central, 4, 0x12345678);
                 return zip;
               },
               "payload: the central directory is damaged after member \"data\""},
        Broken{"EndRecordMisplacesDirectory",
               [] {
                 Bytes zip = Good();
                 const std::size_t end = zip.size() - 22;
                 Set(zip, end + 16, 4, Get(zip, end + 16, 4) + 4);
                 return zip;
               },
               "payload: the end of central directory record or the central directory is "
               "damaged"},
        Broken{"DataRunsIntoDirectory",
               [] {
                 Bytes zip = Good();
                 const Layout l = Locate(zip, "Vorlune1.5.exe");
                 SetBoth(zip, "Vorlune1.5.exe", 18, 20, 4, Get(zip, l.local + 18, 4) + 100);
                 return zip;
               },
               "payload: the data of member \"Vorlune1.5.exe\" runs past the members into the "
               "central directory"},
        // 4. the executable at the root, byte for byte
        Broken{"NoExecutable",
               [] { return WriteZip(Product("data", "vorlune-core.dll", "x.bin")); },
               "payload: no member \"Vorlune1.5.exe\" at the root"},
        Broken{"ExecutableInFolder",
               [] { return WriteZip(Product("data", "vorlune-core.dll", "bin/Vorlune1.5.exe")); },
               "payload: no member \"Vorlune1.5.exe\" at the root (nearest: "
               "\"bin/Vorlune1.5.exe\")"},
        Broken{"ExecutableOtherCase",
               [] { return WriteZip(Product("data", "vorlune-core.dll", "vorlune1.5.EXE")); },
               "payload: no member \"Vorlune1.5.exe\" at the root (nearest: \"vorlune1.5.EXE\")"},
        Broken{"ExecutableOtherVersion",
               [] { return WriteZip(Product("data", "vorlune-core.dll", "Vorlune1.50.exe")); },
               "payload: no member \"Vorlune1.5.exe\" at the root"},
        Broken{"ExecutableIsFolder",
               [] {
                 Bytes zip = Good();
                 Set(zip, Locate(zip, "Vorlune1.5.exe").central + 38, 4, 0x10);
                 return zip;
               },
               "payload: member \"Vorlune1.5.exe\" is a folder, not a file"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(PayloadCheck, AcceptsArchivesThatCanBeInstalled) {
  EXPECT_EQ(Check(Good()), std::vector<std::string>{});

  // Stored members, folders and deeper files beside the executable, which need not come last.
  std::vector<ZipMember> mixed = Product();
  for (ZipMember& m : mixed) m.method = 0;
  mixed.insert(mixed.begin() + 1, PayloadMember("docs/", {}, {2020, 1, 2, 3, 4, 6}, false));
  mixed.push_back(PayloadMember("docs/readme.txt", Content(300, 9), {2020, 1, 2, 3, 4, 6}));
  std::rotate(mixed.begin(), mixed.begin() + 3, mixed.end());
  EXPECT_EQ(Check(WriteZip(mixed)), std::vector<std::string>{});
}

// Reads a member through minizip as the installer's extraction does; the result of closing
// it, which is where a CRC mismatch shows.
int ReadMember(const fs::path& zip_path, const std::string& name, Bytes& out) {
  std::unique_ptr<void, int (*)(unzFile)> zip(unzOpen64(zip_path.c_str()), unzClose);
  if (!zip || unzLocateFile(zip.get(), name.c_str(), 1) != UNZ_OK) return UNZ_BADZIPFILE;
  if (unzOpenCurrentFile(zip.get()) != UNZ_OK) return UNZ_BADZIPFILE;
  out.clear();
  char buf[4096];
  int n;
  while ((n = unzReadCurrentFile(zip.get(), buf, sizeof buf)) > 0)
    out.insert(out.end(), buf, buf + n);
  const int closed = unzCloseCurrentFile(zip.get());
  return n < 0 ? n : closed;
}

class PayloadFiles : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vorlune-payload-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& name, const Bytes& bytes) {
    std::ofstream(dir_ / name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return dir_ / name;
  }
  static Bytes Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static int Run(const std::string& tool, const std::vector<std::string>& args) {
    std::string command = "\"" + tool + "\"";
    for (const auto& a : args) command += " \"" + a + "\"";
    return std::system(command.c_str());
  }

  fs::path dir_;
};

TEST_F(PayloadFiles, MakePayloadIsReproducibleAndLaysTheMembersOutAsAsked) {
  const std::vector<ZipMember> product = Product();
  std::vector<std::string> args{""};
  for (const ZipMember& m : product)
    args.push_back(m.name + "=" + Write("in-" + m.name, m.data).string());
  args[1] += "@2019-04-18T10:23:58";
  args[2] += "@2019-02-11T11:52:06";
  args[3] += "@2022-12-19T14:55:34";
  args[0] = (dir_ / "one.zip").string();
  ASSERT_EQ(Run(VORLUNE_MAKE_PAYLOAD, args), 0);
  args[0] = (dir_ / "two.zip").string();
  ASSERT_EQ(Run(VORLUNE_MAKE_PAYLOAD, args), 0);
  const Bytes one = Read(dir_ / "one.zip");
  EXPECT_TRUE(one == Read(dir_ / "two.zip"));
  EXPECT_TRUE(one == WriteZip(product));
  EXPECT_EQ(Check(one), std::vector<std::string>{});
  EXPECT_EQ(Run(VORLUNE_CHECK_PAYLOAD, {(dir_ / "one.zip").string()}), 0);

  // As minizip sees it: archive order, the fixed fields, the DOS times, the bytes.
  std::unique_ptr<void, int (*)(unzFile)> zip(unzOpen64((dir_ / "one.zip").c_str()), unzClose);
  ASSERT_TRUE(zip);
  unz_global_info64 global{};
  ASSERT_EQ(unzGetGlobalInfo64(zip.get(), &global), UNZ_OK);
  EXPECT_EQ(global.number_entry, 3u);
  EXPECT_EQ(global.size_comment, 0u);
  int rc = unzGoToFirstFile(zip.get());
  for (std::size_t i = 0; i < product.size(); ++i) {
    const ZipMember& m = product[i];
    const ZipTime& t = kTimes[i];
    ASSERT_EQ(rc, UNZ_OK);
    unz_file_info64 info{};
    char name[64] = {};
    ASSERT_EQ(unzGetCurrentFileInfo64(zip.get(), &info, name, sizeof name, nullptr, 0, nullptr, 0),
              UNZ_OK);
    EXPECT_EQ(name, m.name);
    EXPECT_EQ(info.version, 20u);  // 2.0 on MS-DOS
    EXPECT_EQ(info.version_needed, 20u);
    EXPECT_EQ(info.flag, 0u);  // no data descriptor, no encryption, no UTF-8 flag
    EXPECT_EQ(info.compression_method, 8u);
    EXPECT_EQ(info.external_fa, 0x20u);
    EXPECT_EQ(info.tmu_date.tm_year, unsigned(t.year));
    EXPECT_EQ(info.tmu_date.tm_mon, unsigned(t.month - 1));
    EXPECT_EQ(info.tmu_date.tm_mday, unsigned(t.day));
    EXPECT_EQ(info.tmu_date.tm_hour, unsigned(t.hour));
    EXPECT_EQ(info.tmu_date.tm_min, unsigned(t.minute));
    EXPECT_EQ(info.tmu_date.tm_sec, unsigned(t.second));
    Bytes data;
    EXPECT_EQ(ReadMember(dir_ / "one.zip", m.name, data), UNZ_OK);
    EXPECT_TRUE(data == m.data) << m.name;
    rc = unzGoToNextFile(zip.get());
  }
  EXPECT_EQ(rc, UNZ_END_OF_LIST_OF_FILE);
}

TEST_F(PayloadFiles, CheckPayloadFailsTheBuildWithTheReason) {
  Bytes zip = Good();
  SetBoth(zip, "vorlune-core.dll", 8, 10, 2, 12);
  const fs::path bad = Write("bad.zip", zip);
  const std::string out = (dir_ / "out.txt").string();
  const int rc = std::system(
      ("\"" VORLUNE_CHECK_PAYLOAD "\" \"" + bad.string() + "\" 2>\"" + out + "\"").c_str());
  EXPECT_NE(rc, 0);
  const Bytes text = Read(out);
  EXPECT_NE(std::string(text.begin(), text.end())
                .find("payload: member \"vorlune-core.dll\" uses compression method 12"),
            std::string::npos);
}

TEST_F(PayloadFiles, CorruptCrcPassesTheCheckButFailsExtraction) {
  const fs::path good = Write("good.zip", Good());
  const fs::path bad = dir_ / "bad.zip";
  ASSERT_EQ(
      Run(VORLUNE_MAKE_PAYLOAD, {"--corrupt-crc", good.string(), bad.string(), "Vorlune1.5.exe"}),
      0);
  EXPECT_EQ(Check(Read(bad)), std::vector<std::string>{});
  Bytes data;
  EXPECT_EQ(ReadMember(bad, "data", data), UNZ_OK);
  EXPECT_EQ(ReadMember(bad, "Vorlune1.5.exe", data), UNZ_CRCERROR);

  // Without a member named, the first one is the one that fails.
  ASSERT_EQ(Run(VORLUNE_MAKE_PAYLOAD, {"--corrupt-crc", good.string(), bad.string()}), 0);
  EXPECT_EQ(ReadMember(bad, "data", data), UNZ_CRCERROR);
  EXPECT_EQ(ReadMember(bad, "Vorlune1.5.exe", data), UNZ_OK);
}

TEST(PayloadCheck, StoredBlockLengthMustBeTheArchiveSize) {
  const Bytes zip = Good();
  auto block = [&](std::int32_t count, std::int32_t length) {
    Bytes b(8 + zip.size() + 16, 0);  // and whatever follows the block in memory
    Set(b, 0, 4, std::uint32_t(count));
    Set(b, 4, 4, std::uint32_t(length));
    std::copy(zip.begin(), zip.end(), b.begin() + 8);
    return b;
  };
  const std::int32_t size = std::int32_t(zip.size());
  EXPECT_EQ(CheckPayloadBlock(block(1, size).data()), std::vector<std::string>{});
  EXPECT_EQ(CheckPayloadBlock(block(2, size).data()),
            std::vector<std::string>{"payload: the byte set's count is 2, not 1"});
  EXPECT_EQ(CheckPayloadBlock(block(1, 0).data()),
            std::vector<std::string>{"payload: the byte set's length is 0"});
  EXPECT_EQ(CheckPayloadBlock(block(1, size + 3).data()),
            std::vector<std::string>{"payload: 3 bytes follow the end of central directory record "
                                     "(the length must be the archive's size)"});
  EXPECT_EQ(CheckPayloadBlock(block(1, size - 1).data()),
            std::vector<std::string>{"payload: no end of central directory record"});
}

TEST(ZipTime, ParsesOnlyWhatTheDosFieldsHold) {
  ZipTime t;
  ASSERT_TRUE(ParseZipTime("2022-12-19T14:55:34", t));
  EXPECT_EQ(t.year, 2022);
  EXPECT_EQ(t.second, 34);
  for (const char* bad : {"2022-12-19 14:55:34", "1979-12-31T23:59:58", "2022-13-01T00:00:00",
                          "2022-12-19T14:55:35", "2022-12-19T24:00:00", "22-12-19T14:55:34"}) {
    EXPECT_FALSE(ParseZipTime(bad, t)) << bad;
  }
}

}  // namespace
}  // namespace vorlune
