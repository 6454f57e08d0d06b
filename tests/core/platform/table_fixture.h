// Tables shaped like the program's own, for the table engine's tests.
#pragma once

#include "core/db_schema.h"
#include "platform/table.h"

#include <gtest/gtest.h>

#include <string>

namespace platform_test {

using platform::FieldDef;
using platform::FieldType;

// The message table of the local database.
inline platform::Table smsTable() { return core::makeDbTable(core::DbTable::Smsinfo); }

inline std::string repeat(const std::string &s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// Same definitions, active index and rows (in append order).
inline ::testing::AssertionResult sameTable(const platform::Table &a, const platform::Table &b)
{
    if (a.fields() != b.fields())
        return ::testing::AssertionFailure() << "fields differ";
    if (a.indexes() != b.indexes() || a.activeIndex() != b.activeIndex())
        return ::testing::AssertionFailure() << "indexes differ";
    if (a.rows() != b.rows())
        return ::testing::AssertionFailure() << "rows differ (" << a.totalRows() << " vs " << b.totalRows() << ")";
    return ::testing::AssertionSuccess();
}

} // namespace platform_test
