#include "app/install_names.h"

#include <gtest/gtest.h>

namespace vorlune {
namespace {

TEST(DirectoryForNames, DropsTrailingSeparatorsSoOneSeparatorPrecedesTheName) {
  struct Case {
    std::string_view directory;
    std::string_view expected;
  };
  for (const Case& c :
       {Case{"C:\\Users\\a\\AppData\\Roaming\\Vorlune1.5",
             "C:\\Users\\a\\AppData\\Roaming\\Vorlune1.5"},
        Case{"D:\\Programs\\", "D:\\Programs"}, Case{"D:\\Programs\\\\", "D:\\Programs"},
        Case{"C:\\", "C:"}, Case{"\\\\server\\share\\", "\\\\server\\share"}, Case{"", ""}}) {
    EXPECT_EQ(DirectoryForNames(c.directory), c.expected) << c.directory;
  }
}

TEST(LauncherLine, KeepsThePlainLineWhereNothingNeedsQuoting) {
  EXPECT_EQ(LauncherLine("C:\\Users\\a\\AppData\\Roaming\\Vorlune1.5\\Vorlune1.5.exe"),
            "start C:\\Users\\a\\AppData\\Roaming\\Vorlune1.5\\Vorlune1.5.exe");
  EXPECT_EQ(LauncherLine("C:\\程序\\Vorlune1.5.exe"), "start C:\\程序\\Vorlune1.5.exe");
}

TEST(LauncherLine, QuotesPathsTheInterpreterWouldSplitOrReinterpret) {
  struct Case {
    std::string_view executable;
    std::string_view expected;
  };
  for (const Case& c : {
           Case{"C:\\Program Files\\V\\Vorlune1.5.exe",
                "start \"\" \"C:\\Program Files\\V\\Vorlune1.5.exe\""},
           Case{"C:\\R&D\\Vorlune1.5.exe", "start \"\" \"C:\\R&D\\Vorlune1.5.exe\""},
           Case{"C:\\a(x86)\\Vorlune1.5.exe", "start \"\" \"C:\\a(x86)\\Vorlune1.5.exe\""},
           Case{"C:\\a^b\\Vorlune1.5.exe", "start \"\" \"C:\\a^b\\Vorlune1.5.exe\""},
           Case{"C:\\a;b,c=d\\Vorlune1.5.exe", "start \"\" \"C:\\a;b,c=d\\Vorlune1.5.exe\""},
           // A batch file expands % even inside quotes: it is doubled to stay literal.
           Case{"C:\\100%\\Vorlune1.5.exe", "start \"\" \"C:\\100%%\\Vorlune1.5.exe\""},
       }) {
    EXPECT_EQ(LauncherLine(c.executable), c.expected) << c.executable;
  }
}

TEST(SizeText, KilobytesBelowAMegabyteAndNeedsRoundedUpFreeRoomDown) {
  struct Case {
    std::uint64_t bytes;
    Rounding rounding;
    std::string_view expected;
  };
  for (const Case& c : {
           Case{0, Rounding::kUp, "0 KB"},
           Case{1, Rounding::kUp, "1 KB"},
           Case{1, Rounding::kDown, "0 KB"},
           Case{30'301, Rounding::kUp, "30 KB"},
           Case{12'399, Rounding::kUp, "13 KB"},
           Case{12'288, Rounding::kDown, "12 KB"},
           // Just under a megabyte: rounded up it is one.
           Case{1024 * 1024 - 1, Rounding::kUp, "1 MB"},
           Case{1024 * 1024 - 1, Rounding::kDown, "1023 KB"},
           Case{1024 * 1024, Rounding::kDown, "1 MB"},
           Case{8'709'555, Rounding::kUp, "9 MB"},
           Case{8'709'555, Rounding::kDown, "8 MB"},
       }) {
    EXPECT_EQ(SizeText(c.bytes, c.rounding), c.expected) << c.bytes;
  }
}

}  // namespace
}  // namespace vorlune
