#include "core/settings/app_paths.h"

#include <gtest/gtest.h>

namespace hourlink {
namespace {

TEST(ProgramDirectoryTest, KeepsTheLastBackslashAndFailsWithoutOne) {
    EXPECT_EQ(ProgramDirectoryOf(L"C:\\Program Files\\Hourlink\\Hourlink.exe"),
              L"C:\\Program Files\\Hourlink\\");
    EXPECT_EQ(ProgramDirectoryOf(L"C:\\Hourlink.exe"), L"C:\\");
    EXPECT_EQ(ProgramDirectoryOf(L"\\\\server\\share\\Hourlink.exe"), L"\\\\server\\share\\");
    EXPECT_FALSE(ProgramDirectoryOf(L"Hourlink.exe").has_value());
    EXPECT_FALSE(ProgramDirectoryOf(L"").has_value());
}

TEST(HelpFilePathTest, OneBackslashBeforeTheFileName) {
    EXPECT_EQ(HelpFilePathOf(L"C:\\Tools\\Hourlink.exe"), L"C:\\Tools\\Hourlink.chm");
    // A program in a drive's root: "C:\Hourlink.chm", not "C:\\Hourlink.chm".
    EXPECT_EQ(HelpFilePathOf(L"C:\\Hourlink.exe"), L"C:\\Hourlink.chm");
    // The help file follows the program file's directory, whatever its name.
    EXPECT_EQ(HelpFilePathOf(L"D:\\a b\\renamed.exe"), L"D:\\a b\\Hourlink.chm");
    EXPECT_EQ(HelpFilePathOf(L"Hourlink.exe"), L"Hourlink.chm");
}

TEST(ProgramBaseNameTest, DropsDirectoryAndExtension) {
    EXPECT_EQ(ProgramBaseNameOf(L"C:\\Tools\\Hourlink.exe"), L"Hourlink");
    // A renamed copy is a program of its own: its own mutex and window mark.
    EXPECT_EQ(ProgramBaseNameOf(L"C:\\Tools\\Hourlink2.EXE"), L"Hourlink2");
    // Only the last extension goes; dots in directories don't count.
    EXPECT_EQ(ProgramBaseNameOf(L"C:\\v2.21\\Hour.link.exe"), L"Hour.link");
    EXPECT_EQ(ProgramBaseNameOf(L"C:\\v2.21\\Hourlink"), L"Hourlink");
    EXPECT_EQ(ProgramBaseNameOf(L"C:Hourlink.exe"), L"Hourlink");
    EXPECT_EQ(ProgramBaseNameOf(L"Hourlink.exe"), L"Hourlink");
    EXPECT_EQ(ProgramBaseNameOf(L"C:/wine/Hourlink.exe"), L"Hourlink");
}

TEST(StartupCommandTest, ProgramInTheDirectoryWithTheHideArgument) {
    EXPECT_EQ(StartupCommand(L"C:\\Tools"), L"C:\\Tools\\Hourlink.exe hide");
    // A trailing backslash, as the program directory has it, is not doubled.
    EXPECT_EQ(StartupCommand(L"C:\\Tools\\"), L"C:\\Tools\\Hourlink.exe hide");
    EXPECT_EQ(StartupCommand(L"C:\\"), L"C:\\Hourlink.exe hide");
    // Blanks in the path: quoted, so only the whole path can be meant.
    EXPECT_EQ(StartupCommand(L"C:\\Program Files\\Hourlink\\"),
              L"\"C:\\Program Files\\Hourlink\\Hourlink.exe\" hide");
}

TEST(CommandLineTest, AnyArgumentCountsButBlanksDoNot) {
    EXPECT_FALSE(HasArguments(L""));
    EXPECT_FALSE(HasArguments(L"  \t"));
    EXPECT_TRUE(HasArguments(L"hide"));
    EXPECT_TRUE(HasArguments(L" x"));
    EXPECT_TRUE(HasArguments(L"/show"));
}

}  // namespace
}  // namespace hourlink
