#include "core/lang_mng.h"

#include "core/prompt.h"
#include "platform/paths.h"

#include <algorithm>
#include <cstdio>

namespace core {

platform::Table makeLanguageTable()
{
    using platform::FieldType;
    return platform::Table({{"Name", FieldType::Text, kLangKeyChars},
                            {"Value", FieldType::Text, kLangValueChars}},
                           {{"cdsLangIndex1", "Name"}}, "cdsLangIndex1");
}

TLangMng::TLangMng(std::string programDir, Prompt *prompt)
    : programDir_(std::move(programDir)), prompt_(prompt)
{
    folder_ = platform::resolveCase(programDir_ + "/" + std::string(kLanguageFolder));
    scan();
}

TLangMng::~TLangMng()
{
#ifndef NDEBUG
    // Shows the developer which keys the language file still lacks.
    if (!missed_.empty()) {
        std::fprintf(stderr, "Language keys not found (%zu):\n", missed_.size());
        for (const auto &[key, n] : missed_)
            std::fprintf(stderr, "  %s x%d\n", key.c_str(), n);
    }
#endif
}

void TLangMng::scan()
{
    languages_.clear();
    current_.clear();
    records_.clear();
    std::vector<Record> probe;
    for (const std::string &file : platform::filesWithSuffix(folder_, kLanguageExt)) {
        probe.clear();
        // A file that does not load is not offered.
        if (readLanguage(file, probe))
            languages_.push_back(file.substr(0, file.size() - kLanguageExt.size()));
    }
    if (!languages_.empty()) {
        if (readLanguage(languages_.front(), records_))
            current_ = languages_.front();
        else
            reportInvalid();
    }
}

std::string TLangMng::pathOf(const std::string &name) const
{
    std::string file = name;
    if (!platform::endsWithNoCase(file, kLanguageExt))
        file += kLanguageExt;
    return platform::resolveCase(folder_ + "/" + file);
}

bool TLangMng::readLanguage(const std::string &name, std::vector<Record> &out) const
{
    // A name is a file of the language folder, never a path elsewhere.
    if (name.empty() || name.find('/') != std::string::npos || name.find('\0') != std::string::npos)
        return false;
    platform::Table table = makeLanguageTable();
    if (platform::TableResult r = table.load(pathOf(name)); !r) {
        // Says which file and why (damaged, a named pipe, ...): the box names neither.
        std::fprintf(stderr, "Language file not used: %s\n", r.message.c_str());
        return false;
    }
    const int nameField = table.fieldIndex("Name");
    const int valueField = table.fieldIndex("Value");
    std::vector<Record> records;
    records.reserve(table.rows().size());
    for (const platform::Row &row : table.rows()) {
        // load() checked the fields are there; a foreign file may still declare them longer.
        std::string key(row.textAt(size_t(nameField)));
        std::string value(row.textAt(size_t(valueField)));
        platform::Table::cutToChars(key, kLangKeyChars);
        platform::Table::cutToChars(value, kLangValueChars);
        records.emplace_back(std::move(key), std::move(value));
    }
    // Stable: of duplicate keys in a foreign file the first row answers, every time.
    std::stable_sort(records.begin(), records.end(),
                     [](const Record &a, const Record &b) { return a.first < b.first; });
    out = std::move(records);
    return true;
}

void TLangMng::reportInvalid() const
{
    if (prompt_)
        prompt_->show(std::string(kInvalidLanguageFile), std::string(), kMbOk);
    else
        std::fprintf(stderr, "%s\n", std::string(kInvalidLanguageFile).c_str());
}

int TLangMng::setLanguage(const std::string &name)
{
    if (name == current_)
        return kLangFailed;
    std::vector<Record> records;
    if (!readLanguage(name, records)) {
        // The language in use stays: its table is whole and keeps answering.
        if (!name.empty())
            reportInvalid();
        return kLangFailed;
    }
    records_ = std::move(records);
    current_ = name;
    return 0;
}

std::string TLangMng::translate(std::string_view key) const
{
    // std::string compares through char_traits<char>::compare, i.e. memcmp: byte-wise, unsigned.
    auto it = std::lower_bound(records_.begin(), records_.end(), key,
                               [](const Record &r, std::string_view k) { return std::string_view(r.first) < k; });
    if (it != records_.end() && it->first == key)
        return it->second;
    auto m = missed_.find(key);
    if (m == missed_.end())
        missed_.emplace(std::string(key), 1);
    else
        ++m->second;
    return {};
}

} // namespace core
