// The embedded archive as the installation worker uses it: one stored byte set, written out as
// the temporary copy in the temporary folder.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "payload/payload.h"
#include "runtime/services.h"
#include "tools/payload_check.h"

extern "C" const unsigned char vorlune_payload_zip[];

namespace vorlune {
namespace {

constexpr char kCopyName[] = "ifisfisjfisfjisajhduosajfiasj.tmp";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string View(const ByteSet& bytes) {
  return {reinterpret_cast<const char*>(bytes.Bytes().data()), bytes.Bytes().size()};
}

TEST(PayloadArchive, IsTheCheckedArchiveAsOneStoredByteSet) {
  const std::string zip = ReadFile(VORLUNE_PAYLOAD_ZIP);
  ASSERT_FALSE(zip.empty());

  std::int32_t count = 0, length = 0;
  std::memcpy(&count, vorlune_payload_zip, 4);
  std::memcpy(&length, vorlune_payload_zip + 4, 4);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(length, std::int32_t(zip.size()));

  const ByteSet archive = PayloadArchive();
  EXPECT_TRUE(archive.IsStored());
  EXPECT_EQ(archive.Length(), std::int32_t(zip.size()));
  // Referred to in place, never copied.
  EXPECT_EQ(static_cast<const void*>(archive.Bytes().data()), vorlune_payload_zip + 8);
  EXPECT_TRUE(View(archive) == zip);
  EXPECT_EQ(CheckPayloadBlock(vorlune_payload_zip), std::vector<std::string>{});
}

TEST(PayloadArchive, TemporaryCopyIsTheArchiveDirectlyInTheTemporaryFolder) {
  const Text folder = SpecialFolderPath(kTemporaryFolder);
  ASSERT_FALSE(folder.IsEmpty());
  ASSERT_EQ(folder.View().back(), '\\');
  // Built as the worker builds it: the folder's own backslash, then the constant's.
  const Text path = JoinTexts({folder, "\\", kCopyName});
  EXPECT_NE(path.View().find(std::string("\\\\") + kCopyName), std::string_view::npos);
  const std::string direct = std::string(folder.View()) + kCopyName;

  ASSERT_TRUE(SaveBytesToFile(path, PayloadArchive()));
  EXPECT_TRUE(ReadFile(direct) == ReadFile(VORLUNE_PAYLOAD_ZIP));

  // A later installation truncates and rewrites the copy that an earlier one left.
  const ByteSet shorter =
      ByteSet::Owned({std::byte{'P'}, std::byte{'K'}, std::byte{5}, std::byte{6}});
  ASSERT_TRUE(SaveBytesToFile(path, shorter));
  EXPECT_EQ(ReadFile(direct), View(shorter));
  ASSERT_TRUE(SaveBytesToFile(path, PayloadArchive()));
  EXPECT_TRUE(ReadFile(direct) == ReadFile(VORLUNE_PAYLOAD_ZIP));

  std::remove(direct.c_str());
}

}  // namespace
}  // namespace vorlune
