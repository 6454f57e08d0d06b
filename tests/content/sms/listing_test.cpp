// Listing a box, the box captions and the core's menu state.
#include "sms_store.h"

#include "content/pictures.h"

#include <gtest/gtest.h>

#include <algorithm>

using content::keyText;
using content::SmsList;
using content_test::SmsStore;

namespace {

std::vector<int32_t> idsOf(const SmsList &l)
{
    std::vector<int32_t> out;
    for (const auto &r : l.rows)
        out.push_back(r.id);
    return out;
}

} // namespace

TEST(SmsListing, WhichBoxesAListShows)
{
    SmsStore s;
    std::vector<int32_t> idOfBox(11);
    // Added from the highest box down, so that table order and id order agree nowhere by chance.
    for (int box = 10; box >= 0; --box)
        idOfBox[box] = s.add(box, "+44" + std::to_string(box), "in box " + std::to_string(box));
    s.reopen();
    auto ids = [&](std::initializer_list<int> boxes) {
        std::vector<int32_t> out;
        for (int b : boxes)
            out.push_back(idOfBox[b]);
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(idsOf(s.sms->FillList(0)), ids({0, 1, 2, 3, 4}));
    EXPECT_EQ(idsOf(s.sms->FillList(7)), ids({8, 9, 10}));
    EXPECT_EQ(idsOf(s.sms->FillList(5)), ids({5}));
    EXPECT_EQ(idsOf(s.sms->FillList(1)), ids({1}));
    EXPECT_EQ(s.sms->listedBox(), 1);
    EXPECT_FALSE(s.table().filtered());
}

TEST(SmsListing, ColumnsSubItemsAndPictures)
{
    SmsStore s;
    const int32_t draft = s.add(content::kBoxDrafts, "+441", "draft", 1);
    const int32_t sent = s.add(content::kBoxSent, "+442", "sent", 0, "--");
    const int32_t received = s.add(content::kBoxReceived, "+443", "it's read", 2);
    const int32_t recycled = s.add(content::kBoxRecycle, "+444", "gone", 2);

    const SmsList l0 = s.sms->FillList(0);
    EXPECT_EQ(l0.columns, (std::vector<std::string>{keyText("SmsMng_0_DataListColumn0"),
                                                    keyText("SmsMng_0_DataListColumn1"),
                                                    keyText("SmsMng_0_DataListColumn2"),
                                                    keyText("SmsMng_0_DataListColumn3")}));
    ASSERT_EQ(l0.rows.size(), 3u);
    // Each row's own box decides its picture, whichever list it is shown in.
    EXPECT_EQ(l0.rows[0].id, draft);
    EXPECT_EQ(l0.rows[0].image, content::kPicDraft);
    EXPECT_EQ(l0.rows[1].id, sent);
    EXPECT_EQ(l0.rows[1].image, content::kPicSent);
    EXPECT_EQ(l0.rows[2].id, received);
    EXPECT_EQ(l0.rows[2].image, content::kPicUnread);
    for (const auto &r : l0.rows)
        EXPECT_EQ(r.stateImage, r.image);
    EXPECT_EQ(l0.rows[1].Tel, "+442");
    EXPECT_EQ(l0.rows[1].body, "sent");
    EXPECT_EQ(l0.rows[1].time, "--");
    EXPECT_EQ(l0.rows[2].idText, std::to_string(received));

    const SmsList l5 = s.sms->FillList(5);
    EXPECT_EQ(l5.columns[3], keyText("SmsMng_5_DataListColumn3"));
    ASSERT_EQ(l5.rows.size(), 1u);
    EXPECT_EQ(l5.rows[0].id, recycled);
    EXPECT_EQ(l5.rows[0].image, content::kPicDeleted);
}

// A message's picture tells its state at a glance, and never borrows another box's picture: an
// unread message used to wear the outbox's and a draft the recycle box's.
TEST(SmsListing, PicturesTellTheStateApart)
{
    const struct {
        int box, states, picture;
    } cases[] = {
        {content::kBoxReceived, 2, content::kPicUnread},      {content::kBoxReceived, 0, content::kPicUnread},
        {content::kBoxReceived, 1, content::kPicRead},        {content::kBoxPhoneReceived, 2, content::kPicUnread},
        {content::kBoxPhoneReceived, 1, content::kPicRead},   {content::kBoxSent, 3, content::kPicSent},
        {content::kBoxSent, 0, content::kPicSent},            {2, 0, content::kPicUnsent},
        {2, 2, content::kPicUnsent},                          {content::kBoxPhoneStored, 2, content::kPicUnsent},
        {content::kBoxDrafts, 0, content::kPicDraft},         {content::kBoxDrafts, 1, content::kPicDraft},
        {content::kBoxRecycle, 1, content::kPicDeleted},      {content::kBoxHidden, 2, content::kPicDeleted},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("box " + std::to_string(c.box) + " states " + std::to_string(c.states));
        EXPECT_EQ(content::messagePicture(c.box, c.states), c.picture);
        EXPECT_GE(content::messagePicture(c.box, c.states), content::kPicUnread) << "a box's picture";
    }
}

TEST(SmsCaptions, TenEntriesAndGetBoxId)
{
    content::FakeEnv env;
    content::TSMSManage sms(env, nullptr);
    EXPECT_EQ(sms.boxIds(), (std::vector<int>{-1, 0, 1, 2, 3, 4, 5, 7, 8, 9}));
    const std::vector<std::string> &c = sms.boxCaptions();
    ASSERT_EQ(c.size(), 10u);
    EXPECT_EQ(c[0], keyText("SmsMng_AllMessage"));
    EXPECT_EQ(c[1], keyText("SmsMng_Tree_0"));
    EXPECT_EQ(c[6], keyText("SmsMng_Tree_5"));
    EXPECT_EQ(c[7], keyText("SmsMng_Tree_7"));
    EXPECT_EQ(c[8], keyText("SmsMng_Tree_8") + "(" + keyText("SmsMng_Tree_7") + ")");
    EXPECT_EQ(c[9], keyText("SmsMng_Tree_9") + "(" + keyText("SmsMng_Tree_7") + ")");

    EXPECT_EQ(sms.GetBoxId(keyText("SmsMng_AllMessage")), -1);
    for (size_t i = 0; i < c.size(); ++i)
        EXPECT_EQ(sms.GetBoxId(c[i]), sms.boxIds()[i]);
    EXPECT_EQ(sms.GetBoxId("no such box"), content::kSmsFailed);
    EXPECT_EQ(sms.GetBoxId(""), content::kSmsFailed);

    // The tree: box 0 over 1-5, box 7 over 8 and 9, both open.
    const auto tree = sms.boxTree();
    ASSERT_EQ(tree.size(), 2u);
    EXPECT_EQ(tree[0].id, 0);
    EXPECT_EQ(tree[0].children.size(), 5u);
    EXPECT_EQ(tree[1].id, 7);
    ASSERT_EQ(tree[1].children.size(), 2u);
    EXPECT_EQ(tree[1].children[1].text, keyText("SmsMng_Tree_9"));
    EXPECT_TRUE(tree[0].expanded && tree[1].expanded);
}

TEST(SmsMenus, MinusOneKeepsTheLastBox)
{
    content::FakeEnv env;
    content::TSMSManage sms(env, nullptr);
    EXPECT_EQ(sms.UpdateMenus(5, 1).box, 5);
    const content::SmsMenuState s = sms.UpdateMenus(-1, 1);
    EXPECT_EQ(s.box, 5);
    EXPECT_EQ(content::stateOf(s.named, "pSmsUndel"), (content::ItemState{true, true}));
}
