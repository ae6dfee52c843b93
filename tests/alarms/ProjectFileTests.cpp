#include <gtest/gtest.h>
#include <string>

#include "ZAVTools.h"
#include "support/TempDir.h"

namespace {

struct ProjectFileReaders : ::testing::Test {
    zavtest::TempDir temp;
    std::string qcp = temp / "project.qcp";

    void SetUp() override {
        zavtest::WriteTextFile(qcp, "[OTHER]\r\n"
                                    "Elsewhere=5\r\n"
                                    "[general]\r\n"
                                    "Empty=\r\n"
                                    "Sentinel=_3f1b7e20_a4c6_4d19_9b2e_5c8d0f61a7b4_\r\n"
                                    "Long=" +
                                        std::string(200, 'v') +
                                        "\r\n"
                                        "Mixed=12abc\r\n"
                                        "Letters=abc\r\n"
                                        "Negative=  -42  \r\n"
                                        "Quoted=\"a b\"\r\n"
                                        "CharName=Diameter [mm]\r\n");
    }
};

TEST_F(ProjectFileReaders, PresentKeysReadAsTextAndAsAtoiWould) {
    int value = -1;
    std::string text = "untouched";
    EXPECT_TRUE(GetValueFromQCPFile("Empty", qcp.c_str(), value));
    EXPECT_EQ(0, value);
    EXPECT_TRUE(GetStringFromQCPFile("Empty", qcp.c_str(), text));
    EXPECT_EQ("", text);

    EXPECT_TRUE(GetValueFromQCPFile("Mixed", qcp.c_str(), value));
    EXPECT_EQ(12, value);
    EXPECT_TRUE(GetValueFromQCPFile("Letters", qcp.c_str(), value));
    EXPECT_EQ(0, value) << "no digits read as 0 and still count as present";
    EXPECT_TRUE(GetValueFromQCPFile("negative", qcp.c_str(), value)) << "keys ignore case";
    EXPECT_EQ(-42, value);

    EXPECT_TRUE(GetStringFromQCPFile("Long", qcp.c_str(), text));
    EXPECT_EQ(std::string(127, 'v'), text) << "values are cut to 127 characters";
    EXPECT_TRUE(GetStringFromQCPFile("Quoted", qcp.c_str(), text));
    EXPECT_EQ("a b", text);
    EXPECT_TRUE(GetStringFromQCPFile("CharName", qcp.c_str(), text));
    EXPECT_EQ("Diameter [mm]", text);
}

TEST_F(ProjectFileReaders, AbsentKeysLeaveTheValueAlone) {
    int value = 77;
    std::string text;
    EXPECT_FALSE(GetValueFromQCPFile("Sentinel", qcp.c_str(), value))
        << "the sentinel in any case reads as absent";
    EXPECT_FALSE(GetValueFromQCPFile("Missing", qcp.c_str(), value));
    EXPECT_FALSE(GetValueFromQCPFile("Elsewhere", qcp.c_str(), value)) << "other sections";
    EXPECT_FALSE(GetValueFromQCPFile("Empty", (temp / "none.qcp").c_str(), value));
    EXPECT_FALSE(GetValueFromQCPFile(nullptr, qcp.c_str(), value));
    EXPECT_FALSE(GetValueFromQCPFile("Empty", nullptr, value));
    EXPECT_FALSE(GetStringFromQCPFile(nullptr, qcp.c_str(), text));
    EXPECT_EQ(77, value);
}

} // namespace
