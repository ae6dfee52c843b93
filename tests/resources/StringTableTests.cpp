#include <gtest/gtest.h>

#include "ZAVTools.h"

namespace {

// The test run's locale is en-US and the build tree has no en-US folder, so these read the
// library's own table.
TEST(StringTable, EnglishEntriesIncludingShortOnesAndBlockEdges) {
    EXPECT_STREQ("CuSum", strGetStringZAVTools(4017));
    EXPECT_STREQ("C", strGetStringZAVTools(4018));
    EXPECT_STREQ("U", strGetStringZAVTools(4019));
    EXPECT_STREQ("P", strGetStringZAVTools(4020));
    EXPECT_STREQ("XML exception", strGetStringZAVTools(4000)) << "first entry of block 251";
    EXPECT_STREQ("Configuration file loading fails", strGetStringZAVTools(101));
    EXPECT_STREQ("Runner: QCP file error", strGetStringZAVTools(4001));
    EXPECT_STREQ("Samples in row in/decreasing", strGetStringZAVTools(4032));
    EXPECT_STREQ("XBar & S", strGetStringZAVTools(4034));
    EXPECT_STREQ("Obs. %d is out of spec; x=%g; Limits: [---, %g]", strGetStringZAVTools(4027));
}

TEST(StringTable, AbsentEntriesAreEmpty) {
    EXPECT_TRUE(strGetStringZAVTools(4004).IsEmpty());
    EXPECT_TRUE(strGetStringZAVTools(4035).IsEmpty());
    EXPECT_TRUE(strGetStringZAVTools(5000).IsEmpty());
    EXPECT_TRUE(strGetStringZAVTools(0).IsEmpty());
    EXPECT_TRUE(strGetStringZAVTools(0xFFFFFFFFu).IsEmpty());
}

} // namespace
