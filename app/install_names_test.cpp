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

TEST(MegabytesRoundedUp, RoundsPartialMegabytesUp) {
  EXPECT_EQ(MegabytesRoundedUp(0), 0u);
  EXPECT_EQ(MegabytesRoundedUp(1), 1u);
  EXPECT_EQ(MegabytesRoundedUp(1024 * 1024), 1u);
  EXPECT_EQ(MegabytesRoundedUp(8'709'555), 9u);
}

}  // namespace
}  // namespace vorlune
