#include "core/lang_qt/expect_translated.h"

#include "core/lang_mng.h"
#include "core/qt/form_translate.h"

#include <gtest/gtest.h>

namespace lang_qt_test {

std::string distDir()
{
    return SV_DIST_DIR;
}

void expectFullyTranslated(QWidget *form, const std::string &prefix, bool withCaption)
{
    core::TLangMng lang(distDir());
    lang.setLanguage("English"); // -94 when it is already the current (first) language
    ASSERT_EQ(lang.currentLanguage(), "English")
        << "no English.dat in " << distDir() << "/Language (build the 'languages' target)";
    if (withCaption)
        lang.translate(prefix + "_Caption");
    core::translateForm(lang, form, prefix);
    if (!lang.missedKeys().empty()) {
        std::string list;
        for (const auto &[key, n] : lang.missedKeys())
            list += "\n  " + key + (n > 1 ? " (looked up " + std::to_string(n) + " times)" : "");
        ADD_FAILURE() << "keys missing from lang/English.tsv for " << prefix << ":" << list;
    }
    lang.clearMissedKeys();
}

} // namespace lang_qt_test
