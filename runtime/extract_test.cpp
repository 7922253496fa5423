#include "runtime/extract.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "runtime/extract_test_data.h"
#include "tools/zip_writer.h"

namespace vorlune::extract {
namespace {

namespace fs = std::filesystem;
using testing::MixedData;
using testing::ReadFile;
using testing::WriteFile;

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Files the extraction left behind under a temporary name.
std::vector<std::string> Leftovers(const fs::path& directory) {
  std::vector<std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(directory)) {
    const std::string name = Utf8(entry.path().filename());
    if (name.starts_with("~vorlune")) found.push_back(name);
  }
  return found;
}

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device random;
    root_ = fs::temp_directory_path() / ("vorlune-extract-test-" + std::to_string(random()));
    fs::create_directories(root_);
    target_ = root_ / "out";
    archive_ = root_ / "archive.zip";
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  Result Run(const std::vector<ZipMember>& members, FileSystem& file_system = SystemFileSystem()) {
    WriteFile(archive_, WriteZip(members));
    return Extract(file_system, Utf8(archive_), Utf8(target_));
  }

  fs::path root_;
  fs::path target_;
  fs::path archive_;
};

TEST_F(ExtractTest, WritesEveryKindOfMember) {
  ZipMember unix_file{"unixfile", "u"};
  unix_file.made_by = (3 << 8) | 20;  // the low byte holds no DOS attributes there
  unix_file.external_attributes = (0100644u << 16) | 0x10;
  ZipMember attribute_directory{"attrdir"};
  attribute_directory.external_attributes = 0x10;
  const std::vector<ZipMember> members = {
      {"stored.txt", "plain text", 0},
      {"deflated.bin", MixedData(10'000, 1)},
      {"a/b/c/nested.txt", "deep"},
      {"a/b/sibling.txt", "beside"},
      {"emptydir/"},
      attribute_directory,
      unix_file,
      {"win\\separator.txt", "backslash"},
      {"zero.txt", ""},
      {"zero-stored.txt", "", 0},
      {"big.bin", MixedData(1'500'000, 2)},
      {"big-stored.bin", MixedData(600'000, 3), 0},
  };
  const Result result = Run(members);
  ASSERT_EQ(result.outcome, Outcome::kDone) << result.reason;
  EXPECT_TRUE(result.reason.empty());

  for (const ZipMember& member : members) {
    fs::path path = target_;
    std::string name = member.name;
    std::replace(name.begin(), name.end(), '\\', '/');
    path /= fs::path(name);
    if (member.name.ends_with('/') || member.name == "attrdir") {
      EXPECT_TRUE(fs::is_directory(path)) << member.name;
    } else {
      ASSERT_TRUE(fs::is_regular_file(path)) << member.name;
      EXPECT_EQ(ReadFile(path), member.data) << member.name;
    }
  }
  EXPECT_TRUE(Leftovers(target_).empty());
}

TEST_F(ExtractTest, ManySmallFilesInManyFolders) {
  std::vector<ZipMember> members;
  for (int i = 0; i < 400; ++i) {
    const std::string name =
        std::to_string(i % 20).insert(0, "d/").append("/f") + std::to_string(i) + ".txt";
    members.push_back({name, MixedData(50 + i, static_cast<std::uint32_t>(i)),
                       static_cast<std::uint16_t>(i % 3 == 0 ? 0 : 8)});
  }
  const Result result = Run(members);
  ASSERT_EQ(result.outcome, Outcome::kDone) << result.reason;
  for (const ZipMember& member : members) {
    EXPECT_EQ(ReadFile(target_ / member.name), member.data) << member.name;
  }
}

TEST_F(ExtractTest, CreatesEveryMissingLevelOfTheTarget) {
  target_ = root_ / "x" / "y" / "z";
  const Result result = Run({{"f.txt", "x"}});
  ASSERT_EQ(result.outcome, Outcome::kDone) << result.reason;
  EXPECT_EQ(ReadFile(target_ / "f.txt"), "x");

  target_ = fs::path(Utf8(root_ / "trailing") + "/");
  ASSERT_EQ(Run({{"g.txt", "y"}}).outcome, Outcome::kDone);
  EXPECT_EQ(ReadFile(root_ / "trailing" / "g.txt"), "y");
}

TEST_F(ExtractTest, ReplacesExistingFilesWithoutLeftovers) {
  fs::create_directories(target_ / "sub");
  WriteFile(target_ / "a.txt", "old contents, longer than the new ones");
  WriteFile(target_ / "sub" / "b.txt", "old");
  const Result result = Run({{"a.txt", "new"}, {"sub/b.txt", MixedData(70'000, 9)}});
  ASSERT_EQ(result.outcome, Outcome::kDone) << result.reason;
  EXPECT_EQ(ReadFile(target_ / "a.txt"), "new");
  EXPECT_EQ(ReadFile(target_ / "sub" / "b.txt"), MixedData(70'000, 9));
  EXPECT_TRUE(Leftovers(target_).empty());
}

TEST_F(ExtractTest, TakesTimesFromTheDosDateAndTimeAsLocalTime) {
  ZipMember member{"dated.txt", "x"};
  member.dos_date = (42 << 9) | (12 << 5) | 19;         // 2022-12-19
  member.dos_time = (14 << 11) | (55 << 5) | (34 / 2);  // 14:55:34
  ASSERT_EQ(Run({member}).outcome, Outcome::kDone);

  std::tm local{};
  local.tm_year = 2022 - 1900;
  local.tm_mon = 11;
  local.tm_mday = 19;
  local.tm_hour = 14;
  local.tm_min = 55;
  local.tm_sec = 34;
  local.tm_isdst = -1;
  const auto expected = std::chrono::system_clock::from_time_t(std::mktime(&local));
  const auto written = std::chrono::file_clock::to_sys(fs::last_write_time(target_ / "dated.txt"));
  EXPECT_EQ(std::chrono::duration_cast<std::chrono::seconds>(written - expected).count(), 0);
}

// A damaged member between two sound ones: the run stops at it, the member before stays, the
// one after is never written, and nothing of the damaged one is left.
struct DataFaultCase {
  std::string label;
  ZipMember member;
  std::string reason;
};

void PrintTo(const DataFaultCase& fault, std::ostream* out) { *out << fault.label; }

std::string Sample() { return MixedData(700'000, 7); }

ZipMember Damaged(std::function<void(ZipMember&)> damage) {
  ZipMember member{"bad.bin", Sample()};
  damage(member);
  return member;
}

std::vector<DataFaultCase> DataFaultCases() {
  const std::string deflated = RawDeflate(Sample());
  return {
      {"Crc", Damaged([](ZipMember& m) { m.recorded_crc = 0xDEADBEEF; }), "CRC"},
      {"CrcStored", Damaged([](ZipMember& m) { m.method = 0, m.recorded_crc = 1; }), "CRC"},
      {"TruncatedStream",
       Damaged([&](ZipMember& m) { m.compressed = deflated.substr(0, deflated.size() / 2); }),
       "数据不完整"},
      {"CorruptStream",
       Damaged([&](ZipMember& m) { m.compressed = std::string("\x06").append(deflated, 1); }),
       "数据损坏"},
      {"CorruptMidway", Damaged([&](ZipMember& m) {
         m.compressed = deflated;
         for (std::size_t i = deflated.size() / 2; i < deflated.size() / 2 + 64; ++i) {
           (*m.compressed)[i] = static_cast<char>(0xFF);
         }
       }),
       "数据"},
      {"Encrypted", Damaged([](ZipMember& m) { m.flags = 1; }), "加密"},
      {"MethodBzip2", Damaged([](ZipMember& m) { m.method = 12; }), "不支持的压缩方法（12）"},
      {"MethodAes", Damaged([](ZipMember& m) { m.method = 99; }), "不支持的压缩方法（99）"},
      {"LongerThanRecorded", Damaged([](ZipMember& m) { m.recorded_size = 600'000; }), "长"},
      {"LongerStored", Damaged([](ZipMember& m) { m.method = 0, m.recorded_size = 10; }), "长"},
      {"ShorterThanRecorded", Damaged([](ZipMember& m) { m.recorded_size = 700'001; }), "短"},
      {"ShorterStored", Damaged([](ZipMember& m) { m.method = 0, m.recorded_size = 800'000; }),
       "短"},
  };
}

class ExtractDataFault : public ExtractTest,
                         public ::testing::WithParamInterface<std::tuple<DataFaultCase, bool>> {};

TEST_P(ExtractDataFault, StopsAtTheMemberAndKeepsWhatItWouldReplace) {
  const auto& [fault, replacing] = GetParam();
  if (replacing) {
    fs::create_directories(target_);
    WriteFile(target_ / "bad.bin", "the previous installation's file");
  }
  const Result result = Run({{"first.txt", "first"}, fault.member, {"after.txt", "after"}});
  EXPECT_EQ(result.outcome, Outcome::kMemberFailed);
  EXPECT_NE(result.reason.find("bad.bin"), std::string::npos) << result.reason;
  EXPECT_NE(result.reason.find(fault.reason), std::string::npos) << result.reason;
  EXPECT_EQ(ReadFile(target_ / "first.txt"), "first");
  EXPECT_FALSE(fs::exists(target_ / "after.txt"));
  if (replacing) {
    EXPECT_EQ(ReadFile(target_ / "bad.bin"), "the previous installation's file");
  } else {
    EXPECT_FALSE(fs::exists(target_ / "bad.bin"));
  }
  EXPECT_TRUE(Leftovers(target_).empty());
}

INSTANTIATE_TEST_SUITE_P(Faults, ExtractDataFault,
                         ::testing::Combine(::testing::ValuesIn(DataFaultCases()),
                                            ::testing::Bool()),
                         [](const auto& info) {
                           return std::get<0>(info.param).label +
                                  (std::get<1>(info.param) ? "OverExisting" : "New");
                         });

class ExtractUnsafeName : public ExtractTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(ExtractUnsafeName, RefusesTheMemberAndWritesNothingOutside) {
  const Result result = Run({{"first.txt", "first"}, {GetParam(), "evil"}, {"after.txt", "after"}});
  EXPECT_EQ(result.outcome, Outcome::kMemberFailed);
  EXPECT_NE(result.reason.find("不安全"), std::string::npos) << result.reason;
  EXPECT_NE(result.reason.find(GetParam()), std::string::npos) << result.reason;
  EXPECT_EQ(ReadFile(target_ / "first.txt"), "first");
  EXPECT_FALSE(fs::exists(target_ / "after.txt"));
  EXPECT_FALSE(fs::exists(root_ / "evil.txt"));
  std::size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::recursive_directory_iterator(target_)) ++entries;
  EXPECT_EQ(entries, 1u);
}

INSTANTIATE_TEST_SUITE_P(Names, ExtractUnsafeName,
                         ::testing::Values("../evil.txt", "sub/../../evil.txt", "..\\evil.txt",
                                           "/abs-evil.txt", "\\abs-evil.txt", "C:evil.txt",
                                           "\\\\server\\share\\evil.txt", "first.txt:stream",
                                           "NUL.txt", "a/COM1/b.txt", "dir./x.txt", "blank /x.txt",
                                           "what?.txt", "ctl\x01.txt"));

TEST_F(ExtractTest, CannotStartWithoutAZipArchive) {
  struct Case {
    std::string label;
    std::string bytes;
  };
  std::string whole = WriteZip({{"a.txt", MixedData(5'000, 4)}});
  const std::vector<Case> cases = {
      {"text file", "this is not an archive"},
      {"empty file", ""},
      {"archive without members", WriteZip({})},
      {"leading junk", std::string("MZ").append(whole)},
      {"directory cut off", whole.substr(0, whole.size() - 30)},
  };
  for (const Case& c : cases) {
    WriteFile(archive_, c.bytes);
    const Result result = Extract(SystemFileSystem(), Utf8(archive_), Utf8(target_));
    EXPECT_EQ(result.outcome, Outcome::kCannotStart) << c.label;
    EXPECT_NE(result.reason.find("archive.zip"), std::string::npos) << result.reason;
    EXPECT_TRUE(fs::is_directory(target_)) << c.label;  // made before the archive is read
  }
}

TEST_F(ExtractTest, LocalHeaderDisagreeingWithTheDirectoryFailsTheMember) {
  std::string archive = WriteZip({{"patched.txt", "data"}});
  archive[14] = static_cast<char>(archive[14] ^ 0xFF);  // the local header's CRC-32
  WriteFile(archive_, archive);
  const Result result = Extract(SystemFileSystem(), Utf8(archive_), Utf8(target_));
  EXPECT_EQ(result.outcome, Outcome::kMemberFailed);
  EXPECT_NE(result.reason.find("patched.txt"), std::string::npos) << result.reason;
  EXPECT_NE(result.reason.find("本地文件头"), std::string::npos) << result.reason;
  EXPECT_FALSE(fs::exists(target_ / "patched.txt"));
}

TEST_F(ExtractTest, NoArchiveForEmptyPathsOrAMissingFile) {
  WriteFile(archive_, WriteZip({{"a.txt", "a"}}));
  EXPECT_EQ(Extract(SystemFileSystem(), "", Utf8(target_)).outcome, Outcome::kNoArchive);
  EXPECT_EQ(Extract(SystemFileSystem(), Utf8(archive_), "").outcome, Outcome::kNoArchive);
  const Result missing = Extract(SystemFileSystem(), Utf8(root_ / "missing.zip"), Utf8(target_));
  EXPECT_EQ(missing.outcome, Outcome::kNoArchive);
  EXPECT_NE(missing.reason.find("missing.zip"), std::string::npos) << missing.reason;
  EXPECT_FALSE(fs::exists(target_));
}

TEST_F(ExtractTest, CannotStartWhenTheTargetIsAFile) {
  WriteFile(target_, "a file where the folder should be");
  const Result result = Run({{"a.txt", "a"}});
  EXPECT_EQ(result.outcome, Outcome::kCannotStart);
  EXPECT_NE(result.reason.find("out"), std::string::npos) << result.reason;
}

TEST_F(ExtractTest, MemberUnderAFileFailsWithTheFolderNamed) {
  const Result result = Run({{"taken", "a file"}, {"taken/inside.txt", "x"}});
  EXPECT_EQ(result.outcome, Outcome::kMemberFailed);
  EXPECT_NE(result.reason.find("taken"), std::string::npos) << result.reason;
  EXPECT_EQ(ReadFile(target_ / "taken"), "a file");
}

// Writes through the system, failing where a test says: a full disk after some bytes of one
// file, or a replacement refused as for a file in use. It also records the most bytes any file
// received.
class FaultyFileSystem final : public FileSystem {
 public:
  std::string full_disk_for;  // file name whose writes fail once `full_after` bytes are in
  std::size_t full_after = 0;
  bool refuse_replace = false;
  std::map<std::string, std::size_t> written;  // by the name the member will finally have

  OpenResult OpenArchive(const std::string& path, std::unique_ptr<ArchiveSource>& source,
                         FsError& error) override {
    return system_.OpenArchive(path, source, error);
  }
  DirectoryResult MakeDirectory(const std::string& path, FsError& error) override {
    return system_.MakeDirectory(path, error);
  }
  CreateResult CreateNewFile(const std::string& path, std::unique_ptr<OutputFile>& file,
                             FsError& error) override {
    const std::string name = Utf8(fs::path(std::u8string(path.begin(), path.end())).filename());
    if (!name.starts_with("~vorlune")) last_member_ = name;
    std::unique_ptr<OutputFile> real;
    const CreateResult created = system_.CreateNewFile(path, real, error);
    if (created == CreateResult::kCreated) {
      file = std::make_unique<Output>(*this, last_member_, std::move(real));
    }
    return created;
  }
  bool ReplaceFile(const std::string& from, const std::string& to, FsError& error) override {
    if (refuse_replace) {
      error = {32, "另一个程序正在使用此文件，进程无法访问"};
      return false;
    }
    return system_.ReplaceFile(from, to, error);
  }
  void RemoveFile(const std::string& path) override { system_.RemoveFile(path); }

 private:
  class Output final : public OutputFile {
   public:
    Output(FaultyFileSystem& owner, std::string name, std::unique_ptr<OutputFile> real)
        : owner_(owner), name_(std::move(name)), real_(std::move(real)) {}
    bool Write(const void* data, std::size_t size, FsError& error) override {
      std::size_t& count = owner_.written[name_];
      if (name_ == owner_.full_disk_for && count + size > owner_.full_after) {
        error = {112, "磁盘空间不足"};
        return false;
      }
      count += size;
      return real_->Write(data, size, error);
    }
    bool Finish(DosDateTime stamp, FsError& error) override { return real_->Finish(stamp, error); }

   private:
    FaultyFileSystem& owner_;
    std::string name_;
    std::unique_ptr<OutputFile> real_;
  };

  FileSystem& system_ = SystemFileSystem();
  std::string last_member_;
};

TEST_F(ExtractTest, FullDiskRemovesTheNewFile) {
  FaultyFileSystem faulty;
  faulty.full_disk_for = "big.bin";
  faulty.full_after = 300'000;
  const Result result =
      Run({{"first.txt", "first"}, {"big.bin", Sample()}, {"after.txt", "after"}}, faulty);
  EXPECT_EQ(result.outcome, Outcome::kMemberFailed);
  EXPECT_NE(result.reason.find("无法写入文件"), std::string::npos) << result.reason;
  EXPECT_NE(result.reason.find(Utf8(target_ / "big.bin")), std::string::npos) << result.reason;
  EXPECT_NE(result.reason.find("磁盘空间不足"), std::string::npos) << result.reason;
  EXPECT_EQ(ReadFile(target_ / "first.txt"), "first");
  EXPECT_FALSE(fs::exists(target_ / "big.bin"));
  EXPECT_FALSE(fs::exists(target_ / "after.txt"));
}

TEST_F(ExtractTest, FullDiskKeepsTheFileItWouldReplace) {
  fs::create_directories(target_);
  WriteFile(target_ / "big.bin", "old");
  FaultyFileSystem faulty;
  faulty.full_disk_for = "big.bin";
  faulty.full_after = 300'000;
  const Result result = Run({{"big.bin", Sample()}}, faulty);
  EXPECT_EQ(result.outcome, Outcome::kMemberFailed);
  EXPECT_NE(result.reason.find("磁盘空间不足"), std::string::npos) << result.reason;
  EXPECT_EQ(ReadFile(target_ / "big.bin"), "old");
  EXPECT_TRUE(Leftovers(target_).empty());
}

TEST_F(ExtractTest, FileInUseStopsTheRunAndStaysAsItWas) {
  fs::create_directories(target_);
  WriteFile(target_ / "Vorlune1.5.exe", "running program");
  FaultyFileSystem faulty;
  faulty.refuse_replace = true;
  const Result result = Run(
      {{"first.txt", "first"}, {"Vorlune1.5.exe", MixedData(90'000, 5)}, {"after.txt", "after"}},
      faulty);
  EXPECT_EQ(result.outcome, Outcome::kMemberFailed);
  EXPECT_NE(result.reason.find(Utf8(target_ / "Vorlune1.5.exe")), std::string::npos)
      << result.reason;
  EXPECT_NE(result.reason.find("正在使用"), std::string::npos) << result.reason;
  EXPECT_EQ(ReadFile(target_ / "first.txt"), "first");
  EXPECT_EQ(ReadFile(target_ / "Vorlune1.5.exe"), "running program");
  EXPECT_FALSE(fs::exists(target_ / "after.txt"));
  EXPECT_TRUE(Leftovers(target_).empty());
}

TEST_F(ExtractTest, NeverWritesPastTheRecordedSize) {
  FaultyFileSystem counting;
  ZipMember longer{"longer.bin", MixedData(900'000, 8)};
  longer.recorded_size = 520'000;
  ZipMember stored{"stored.bin", MixedData(900'000, 8), 0};
  stored.recorded_size = 520'000;
  for (const ZipMember& member : {longer, stored}) {
    EXPECT_EQ(Run({member}, counting).outcome, Outcome::kMemberFailed);
    EXPECT_LE(counting.written[member.name], 520'000u) << member.name;
  }
}

TEST(Verify, AddsUpASoundArchive) {
  const std::string archive =
      WriteZip({{"a.bin", MixedData(300'000, 1)}, {"dir/"}, {"dir/b.txt", "bee", 0}});
  std::uint64_t total = 0;
  const std::string reason = Verify(std::as_bytes(std::span(archive)), total);
  EXPECT_TRUE(reason.empty()) << reason;
  EXPECT_EQ(total, 300'003u);
}

TEST(Verify, NamesWhatIsWrong) {
  const std::string deflated = RawDeflate(Sample());
  const std::vector<std::pair<std::string, std::string>> cases = {
      {WriteZip({{"a.txt", "a"}, Damaged([](ZipMember& m) { m.recorded_crc = 7; })}), "CRC"},
      {WriteZip({Damaged([](ZipMember& m) { m.method = 12; })}), "不支持的压缩方法"},
      {WriteZip({Damaged([](ZipMember& m) { m.flags = 1; })}), "加密"},
      {WriteZip({Damaged([&](ZipMember& m) { m.compressed = deflated.substr(0, 1000); })}),
       "数据不完整"},
      {WriteZip({{"../x", "x"}}), "不安全"},
      {"not an archive", "ZIP"},
  };
  for (const auto& [archive, expected] : cases) {
    std::uint64_t total = 0;
    const std::string reason = Verify(std::as_bytes(std::span(archive)), total);
    EXPECT_NE(reason.find(expected), std::string::npos) << expected << ": " << reason;
  }
}

}  // namespace
}  // namespace vorlune::extract
