#include "core/db_schema.h"

#include <gtest/gtest.h>

// Every declared table is a valid definition whose message and phrase tables keep their rows
// ordered by id; a 70-character Chinese text fits the 160-character message body.
TEST(DbSchema, TablesAreValidAndOrdered)
{
    ASSERT_EQ(core::dbTableDefs().size(), size_t(core::kDbTableCount));
    for (const auto &d : core::dbTableDefs()) {
        platform::Table t = core::makeDbTable(d.id);
        EXPECT_TRUE(t.valid()) << d.name;
    }
    platform::Table sms = core::makeDbTable(core::DbTable::Smsinfo);
    EXPECT_EQ(sms.activeIndex(), "cdsSmsinfoIndex1");
    std::string chinese;
    for (int i = 0; i < 70; ++i)
        chinese += "\xE4\xB8\xAD"; // U+4E2D
    sms.append();
    EXPECT_EQ(sms.setText("body", chinese), platform::SetResult::Ok);
    EXPECT_TRUE(sms.post());
    EXPECT_EQ(core::makeDbTable(core::DbTable::Phrase).activeIndex(), "cdsPlistIndex1");
}
