// A message store over the real local database in a scratch program folder: the message table is
// the engine's file under Database/, saved and loaded again by reopen().
#pragma once

#include "content/fake_env.h"
#include "content/sms_manage.h"
#include "core/db_main.h"
#include "core/platform/temp_tree.h"

#include <memory>
#include <string>
#include <vector>

namespace content_test {

struct SmsStore {
    platform_test::TempTree tmp;
    content::FakeEnv env;
    std::unique_ptr<core::TdbMain> db;
    std::unique_ptr<content::TSMSManage> sms;

    SmsStore()
    {
        tmp.dir("Database");
        env.program = tmp.root();
        open();
    }
    ~SmsStore()
    {
        sms.reset();
        db.reset();
    }

    void open()
    {
        db = std::make_unique<core::TdbMain>(tmp.path("Database"), &env.prompt);
        EXPECT_TRUE(db->isOpen(core::DbTable::Smsinfo));
        sms = std::make_unique<content::TSMSManage>(env, &db->table(core::DbTable::Smsinfo));
    }
    // Saves the database (at its end) and opens it again from its files.
    void reopen()
    {
        sms.reset();
        db.reset();
        open();
    }
    platform::Table &table() { return db->table(core::DbTable::Smsinfo); }

    // Adds one message; answers its id.
    int32_t add(int box, std::string tel, std::string body, int states = 0,
                std::string time = "2026-03-04 05:06:07")
    {
        content::ArraySms one{content::Ssms{.boxid = box, .states = uint8_t(states), .Tel = std::move(tel),
                                            .time = std::move(time), .body = std::move(body)}};
        EXPECT_GT(sms->AddMessages(one, -1, false), 0);
        return one[0].id;
    }
    // The row of id, read through the manager.
    content::Ssms get(int32_t id)
    {
        content::Ssms m{.id = id};
        EXPECT_EQ(sms->GetMessage(m), 0) << "id " << id;
        return m;
    }
    int32_t integer(int32_t id, const char *field)
    {
        platform::Table &t = table();
        t.clearFilter();
        EXPECT_TRUE(t.locate("id", id)) << "id " << id;
        return t.integer(field);
    }
    bool has(int32_t id)
    {
        table().clearFilter();
        return table().locate("id", id);
    }
};

} // namespace content_test
