// A temporary program folder with a small English language file, for tests of the manager and the
// local database.
#pragma once

#include "core/lang_mng.h"
#include "core/platform/temp_tree.h"

#include <string>
#include <utility>
#include <vector>

namespace core_test {

inline constexpr const char *kTitle = "Selvark test";
inline constexpr const char *kDefaultSca = "(default centre)";

// Writes Language/English.dat under root with the given rows.
inline void writeLanguage(const std::string &root,
                          const std::vector<std::pair<std::string, std::string>> &rows = {
                              {"Application_Hite_title", kTitle}, {"Info_DefaultSCA", kDefaultSca}})
{
    std::filesystem::create_directories(root + "/Language");
    platform::Table t = core::makeLanguageTable();
    for (const auto &[k, v] : rows) {
        t.append();
        t.setText("Name", k);
        t.setText("Value", v);
        t.post();
    }
    ASSERT_TRUE(t.save(root + "/Language/English.dat"));
}

} // namespace core_test
