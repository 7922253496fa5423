#include "runtime/text.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace vorlune {
namespace {

TEST(JoinTexts, AbsentPartsCountAsEmpty) {
  const Text absent;
  const Text name = Text::Stored("Vorlune");
  Text joined = JoinTexts({name, absent});
  EXPECT_EQ(joined.View(), "Vorlune");
  EXPECT_FALSE(joined.IsStored());

  Text path = JoinTexts({"C:\\Users\\", absent, "\\Vorlune", Text::Stored("1.5"), ".exe"});
  EXPECT_EQ(path.View(), "C:\\Users\\\\Vorlune1.5.exe");
}

TEST(JoinTexts, TwoEmptyTextsGiveANewEmptyText) {
  const Text absent;
  const Text empty = Text::Owned("");
  Text joined = JoinTexts({absent, empty});
  EXPECT_FALSE(joined.IsAbsent());
  EXPECT_FALSE(joined.IsStored());
  EXPECT_TRUE(joined.IsEmpty());
  EXPECT_STREQ(joined.CStr(), "");
}

TEST(ReleaseText, LeavesAbsentAndNeverTouchesTheConstant) {
  Text absent;
  ReleaseText(absent);
  EXPECT_TRUE(absent.IsAbsent());
  EXPECT_STREQ(absent.CStr(), "");

  static constexpr char kVersion[] = "1.5";
  Text version = Text::Stored(kVersion);
  EXPECT_EQ(version.CStr(), kVersion);  // refers to the constant, no copy
  ReleaseText(version);
  EXPECT_TRUE(version.IsAbsent());
  EXPECT_STREQ(kVersion, "1.5");
  Text again = Text::Stored(kVersion);
  EXPECT_EQ(again.View(), "1.5");

  Text owned = JoinTexts({"Vorlune", version});
  ReleaseText(owned);
  EXPECT_TRUE(owned.IsAbsent());
}

// A stored block as the program carries it: count, length, bytes.
template <std::size_t N>
std::array<unsigned char, 8 + N> StoredBlock(std::int32_t length, const char (&bytes)[N]) {
  std::array<unsigned char, 8 + N> block{};
  const std::int32_t count = 1;
  std::memcpy(block.data(), &count, 4);
  std::memcpy(block.data() + 4, &length, 4);
  std::memcpy(block.data() + 8, bytes, N);
  return block;
}

TEST(ByteSet, StoredBlockGivesLengthAndBytes) {
  const auto block = StoredBlock(5, "PK\x03\x04!");
  ByteSet bytes = ByteSet::Stored(block.data());
  EXPECT_TRUE(bytes.IsStored());
  EXPECT_EQ(bytes.Length(), 5);
  ASSERT_EQ(bytes.Bytes().size(), 5u);
  EXPECT_EQ(std::memcmp(bytes.Bytes().data(), "PK\x03\x04!", 5), 0);
  EXPECT_EQ(static_cast<const void*>(bytes.Bytes().data()), block.data() + 8);

  ReleaseText(bytes);
  EXPECT_TRUE(bytes.IsAbsent());
  EXPECT_EQ(block[8], 'P');
}

TEST(ByteSet, LengthNotAboveZeroGivesNoBytes) {
  for (std::int32_t length : {0, -1, -100}) {
    const auto block = StoredBlock(length, "xyz");
    const ByteSet bytes = ByteSet::Stored(block.data());
    EXPECT_EQ(bytes.Length(), length);
    EXPECT_TRUE(bytes.Bytes().empty()) << length;
  }
  const ByteSet absent;
  EXPECT_EQ(absent.Length(), 0);
  EXPECT_TRUE(absent.Bytes().empty());
}

#ifndef _WIN32
TEST(EncodeText, GivesTheTextsBytesWithoutTerminator) {
  const ByteSet bytes = EncodeText(Text::Stored("start C:\\中文\\Vorlune1.5.exe"));
  const std::string expected = "start C:\\中文\\Vorlune1.5.exe";
  ASSERT_EQ(bytes.Bytes().size(), expected.size());
  EXPECT_EQ(std::memcmp(bytes.Bytes().data(), expected.data(), expected.size()), 0);
}
#endif

}  // namespace
}  // namespace vorlune
