#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/startup.h"
#include "platform/win32.h"
#include "support/temp_dir.h"

namespace {

const char* const header = "Windows Registry Editor Version 5.00\r\n\r\n";
const char* const keyLine = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenmark\\Olvistra]\r\n";

// Points the registry at a file with the given text for one test.
class RegistryFile {
public:
    explicit RegistryFile(const std::string& text) : file(dir.writeFile("olvistra.reg", text)) {
        setenv("OLVISTRA_REGISTRY", file.c_str(), 1);
        std::memset(installDir, 0, sizeof installDir);
        std::strcpy(installDir, "D:\\");
    }
    ~RegistryFile() { unsetenv("OLVISTRA_REGISTRY"); }

private:
    TempDir dir;
    std::string file;
};

std::string installDirAfterLoading(const std::string& valueLine) {
    RegistryFile registry(std::string(header) + keyLine + valueLine);
    EXPECT_TRUE(loadInstallDir());
    return installDir;
}

}  // namespace

TEST(Registry, ReadsStringsWithEscapesAndHonoursBufferSize) {
    RegistryFile registry(std::string(header) + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n\"installDir\"=\"wrong\"\r\n" +
                          "[hkey_local_machine\\software\\quenmark\\olvistra]\r\n" +
                          "\"installDir\"=\"C:\\\\Program Files\\\\\\\"Olv\\\"\"\r\n\"count\"=dword:0000002a\r\n");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quenmark\\Olvistra", 0, KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    char buffer[64];
    DWORD type = 0, size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExA(key, "INSTALLDIR", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_STREQ(buffer, "C:\\Program Files\\\"Olv\"");
    EXPECT_EQ(size, std::strlen(buffer) + 1);

    char small[8];
    std::memset(small, '#', sizeof small);
    size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "installDir", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, std::strlen(buffer) + 1);
    EXPECT_EQ(std::string(small, sizeof small), std::string(8, '#'));

    DWORD number = 0;
    size = sizeof number;
    EXPECT_EQ(RegQueryValueExA(key, "count", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(number, 42u);
    EXPECT_EQ(RegQueryValueExA(key, "absent", nullptr, &type, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST(Registry, MissingFileOrKeyIsAMissingKey) {
    HKEY key = nullptr;
    setenv("OLVISTRA_REGISTRY", "/nonexistent/olvistra.reg", 1);
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quenmark\\Olvistra", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    unsetenv("OLVISTRA_REGISTRY");
    RegistryFile other(std::string(header) + "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Quenmark]\r\n\"installDir\"=\"/x\"\r\n");
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quenmark\\Olvistra", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    RegistryFile notReg("installDir=/x\n");
    EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quenmark\\Olvistra", 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
}

TEST(StartupInstallDir, TakesFittingTextAndKeepsDefaultOtherwise) {
    EXPECT_EQ(installDirAfterLoading("\"installDir\"=\"/opt/olvistra\"\r\n"), "/opt/olvistra");
    std::string longest(259, 'a');
    EXPECT_EQ(installDirAfterLoading("\"installDir\"=\"" + longest + "\"\r\n"), longest);
    EXPECT_EQ(installDirAfterLoading("\"installDir\"=\"" + std::string(260, 'b') + "\"\r\n"), "D:\\");
    EXPECT_EQ(installDirAfterLoading("\"installDir\"=\"" + std::string(4000, 'c') + "\"\r\n"), "D:\\");
    EXPECT_EQ(installDirAfterLoading("\"installDir\"=dword:00000001\r\n"), "D:\\");
    EXPECT_EQ(installDirAfterLoading("\"installDir\"=hex:41,42,43\r\n"), "D:\\");
    EXPECT_EQ(installDirAfterLoading("\"other\"=\"/x\"\r\n"), "D:\\");
    EXPECT_EQ(installDir[259], '\0');
}

TEST(StartupInstallDir, MissingKeyTellsTheUserAndRefuses) {
    RegistryFile registry{std::string(header)};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(loadInstallDir());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "olvistra: message box \"Olvistra - error\": Error: Can not from Registry.\\nProgram will close now.\n");
}

TEST(StartupPath, WindowsRules) {
    const PathStyle w = PathStyle::windows;
    EXPECT_EQ(startPathFrom(w, "", "C:\\work"), "C:/");
    EXPECT_EQ(startPathFrom(w, nullptr, "C:\\work"), "C:/");
    EXPECT_EQ(startPathFrom(w, "pics\\cat.jpg", "C:\\work"), "C:\\work\\pics\\cat.jpg");
    EXPECT_EQ(startPathFrom(w, "pics\\cat.jpg", "C:\\"), "C:\\pics\\cat.jpg");
    EXPECT_EQ(startPathFrom(w, "pics/cat.jpg", "C:\\work"), "C:\\work\\pics/cat.jpg");
    EXPECT_EQ(startPathFrom(w, "\"C:\\my pics\\a b.jpg\"", "C:\\work"), "C:\\my pics\\a b.jpg");
    EXPECT_EQ(startPathFrom(w, "C:\\x\"y\\z", "C:\\work"), "C:\\xy\\z");
    EXPECT_EQ(startPathFrom(w, "odd:name", "C:\\work"), "odd:name");
    EXPECT_EQ(startPathFrom(w, "\"\"", "C:\\work"), "C:\\work\\");
    // Two leading separators: a network path, or a \\?\ or \\.\ path.
    for (const char* absolute : {"\\\\server\\share\\a.jpg", "//server/share/a.jpg", "\\\\?\\UNC\\server\\share\\a.jpg",
                                 "\\\\?\\unix\\tmp\\a.jpg", "\\\\.\\pipe\\x"}) {
        EXPECT_EQ(startPathFrom(w, absolute, "C:\\work"), absolute);
    }
}

TEST(StartupPath, WindowsNamesAreCaseBlindPosixNamesExact) {
    EXPECT_TRUE(samePathSpelling(PathStyle::windows, "c:\\pics\\photo.jpg", "C:/Pics/Photo.JPG"));
    EXPECT_FALSE(samePathSpelling(PathStyle::windows, "c:\\pics\\photo.jpg", "c:\\pics\\photo.jpe"));
    EXPECT_FALSE(samePathSpelling(PathStyle::windows, "c:\\pics\\photo.jpg", "c:\\pics\\photo.jpg2"));
    EXPECT_FALSE(samePathSpelling(PathStyle::windows, "@", "`")) << "only letters are folded";
    EXPECT_TRUE(samePathSpelling(PathStyle::posix, "/p/Photo.JPG", "/p/Photo.JPG"));
    EXPECT_FALSE(samePathSpelling(PathStyle::posix, "/p/photo.jpg", "/p/Photo.JPG"));
}

TEST(StartupPath, PosixRules) {
    const PathStyle p = PathStyle::posix;
    EXPECT_EQ(hostPathStyle(), p);
    EXPECT_EQ(startPathFrom(p, "", "/home/u"), "/");
    EXPECT_EQ(startPathFrom(p, "pics/cat.jpg", "/home/u"), "/home/u/pics/cat.jpg");
    EXPECT_EQ(startPathFrom(p, "pics/cat.jpg", "/"), "/pics/cat.jpg");
    EXPECT_EQ(startPathFrom(p, "/abs/a b.png", "/home/u"), "/abs/a b.png");
    EXPECT_EQ(startPathFrom(p, "\"/abs/a b.png\"", "/home/u"), "/abs/a b.png");
    EXPECT_EQ(startPathFrom(p, "pi\"cs/a:b.png", "/home/u"), "/home/u/pics/a:b.png");
}

TEST(StartupPath, LongWorkingDirectoryIsReadWhole) {
    TempDir dir;
    std::string deep = dir.path();
    std::string relative;
    for (int i = 0; i < 6; ++i) relative += std::string(60, char('a' + i)) + "/";
    deep = dir.makeDir(relative.substr(0, relative.size() - 1));
    ASSERT_GT(deep.size(), 300u);
    std::string before = currentWorkingDir();
    ASSERT_EQ(chdir(deep.c_str()), 0);
    std::string seen = currentWorkingDir();
    ASSERT_EQ(chdir(before.c_str()), 0);
    EXPECT_EQ(seen + "/", deep);
    EXPECT_EQ(startPathFrom(PathStyle::posix, "x.png", seen), deep + "x.png");
}
