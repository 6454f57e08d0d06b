#include "core/value_lists.h"

namespace core {

namespace {

constexpr std::string_view kClassField = "ClassId";
constexpr std::string_view kValueField = "Values";

// Storage place of the first row of cls with exactly value, or -1. Leaves the table unfiltered so
// that the place is also the cursor's place.
int findRow(platform::Table &t, int cls, std::string_view value)
{
    if (t.filtered())
        t.clearFilter();
    const int classField = t.fieldIndex(kClassField);
    const int valueField = t.fieldIndex(kValueField);
    if (classField < 0 || valueField < 0)
        return -1;
    const int n = t.count();
    for (int i = 0; i < n; ++i) {
        auto row = t.rowAt(i);
        if (row && row->intAt(classField) == cls && row->textAt(valueField) == value)
            return i;
    }
    return -1;
}

} // namespace

bool hasVisibleText(std::string_view value)
{
    for (char c : value)
        if (static_cast<unsigned char>(c) >= 33)
            return true;
    return false;
}

bool addSSInfo(platform::Table &t, int cls, std::string_view value)
{
    if (!hasVisibleText(value))
        return false;
    if (t.filtered())
        t.clearFilter();
    t.append();
    t.setInt(kClassField, cls);
    t.setText(kValueField, value);
    return t.post();
}

bool deleteSSInfo(platform::Table &t, int cls, std::string_view value)
{
    const int place = findRow(t, cls, value);
    return place >= 0 && t.setRecNo(place) && t.remove();
}

bool updateSSInfo(platform::Table &t, int cls, std::string_view oldValue, std::string_view newValue)
{
    const int place = findRow(t, cls, oldValue);
    if (place < 0 || !t.setRecNo(place) || !t.edit())
        return false;
    t.setText(kValueField, newValue);
    return t.post();
}

std::vector<std::string> getSSInfoList(platform::Table &t, int cls, std::string_view defaultCentre)
{
    std::vector<std::string> list;
    if (t.filtered())
        t.clearFilter();
    const int classField = t.fieldIndex(kClassField);
    const int valueField = t.fieldIndex(kValueField);
    if (classField < 0 || valueField < 0)
        return list;
    auto collect = [&] {
        const int n = t.count();
        for (int i = 0; i < n; ++i) {
            auto row = t.rowAt(i);
            if (row && row->intAt(classField) == cls)
                list.emplace_back(row->textAt(valueField));
        }
    };
    collect();
    if (list.empty() && cls == kSSInfoServiceCentre && addSSInfo(t, cls, defaultCentre))
        collect();
    return list;
}

} // namespace core
