#include <gtest/gtest.h>
#include <cwchar>

#include "ZAVTools.h"

namespace {

QCAlarm MakeAlarm() {
    QCAlarm alarm;
    alarm.charId = 12;
    QCAlarm::SetString(alarm.alarmType, "SampleOutOfControl");
    QCAlarm::SetString(alarm.processName, "Line=A,Shift=Night");
    QCAlarm::SetString(alarm.sampleId, L"2024-05-01_17");
    QCAlarm::SetString(alarm.description, "XBar & R; X Measure: 12.7; Limits: [10, 12]");
    QCAlarm::SetString(alarm.charDetails, "");
    return alarm;
}

TEST(QCAlarm, NarrowTextIsWidenedAndNullStaysNull) {
    QCAlarm alarm = MakeAlarm();
    EXPECT_STREQ(L"SampleOutOfControl", alarm.alarmType);
    EXPECT_STREQ(L"2024-05-01_17", alarm.sampleId);
    ASSERT_NE(nullptr, alarm.charDetails) << "an empty text is an empty string, not null";
    EXPECT_STREQ(L"", alarm.charDetails);

    QCAlarm::SetString(alarm.processName, "Caf\xE9");
    EXPECT_STREQ(L"Caf\u00E9", alarm.processName);
    QCAlarm::SetString(alarm.processName, static_cast<const char*>(nullptr));
    EXPECT_EQ(nullptr, alarm.processName);
    QCAlarm::SetString(alarm.sampleId, static_cast<const wchar_t*>(nullptr));
    EXPECT_EQ(nullptr, alarm.sampleId);
}

TEST(QCAlarm, CopiesDuplicateEveryStringAndMovesTakeThemOver) {
    QCAlarm original = MakeAlarm();
    QCAlarm copy(original);
    EXPECT_EQ(12, copy.charId);
    EXPECT_NE(original.description, copy.description);
    EXPECT_STREQ(original.description, copy.description);
    EXPECT_NE(original.charDetails, copy.charDetails);

    const wchar_t* text = copy.description;
    QCAlarm moved(std::move(copy));
    EXPECT_EQ(text, moved.description);
    EXPECT_EQ(nullptr, copy.description);
    EXPECT_EQ(nullptr, copy.alarmType);
    EXPECT_EQ(0, copy.charId);

    QCAlarm assigned;
    assigned = original;
    assigned = assigned;
    EXPECT_STREQ(L"Line=A,Shift=Night", assigned.processName);
    assigned = std::move(moved);
    EXPECT_EQ(text, assigned.description);
}

TEST(QCAlarm, ClearFreesAndZeroesEveryField) {
    QCAlarm alarm = MakeAlarm();
    alarm.Clear();
    EXPECT_EQ(0, alarm.charId);
    for (wchar_t* field :
         {alarm.alarmType, alarm.processName, alarm.sampleId, alarm.description, alarm.charDetails})
        EXPECT_EQ(nullptr, field);
    alarm.Clear();
}

TEST(QCAlarm, RecordsLieFortyEightBytesApartInAVector) {
    std::vector<QCAlarm> alarms(3);
    auto first = reinterpret_cast<const char*>(&alarms[0]);
    EXPECT_EQ(48, reinterpret_cast<const char*>(&alarms[1]) - first);
    EXPECT_EQ(96, reinterpret_cast<const char*>(&alarms[2]) - first);
    EXPECT_EQ(8, reinterpret_cast<const char*>(&alarms[0].alarmType) - first);
    EXPECT_EQ(40, reinterpret_cast<const char*>(&alarms[0].charDetails) - first);
}

} // namespace
