#include "core/db_schema.h"

namespace core {

using platform::FieldDef;
using platform::FieldType;

namespace {

FieldDef integer(const char *name) { return {name, FieldType::Integer, 0}; }
FieldDef text(const char *name, uint32_t chars) { return {name, FieldType::Text, chars}; }

std::vector<DbTableDef> buildDefs()
{
    return {
        {DbTable::BaseInfo, "BaseInfo", "BaseInfo.cds",
         {integer("ID"), text("DllName", 100), text("DllPath", 255), text("Version", 10),
          integer("FileTime"), text("Man", 50)},
         {}, ""},
        {DbTable::PlugInfo, "PlugInfo", "PlugInfo.cds",
         {integer("ID"), integer("BaseId"), text("DllName", 100), text("DllPath", 255),
          text("Version", 10), integer("FileTime")},
         {}, ""},
        {DbTable::ModelRef, "ModelRef", "ModelRef.cds",
         {integer("ID"), integer("PlugId"), text("Man", 50), text("Model1", 100), text("Model2", 100)},
         {}, ""},
        {DbTable::ConnInfo, "ConnInfo", "ConnInfo.cds",
         {integer("ID"), integer("BaseId"), text("Type", 100), text("Port", 100), text("Baud", 100)},
         {}, ""},
        {DbTable::Smsinfo, "Smsinfo", "Smsinfo.cds",
         {integer("id"), integer("Tid"), integer("boxid"), integer("states"), text("Tel", 50),
          text("time", 20), text("body", 160), text("V_time", 50), text("Sca", 30),
          integer("OldBoxid")},
         {{"cdsSmsinfoIndex1", "id"}}, "cdsSmsinfoIndex1"},
        {DbTable::SSinfo, "SSinfo", "SSinfo.cds", {integer("ClassId"), text("Values", 100)}, {}, ""},
        {DbTable::PhraseGroup, "PhraseGroup", "PhraseGroup.cds", {integer("id"), text("pM", 100)},
         {}, ""},
        {DbTable::Phrase, "Phrase", "Phrase.cds",
         {integer("id"), integer("Mid"), text("Content", 500), integer("UseCount"),
          text("RecordTime", 30)},
         {{"cdsPlistIndex1", "id"}}, "cdsPlistIndex1"},
    };
}

} // namespace

const std::vector<DbTableDef> &dbTableDefs()
{
    static const std::vector<DbTableDef> defs = buildDefs();
    return defs;
}

const DbTableDef &dbTableDef(DbTable t) { return dbTableDefs()[size_t(t)]; }

platform::Table makeDbTable(DbTable t)
{
    const DbTableDef &d = dbTableDef(t);
    return platform::Table(d.fields, d.indexes, d.activeIndex);
}

} // namespace core
