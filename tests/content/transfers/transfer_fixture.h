// The message store over a real message table, its handset side, and a FakeHandset behind the
// real worker: what the message transfer tests share.
#pragma once

#include "content/sms/sms_store.h"
#include "content/sms_transfer.h"
#include "fake_handset.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace transfer_test {

// A slot table as text: "pos:state:id" for each entry, blank-separated ("1:4:7 2:1:-1").
inline std::string slotText(const content::SlotTable &t)
{
    std::string out;
    for (const content::SmsSlot &s : t) {
        if (!out.empty())
            out += ' ';
        out += std::to_string(s.position) + ":" + std::to_string(s.state) + ":" + std::to_string(s.id);
    }
    return out;
}

class TransferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        store.env.app.Connected = true;
        phone = std::make_unique<content::TSmsTransfer>(*store.sms, store.env, *handset.runner, *handset.smsClt);
        handset.connect();
    }
    void TearDown() override { phone.reset(); }

    // The rows of one box, by id, with their Tid.
    std::vector<content::Ssms> box(int b)
    {
        std::vector<content::Ssms> out;
        for (const content::SmsListRow &r : store.sms->FillList(b).rows) {
            content::Ssms m = store.get(r.id);
            if (m.boxid == b)
                out.push_back(m);
        }
        return out;
    }
    std::vector<std::string> bodies(int b)
    {
        std::vector<std::string> out;
        for (const content::Ssms &m : box(b))
            out.push_back(m.body);
        return out;
    }
    int phoneRows() { return static_cast<int>(box(8).size() + box(9).size()); }
    std::vector<std::string> shown() { return store.env.prompt.texts(); }
    void clearShown() { store.env.prompt.clear(); }
    // Download with a clean log and prompt afterwards.
    void download()
    {
        ASSERT_EQ(phone->Download(), 0);
        handset.store.log.clear();
        handset.store.resetItems();
        clearShown();
    }

    FakeHandset handset;
    content_test::SmsStore store;
    std::unique_ptr<content::TSmsTransfer> phone;
};

} // namespace transfer_test
