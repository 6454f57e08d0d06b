// The program's local tables: their names, files, fields and indexes. One place, so the data
// module that opens and saves them and every user of a table agree on the layout.
#pragma once

#include "platform/table.h"

#include <string>
#include <vector>

namespace core {

enum class DbTable {
    BaseInfo,    // driver catalogue: drivers
    PlugInfo,    //                   model plug-ins
    ModelRef,    //                   models each plug-in serves
    ConnInfo,    //                   connection kinds each driver offers
    Smsinfo,     // messages of every box
    SSinfo,      // value lists (service centres, signatures)
    PhraseGroup, // phrase groups
    Phrase,      // phrases
};
inline constexpr int kDbTableCount = 8;

struct DbTableDef {
    DbTable id;
    const char *name;     // "BaseInfo"
    const char *fileName; // "BaseInfo.cds", under the program's Database folder
    std::vector<platform::FieldDef> fields;
    std::vector<platform::IndexDef> indexes;
    const char *activeIndex; // "" when none
};

// Definition of one table; tables are listed in declaration order.
const DbTableDef &dbTableDef(DbTable t);
const std::vector<DbTableDef> &dbTableDefs();

// A new, empty table with the declared fields and indexes (the active index set).
platform::Table makeDbTable(DbTable t);

} // namespace core
