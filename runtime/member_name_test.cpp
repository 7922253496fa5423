#include "runtime/member_name.h"

#include <gtest/gtest.h>

#include <string>

namespace vorlune {
namespace {

struct NameCase {
  std::string name;
  MemberNameFault fault;
};

class MemberNameCheck : public ::testing::TestWithParam<NameCase> {};

TEST_P(MemberNameCheck, ClassifiesName) {
  EXPECT_EQ(CheckMemberName(GetParam().name), GetParam().fault) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, MemberNameCheck,
    ::testing::Values(
        // Legal, some only looking dangerous.
        NameCase{"Vorlune1.5.exe", MemberNameFault::kNone},
        NameCase{"a/b/c.txt", MemberNameFault::kNone},
        NameCase{"a\\b\\c.txt", MemberNameFault::kNone}, NameCase{"dir/", MemberNameFault::kNone},
        NameCase{"..hidden.txt", MemberNameFault::kNone}, NameCase{"a..b", MemberNameFault::kNone},
        NameCase{"a/...b/c", MemberNameFault::kNone}, NameCase{"COM10", MemberNameFault::kNone},
        NameCase{"LPT10.txt", MemberNameFault::kNone},
        NameCase{"CONSOLE.txt", MemberNameFault::kNone}, NameCase{"NULL", MemberNameFault::kNone},
        NameCase{"auxiliary/x", MemberNameFault::kNone},
        NameCase{"x/.config", MemberNameFault::kNone},
        NameCase{"中文/名称.txt", MemberNameFault::kNone},
        NameCase{" leading blank", MemberNameFault::kNone},
        // Outside the target.
        NameCase{"", MemberNameFault::kEmpty},
        NameCase{"../evil.txt", MemberNameFault::kParentSegment},
        NameCase{"a/../../evil.txt", MemberNameFault::kParentSegment},
        NameCase{"a\\..\\..\\evil.txt", MemberNameFault::kParentSegment},
        NameCase{"a/..", MemberNameFault::kParentSegment},
        NameCase{"/etc/passwd", MemberNameFault::kAbsolute},
        NameCase{"\\Windows\\x.dll", MemberNameFault::kAbsolute},
        NameCase{"\\\\server\\share\\x", MemberNameFault::kAbsolute},
        NameCase{"//server/share/x", MemberNameFault::kAbsolute},
        NameCase{"C:x", MemberNameFault::kDriveLetter},
        NameCase{"c:\\x", MemberNameFault::kDriveLetter},
        // What Windows would misread.
        NameCase{"file.txt:stream", MemberNameFault::kStream},
        NameCase{"a/b:c/d", MemberNameFault::kStream},
        NameCase{"CON", MemberNameFault::kReservedDevice},
        NameCase{"nul.txt", MemberNameFault::kReservedDevice},
        NameCase{"NUL.tar.gz", MemberNameFault::kReservedDevice},
        NameCase{"a/COM1/b", MemberNameFault::kReservedDevice},
        NameCase{"lpt9", MemberNameFault::kReservedDevice},
        NameCase{"Aux.h", MemberNameFault::kReservedDevice},
        NameCase{"prn", MemberNameFault::kReservedDevice},
        NameCase{"CON .txt", MemberNameFault::kReservedDevice},
        NameCase{"COM\xC2\xB9", MemberNameFault::kReservedDevice},
        NameCase{"name.", MemberNameFault::kTrailingDotOrBlank},
        NameCase{"dir./x", MemberNameFault::kTrailingDotOrBlank},
        NameCase{"./x", MemberNameFault::kTrailingDotOrBlank},
        NameCase{"blank /x", MemberNameFault::kTrailingDotOrBlank},
        NameCase{"x ", MemberNameFault::kTrailingDotOrBlank},
        NameCase{"what?.txt", MemberNameFault::kForbiddenCharacter},
        NameCase{"a*b", MemberNameFault::kForbiddenCharacter},
        NameCase{"<x>", MemberNameFault::kForbiddenCharacter},
        NameCase{"pipe|x", MemberNameFault::kForbiddenCharacter},
        NameCase{"quote\"x", MemberNameFault::kForbiddenCharacter},
        NameCase{std::string("nul\0byte", 8), MemberNameFault::kForbiddenCharacter},
        NameCase{"tab\tx", MemberNameFault::kForbiddenCharacter},
        NameCase{"line\nbreak", MemberNameFault::kForbiddenCharacter}));

struct PathCase {
  std::string target;
  std::string name;
  char separator;
  std::string path;
};

class MemberPathJoin : public ::testing::TestWithParam<PathCase> {};

TEST_P(MemberPathJoin, JoinsWithOneSeparator) {
  const PathCase& c = GetParam();
  EXPECT_EQ(MemberPath(c.target, c.name, c.separator), c.path);
}

INSTANTIATE_TEST_SUITE_P(Paths, MemberPathJoin,
                         ::testing::Values(PathCase{"C:\\Vorlune\\1.5", "a/b.txt", '\\',
                                                    "C:\\Vorlune\\1.5\\a\\b.txt"},
                                           PathCase{"C:\\", "member", '\\', "C:\\member"},
                                           PathCase{"D:\\dir\\", "x\\y", '\\', "D:\\dir\\x\\y"},
                                           PathCase{"C:/dir/", "x", '\\', "C:/dir/x"},
                                           PathCase{"C:\\t", "dir/", '\\', "C:\\t\\dir"},
                                           PathCase{"C:\\t", "a//b", '\\', "C:\\t\\a\\b"},
                                           PathCase{"/srv/out", "a/b", '/', "/srv/out/a/b"},
                                           PathCase{"/", "a", '/', "/a"}));

TEST(MemberNameIsDirectory, TrailingSeparatorOfEitherKind) {
  EXPECT_TRUE(MemberNameIsDirectory("dir/"));
  EXPECT_TRUE(MemberNameIsDirectory("a\\dir\\"));
  EXPECT_FALSE(MemberNameIsDirectory("dir"));
  EXPECT_FALSE(MemberNameIsDirectory(""));
}

}  // namespace
}  // namespace vorlune
