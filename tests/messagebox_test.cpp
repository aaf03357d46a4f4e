#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32.h"

namespace {

struct Answer {
    explicit Answer(const char* value) { setenv("OLVISTRA_DIALOG_ANSWER", value, 1); }
    ~Answer() { setenv("OLVISTRA_DIALOG_ANSWER", "yes", 1); }
};

}  // namespace

TEST(MessageBoxLine, EscapesControlCharactersAndKeepsTheRest) {
    Answer answer("yes");
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "filename:\tC:\\a 100%.png\npath:\t\"q\"", "info", MB_ICONINFORMATION), IDOK);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "olvistra: message box \"info\": filename:\\tC:\\\\a 100%.png\\npath:\\t\"q\"\n");
}

TEST(MessageBoxLine, AnswerVariableAnswersQuestionsAndOkBoxes) {
    testing::internal::CaptureStderr();
    {
        Answer answer("yes");
        EXPECT_EQ(MessageBoxA(nullptr, "q", "c", MB_YESNO | MB_ICONWARNING), IDYES);
        EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OK | MB_ICONERROR), IDOK);
    }
    {
        Answer answer("no");
        EXPECT_EQ(MessageBoxA(nullptr, "q", "c", MB_YESNO | MB_ICONWARNING), IDNO);
        EXPECT_EQ(MessageBoxA(nullptr, "t", "c", MB_OK), IDOK);
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "olvistra: message box \"c\": q\nolvistra: message box \"c\": t\n"
              "olvistra: message box \"c\": q\nolvistra: message box \"c\": t\n");
}

TEST(MessageBoxLine, LinesFromManyThreadsNeverInterleave) {
    Answer answer("yes");
    std::string text(3000, 'x');
    testing::internal::CaptureStderr();
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&] { MessageBoxA(nullptr, text.c_str(), "info", MB_OK); });
    for (auto& t : threads) t.join();
    std::string out = testing::internal::GetCapturedStderr();
    std::string line = "olvistra: message box \"info\": " + text + "\n";
    std::string expected;
    for (int i = 0; i < 8; ++i) expected += line;
    EXPECT_EQ(out, expected);
}
