#include <gtest/gtest.h>

#include "app/command_line.h"

TEST(CommandLine, OnlyTheWholeTextIsAnOption) {
    EXPECT_EQ(commandLineRequest("--help"), CommandLineRequest::help);
    EXPECT_EQ(commandLineRequest("-h"), CommandLineRequest::help);
    EXPECT_EQ(commandLineRequest("\"--help\""), CommandLineRequest::help) << "quotes go, as from a path";
    EXPECT_EQ(commandLineRequest("--version"), CommandLineRequest::version);
    EXPECT_EQ(commandLineRequest("-V"), CommandLineRequest::version);
    for (const char* path : {"./--help", "--help me", " --help", "--HELP", "-v", "-H", "--", "", "/pics"}) {
        EXPECT_EQ(commandLineRequest(path), CommandLineRequest::view) << path;
    }
    EXPECT_EQ(commandLineRequest(nullptr), CommandLineRequest::view);
}
