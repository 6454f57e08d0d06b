// The English texts as the build ships them (dist/Language/English.dat).
#include "core/lang_mng.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

class English : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        lang_ = new core::TLangMng(SV_DIST_DIR);
        lang_->setLanguage("English"); // another shipped language may sort first
    }
    static void TearDownTestSuite()
    {
        lang_->clearMissedKeys();
        delete lang_;
        lang_ = nullptr;
    }
    void SetUp() override
    {
        ASSERT_EQ(lang_->currentLanguage(), "English") << "build the 'languages' target";
    }
    // The text, failing when the key is missing or its text empty.
    static std::string text(const std::string &key)
    {
        std::string v = lang_->translate(key);
        EXPECT_FALSE(v.empty()) << "no text for " << key;
        return v;
    }

    static core::TLangMng *lang_;
};
core::TLangMng *English::lang_ = nullptr;

TEST_F(English, EveryResultCodeHasAnErrorText)
{
    std::ifstream in(std::string(SV_SOURCE_DIR) + "/devlib/include/dv_result.h");
    ASSERT_TRUE(in) << "dv_result.h not found";
    const std::string header((std::istreambuf_iterator<char>(in)), {});
    const std::regex code(R"(DV_E_\w+\s*=\s*-(\d+))");
    int found = 0;
    for (auto it = std::sregex_iterator(header.begin(), header.end(), code); it != std::sregex_iterator(); ++it) {
        text("ErrInfo_" + (*it)[1].str());
        ++found;
    }
    EXPECT_GE(found, 20); // the header was really read
    text("ErrInfo_CommErrInfo");
}

TEST_F(English, EveryFamilyIsComplete)
{
    std::vector<std::string> keys;
    for (int kind : {0, 1, 2, 4, 9})
        keys.push_back("frProg_Info_" + std::to_string(kind));
    for (int c : {10, 11, 12, 13, 14, 20, 21, 22})
        keys.push_back("frProg_Info_Class" + std::to_string(c));
    for (int box : {0, 1, 2, 3, 4, 5, 7, 8, 9})
        keys.push_back("SmsMng_Tree_" + std::to_string(box));
    for (int box = 0; box <= 9; ++box)
        for (int col = 0; col < 4; ++col)
            keys.push_back("SmsMng_" + std::to_string(box) + "_DataListColumn" + std::to_string(col));
    for (int s : {0, 1, 2, 4, 8})
        keys.push_back("PbMng_Tree_" + std::to_string(s));
    for (int c : {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 61})
        keys.push_back("PbMng_Pb_Column_" + std::to_string(c));
    for (int a : {1, 2, 128, 64})
        keys.push_back("PbMng_ParamA" + std::to_string(a));
    for (int b : {256, 512, 1024, 2048})
        keys.push_back("PbMng_ParamB" + std::to_string(b));
    for (int s = 0; s <= 4; ++s)
        keys.push_back("fMain_SmsStrStatus" + std::to_string(s));
    for (const std::string &k : keys)
        text(k);
}

TEST_F(English, EveryNamedKeyIsThere)
{
    // Spelled as the program looks them up (misspellings included).
    const char *named[] = {
        "Application_Hite_title", "Info_DefaultSCA", "ErrInfo_CommErrInfo", "Phrase_Cpation",
        "Phrase_FileError", "SmsMng_AllMessage", "SmsMng_MessCode1", "SmsMng_MessCode2",
        "SmsMng_MemFull", "SmsMng_NotConnected", "PbMng_CopyError1", "PbMng_CopyError20",
        "PbMng_CopyError21", "PbMng_CopyError3", "PbMng_CopyError4", "PbMng_CopyError5",
        "PbMng_CopyError6", "PbMng_CopyError7", "PbMng_CopyError8", "PbMng_CopyError9",
        "PbMng_ErrorArea", "PbMng_MessCode1", "PbMng_MessCode2", "PbMng_MessCode3",
        "fMain_Caption", "fMain_Connected", "fMain_DisConnected", "fMain_Manufacturer",
        "fMain_Battery", "fMain_NoValue", "fMain_SmsStatusName", "fMain_Clear", "fMain_Updata",
        "fMain_FindNoKey", "fMain_FindNoFind", "FrmProgress_Caption", "fAbout_Caption",
        "fFind_Caption", "fPhoneInfo_Caption", "fPhoneList_Caption", "fmTestConn_Caption",
        "fmAdd_Caption", "fr_print_Caption", "fr_print_MessCode1", "fr_viewprint_Caption",
        "fEditSms_Caption", "fEditSms_SaveasDraft", "fEditSms_StatusBar0", "fEditSms_StatusBar1",
        "fEditSms_StatusBar01", "fEditSms_StatusBar11", "fPhraseList_Caption",
        "fPhraseList_MessCode1", "fPhraseEdit_Caption", "fSet_Caption", "fSet_MessCode1",
        "fSet_Signature", "fSet_SignatureAdd", "fSet_SignatureEditQuestion", "fSet_SCA",
        "fSet_SCAAdd", "fSet_SCAEditQuestion", "fVcardEdit_Caption", "fVcardEdit_NoName",
        "fVcardEdit_lblName0", "fVcardEdit_lblName1", "fVcardEdit_EditCaption61",
        "fVcardEdit_btnOK", "fVcardEdit_btnCancel",
    };
    for (const char *k : named)
        text(k);
    // Present on purpose with an empty text (a counter's unit, a blank panel).
    for (const char *k : {"fEditSms_StatusBar02", "fEditSms_StatusBar12", "fEditSms_StatusBar2",
                          "fEditSms_StatusBar3", "fPhraseList_MessCode2"}) {
        EXPECT_EQ(lang_->translate(k), "");
        EXPECT_EQ(lang_->missedKeys().count(k), 0u) << k;
    }
}

// Texts that the program later looks up by their caption must tell their owners apart.
TEST_F(English, CaptionsLookedUpByTextAreDistinct)
{
    // The message boxes' caption list: all, the local root and boxes, the handset root and boxes
    // (these with the root's text in brackets).
    std::set<std::string> boxes{text("SmsMng_AllMessage"), text("SmsMng_Tree_0")};
    for (int k = 1; k <= 5; ++k)
        boxes.insert(text("SmsMng_Tree_" + std::to_string(k)));
    boxes.insert(text("SmsMng_Tree_7"));
    for (int k : {8, 9})
        boxes.insert(text("SmsMng_Tree_" + std::to_string(k)) + "(" + text("SmsMng_Tree_7") + ")");
    EXPECT_EQ(boxes.size(), 10u);
    // The tree's own nodes too.
    std::set<std::string> nodes;
    for (int k : {0, 1, 2, 3, 4, 5, 7, 8, 9})
        nodes.insert(text("SmsMng_Tree_" + std::to_string(k)));
    EXPECT_EQ(nodes.size(), 9u);

    // The 16 number types, in both orders the program joins their two parts.
    std::set<std::string> ba, ab;
    for (int b : {256, 512, 1024, 2048})
        for (int a : {1, 2, 128, 64}) {
            const std::string tb = text("PbMng_ParamB" + std::to_string(b));
            const std::string ta = text("PbMng_ParamA" + std::to_string(a));
            ba.insert(tb + ta);
            ab.insert(ta + tb);
        }
    EXPECT_EQ(ba.size(), 16u);
    EXPECT_EQ(ab.size(), 16u);

    // Book and storage names.
    std::set<std::string> books;
    for (int s : {0, 1, 2, 4, 8})
        books.insert(text("PbMng_Tree_" + std::to_string(s)));
    EXPECT_EQ(books.size(), 5u);
}

TEST_F(English, DefaultServiceCentreIsNotANumber)
{
    // Messages compare their stored centre with this text to mean "the handset's own centre".
    const std::string sca = text("Info_DefaultSCA");
    EXPECT_EQ(sca.find_first_of("0123456789+"), std::string::npos) << sca;
}

} // namespace
