// Every text the user can meet has an English text: the keys looked up while the whole program is
// walked (each area and box, disconnected and connected, every dialog and its pages), and the keys
// put together at run time, which no walk is sure to meet (an error code a batch ends with, a
// progress kind, a box's column, a contact field's caption).

#include "coverage_rig.h"

#include "content/contact_fields.h"
#include "content/sms_manage.h"
#include "core/app_manage.h"
#include "core/lang_mng.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace {

std::string listMissed(const core::TLangMng &lang)
{
    std::string out;
    for (const auto &[key, count] : lang.missedKeys())
        out += "  " + key + " (" + std::to_string(count) + "x)\n";
    return out;
}

// Every result code of the device library's table, read from its public header so a code added
// there without an English text fails here.
std::vector<int> libraryResultCodes()
{
    std::ifstream in(SV_SOURCE_DIR "/devlib/include/dv_result.h");
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    std::vector<int> codes;
    const std::regex code(R"(DV_E_\w+\s*=\s*(-\d+))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), code); it != std::sregex_iterator(); ++it)
        codes.push_back(std::stoi((*it)[1].str()));
    return codes;
}

TEST(LanguageCoverage, KeysMadeAtRunTimeHaveEnglishTexts)
{
    program_test::ProgramFolder folder;
    core::TLangMng lang(folder.root());
    ASSERT_EQ(lang.currentLanguage(), "English");

    std::vector<std::string> keys;
    // A batch's result shown as "ErrInfo_CommErrInfo" + "ErrInfo_<code without sign>".
    const std::vector<int> codes = libraryResultCodes();
    ASSERT_GE(codes.size(), 20u) << "the result table was not read";
    keys.push_back("ErrInfo_CommErrInfo");
    for (int c : codes)
        keys.push_back("ErrInfo_" + std::to_string(-c));
    // The progress dialog: "frProg_Info_<operation>" + "frProg_Info_Class<what>"; the worker's
    // operations are check (0), read (1), write (2) and send (4); its classes the books and the
    // message storages; 0 for a storage of no known kind.
    for (int op : {0, 1, 2, 4, 9})
        keys.push_back("frProg_Info_" + std::to_string(op));
    for (int cls : {0, 10, 11, 12, 13, 14, 20, 21, 22})
        keys.push_back("frProg_Info_Class" + std::to_string(cls));
    // The boxes: their names and their list columns.
    keys.push_back("SmsMng_AllMessage");
    for (int box = content::kBoxLocal; box <= content::kBoxPhoneStored; ++box) {
        if (box != content::kBoxHidden)
            keys.push_back("SmsMng_Tree_" + std::to_string(box));
        for (int col = 0; col < int(std::size(content::kSmsColumnWidths)); ++col)
            keys.push_back(content::TSMSManage::columnKey(box, col));
    }
    // A message's state in the information line.
    for (int s = 0; s <= 4; ++s)
        keys.push_back("fMain_SmsStrStatus" + std::to_string(s));
    // Contact storages and field captions, with the number and address kinds.
    for (int code : {0, 1, 2, 4, 8})
        keys.push_back("PbMng_Tree_" + std::to_string(code));
    for (int type : {content::kFieldOther, content::kFieldName, content::kFieldBirthday, content::kFieldTel,
                     content::kFieldEmail, content::kFieldUrl, content::kFieldAddr, content::kFieldAddrText,
                     content::kFieldOrg, content::kFieldTitle, content::kFieldNote, content::kFieldFullName,
                     content::kFieldGroup})
        keys.push_back("PbMng_Pb_Column_" + std::to_string(type));
    for (int bit : {1, 2, 64, 128})
        keys.push_back("PbMng_ParamA" + std::to_string(bit));
    for (int bit : {256, 512, 1024, 2048})
        keys.push_back("PbMng_ParamB" + std::to_string(bit));
    keys.push_back("fVcardEdit_EditCaption" + std::to_string(content::kFieldGroup));
    // The composer's counters.
    for (const char *k : {"0", "1", "2", "3", "01", "02", "11", "12"})
        keys.push_back(std::string("fEditSms_StatusBar") + k);

    lang.clearMissedKeys();
    for (const std::string &k : keys)
        lang.translate(k);
    EXPECT_TRUE(lang.missedKeys().empty()) << "keys without an English text:\n" << listMissed(lang);
}

TEST(LanguageCoverage, EveryFormAndStateIsTranslated)
{
    coverage_test::Walk walk([](QWidget *, const std::string &) {});
    walk.run();
    if (::testing::Test::HasFatalFailure())
        return;
    const core::TLangMng &lang = walk.program().manage().LangMng();
    EXPECT_TRUE(lang.missedKeys().empty()) << "keys without an English text:\n" << listMissed(lang);

    // The walk reached every form the user can open, so the check above covers them.
    for (const char *form : {"fMain", "fEditSms", "fVcardEdit", "fr_print", "fSet", "fPhoneInfo", "fFind",
                             "fAbout", "fmAdd", "fPhoneList", "fPhraseList", "fPhraseEdit", "FrmProgress"})
        EXPECT_TRUE(walk.visited().count(form)) << form << " was not reached; reached:\n"
                                                << [&] {
                                                       std::string s;
                                                       for (const auto &v : walk.visited())
                                                           s += "  " + v + "\n";
                                                       return s;
                                                   }();
}

} // namespace
