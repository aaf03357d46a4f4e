#include <gtest/gtest.h>

#include "util/path_rules.h"
#include "util/text.h"

TEST(ReplaceAll, RemovesQuotesAndTakesMatchesLeftToRight) {
    EXPECT_EQ(replaceAll("\"C:\\my pics\\a.jpg\"", "\"", ""), "C:\\my pics\\a.jpg");
    EXPECT_EQ(replaceAll("no quotes here", "\"", ""), "no quotes here");
    EXPECT_EQ(replaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(replaceAll("ab", "abc", "x"), "ab");
    EXPECT_EQ(replaceAll("", "\"", ""), "");
    EXPECT_EQ(replaceAll("xax", "a", "aa"), "xaax");  // replacement never searched again
    EXPECT_EQ(replaceAll("abc", "", "z"), "abc");     // an empty search ends
}

TEST(ToLower, OnlyAsciiLettersChange) {
    EXPECT_EQ(toLower("AbC-XyZ 09"), "abc-xyz 09");
    EXPECT_EQ(toLower("\xC4\xD6@[`{"), "\xC4\xD6@[`{");
}

TEST(ExtensionOf, TakesTextAfterLastDotLowerCased) {
    EXPECT_EQ(extensionOf("photo.JPG"), "jpg");
    EXPECT_EQ(extensionOf("archive.tar.GZ"), "gz");
    EXPECT_EQ(extensionOf("README"), "readme");
    EXPECT_EQ(extensionOf("name."), "");
    EXPECT_EQ(extensionOf(".hidden"), "hidden");
    EXPECT_EQ(extensionOf("C:\\dir.v2\\file"), "v2\\file");
}

TEST(DirnameOf, KeepsLastSeparatorAndFallsBackToDot) {
    EXPECT_EQ(dirnameOf("C:\\pics\\a.jpg"), "C:\\pics\\");
    EXPECT_EQ(dirnameOf("C:/pics/a.jpg"), "C:/pics/");
    EXPECT_EQ(dirnameOf("C:\\pics\\"), "C:\\pics\\");
    EXPECT_EQ(dirnameOf("\\a.jpg"), "\\");
    EXPECT_EQ(dirnameOf("/home/u/a.png"), "/home/u/");
    EXPECT_EQ(dirnameOf("a.jpg"), ".\\");
    EXPECT_EQ(dirnameOf("C:a.jpg"), ".\\");
    EXPECT_EQ(dirnameOf(""), ".\\");
}

TEST(HasDriveColon, AnyColonCounts) {
    EXPECT_TRUE(hasDriveColon("C:\\x"));
    EXPECT_TRUE(hasDriveColon("C:x"));
    EXPECT_TRUE(hasDriveColon("pics/a:b"));
    EXPECT_FALSE(hasDriveColon("\\\\server\\share\\x"));
    EXPECT_FALSE(hasDriveColon(""));
}

TEST(IntToString, PrintfDecimal) {
    EXPECT_EQ(intToString(0), "0");
    EXPECT_EQ(intToString(-42), "-42");
    EXPECT_EQ(intToString(1024), "1024");
    EXPECT_EQ(intToString(-2147483647 - 1), "-2147483648");
}

TEST(PathRules, WindowsAndPosixConventions) {
    EXPECT_EQ(defaultStartPath(PathStyle::windows), "C:/");
    EXPECT_EQ(defaultStartPath(PathStyle::posix), "/");

    EXPECT_TRUE(isAbsolutePath(PathStyle::windows, "C:\\x"));
    EXPECT_TRUE(isAbsolutePath(PathStyle::windows, "odd:name"));
    EXPECT_FALSE(isAbsolutePath(PathStyle::windows, "\\pics"));
    EXPECT_TRUE(isAbsolutePath(PathStyle::posix, "/pics"));
    EXPECT_FALSE(isAbsolutePath(PathStyle::posix, "pics/a:b"));
    EXPECT_FALSE(isAbsolutePath(PathStyle::posix, ""));

    EXPECT_EQ(joinToWorkingDir(PathStyle::windows, "C:\\work", "pics\\cat.jpg"), "C:\\work\\pics\\cat.jpg");
    EXPECT_EQ(joinToWorkingDir(PathStyle::windows, "C:\\", "pics\\cat.jpg"), "C:\\pics\\cat.jpg");
    EXPECT_EQ(joinToWorkingDir(PathStyle::posix, "/work", "pics/cat.jpg"), "/work/pics/cat.jpg");
    EXPECT_EQ(joinToWorkingDir(PathStyle::posix, "/", "pics/cat.jpg"), "/pics/cat.jpg");
}
