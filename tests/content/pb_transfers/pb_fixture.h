// The phone-book manager over a FakeHandset behind the real worker: what the phone-book transfer
// tests share. The handset has SIM (1..250), phone memory (1..500), contacts (13) and groups (14).
#pragma once

#include "content/fake_env.h"
#include "content/phonebook_manage.h"
#include "content/transfers/fake_handset.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace pb_test {

using content::StorageCode;
using content::PosState;

inline std::string vc(const std::string &name, const std::string &tel)
{
    return content::TPhoneBookManage::BuildContact({{content::kFieldName, -1, name}, {content::kFieldTel, 0, tel}});
}
inline std::string group(const std::string &name)
{
    return content::TPhoneBookManage::BuildContact({{content::kFieldName, -1, name}});
}

// The family part of an N value ("Ann;;;;" -> "Ann").
inline std::string family(const std::string &n) { return n.substr(0, n.find(';')); }

class PbTransferTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.app.Connected = true;
        env.app.PbCap2 = true;
        env.app.PbCap4 = true;
        env.app.PbCap8 = true;
        pb.AttachTransfers(*handset.runner, handset.cardClt.get(), handset.contactsClt.get(),
                           handset.groupsClt.get());
        handset.connect();
    }

    // "pos=name" of the book's storage, in table order ("1=Ann 3=Bob").
    std::string names(int book, StorageCode s)
    {
        std::string out;
        const platform::Table &t = pb.book(book).table;
        for (const platform::Row &r : t.rows()) {
            if (r.intAt(size_t(t.fieldIndex("Pos"))) != content::toInt(s))
                continue;
            std::string name;
            for (const content::TVcardFields &f :
                 content::TPhoneBookManage::ParseContact(r.textAt(size_t(t.fieldIndex("Value")))))
                if (f.type == content::kFieldName && name.empty())
                    name = family(f.value);
            out += (out.empty() ? "" : " ") + std::to_string(r.intAt(size_t(t.fieldIndex("PbId")))) + "=" + name;
        }
        return out;
    }
    // The name held at a handset position ("<none>" when empty).
    std::string handsetName(transfer_test::FakeStore &st, int32_t stor, int32_t pos)
    {
        std::string text = st.entryText(stor, pos);
        if (text == "<none>")
            return text;
        for (const content::TVcardFields &f : content::TPhoneBookManage::ParseContact(text))
            if (f.type == content::kFieldName)
                return family(f.value);
        return "?";
    }
    PosState state(StorageCode s, int32_t pos)
    {
        for (const content::IdMngRec &r : pb.handsetStorage(s).idMng)
            if (r.pos == pos)
                return r.state;
        return PosState::Free;
    }
    // Every record state of a storage that is not free, as "pos:state".
    std::string states(StorageCode s)
    {
        std::string out;
        for (const content::IdMngRec &r : pb.handsetStorage(s).idMng)
            if (r.state != PosState::Free)
                out += (out.empty() ? "" : " ") + std::to_string(r.pos) + ":" + std::to_string(int(r.state));
        return out;
    }
    int32_t save(int book, StorageCode s, int32_t pos, const std::string &name, const std::string &tel)
    {
        return pb.SaveContact(book, s, pos, {{content::kFieldName, -1, name}, {content::kFieldTel, 0, tel}});
    }
    void clearLogs()
    {
        handset.pbStore.log.clear();
        handset.contactsStore.log.clear();
        handset.groupsStore.log.clear();
        handset.pbStore.resetItems();
        env.prompt.clear();
    }

    transfer_test::FakeHandset handset;
    content::FakeEnv env;
    content::TPhoneBookManage pb{env};
};

} // namespace pb_test
