// The driver catalogue as its readers see it: which drivers (*.so) and model plug-ins (*.plug) the
// Plug-in folder holds, the manufacturer each serves, the connection choices of each driver and the
// handset models of each plug-in.
//
// The rows live in four tables of the data module (BaseInfo, ConnInfo, PlugInfo, ModelRef, laid
// out in core/db_schema.h) and change only during the start-up scan (core/catalogue_scan.h). After
// the scan the data module copies them into a Catalogue: an immutable snapshot of plain rows. The
// connection manager (worker thread) and the settings dialog (user-interface thread) read that
// snapshot, never the tables: reading the tables means moving their cursors, and two readers moving
// the same cursors hand each other wrong rows.
//
//   std::shared_ptr<const core::Catalogue> cat = core::Catalogue::fromTables(tables);
//   std::string driver, plug;
//   if (cat->FindPlug(ident, driver, plug) == 0) load(driver, plug);
//
// Every member is const and keeps no state between calls: any number of threads may call them on
// one snapshot at once, and a snapshot stays valid as long as someone holds it. TdbMain builds the
// snapshot with fromTables() right after its ScanPlugins, on the user-interface thread and before
// the worker thread starts, and hands out the shared_ptr; nothing replaces it during the run.
//
// Text rules of the lookups: upper case changes only the letters a-z; "contains" is a plain
// substring test on the upper-cased texts, and an empty text is contained in nothing.
//
// Result codes: 0 found; -81 (DV_E_ARG) empty manufacturer; -94 (DV_E_UNSUPPORTED) nothing matches.
#pragma once

#include "core/conn_param.h"
#include "ms_itf.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
class Table;
}

namespace core {

// The four catalogue tables of the data module, by reference. Each is made with
// core::makeDbTable() for its DbTable.
struct CatalogueTables {
    platform::Table &baseInfo;
    platform::Table &plugInfo;
    platform::Table &modelRef;
    platform::Table &connInfo;
};

// A driver.
struct BaseRow {
    int32_t ID = 0;
    std::string DllName; // file name, as the folder listing spells it
    std::string DllPath; // the Plug-in folder, ending in '/'
    std::string Version; // "major.minor.build"
    int32_t FileTime = 0;
    std::string Man;     // manufacturer served

    bool operator==(const BaseRow &) const = default;
};

// One connection choice of a driver.
struct ConnRow {
    int32_t ID = 0;
    int32_t BaseId = 0;
    std::string Type;
    std::string Port; // a port name, or "any"
    std::string Baud; // comma-separated rates, or "any"

    bool operator==(const ConnRow &) const = default;
};

// A model plug-in, linked to the driver of its manufacturer.
struct PlugRow {
    int32_t ID = 0;
    int32_t BaseId = 0;
    std::string DllName;
    std::string DllPath;
    std::string Version;
    int32_t FileTime = 0;

    bool operator==(const PlugRow &) const = default;
};

// One handset model a plug-in serves.
struct ModelRow {
    int32_t ID = 0;
    int32_t PlugId = 0;
    std::string Man;
    std::string Model1;
    std::string Model2;

    bool operator==(const ModelRow &) const = default;
};

// Where the serial-port list comes from: the system's serial devices (sysfs) plus the port of the
// settings, which is listed even when the system does not list it (a pseudo-terminal, say).
struct SerialPortSource {
    std::string configuredPort;
    std::string sysfsRoot = "/sys";
};

class Catalogue {
public:
    Catalogue() = default;
    Catalogue(std::vector<BaseRow> base, std::vector<ConnRow> conn, std::vector<PlugRow> plug,
              std::vector<ModelRow> model);

    // A snapshot of the four tables' rows in their stored order (filters, indexes and cursors
    // play no part, and none is moved). Call it on the thread that owns the tables.
    static std::shared_ptr<const Catalogue> fromTables(const CatalogueTables &tables);

    const std::vector<BaseRow> &baseInfo() const { return base_; }
    const std::vector<ConnRow> &connInfo() const { return conn_; }
    const std::vector<PlugRow> &plugInfo() const { return plug_; }
    const std::vector<ModelRow> &modelRef() const { return model_; }

    // Empties list, then adds the file name of every driver, in catalogue order.
    void ListBaseDlls(std::vector<std::string> &list) const;

    // The driver of the first row whose manufacturer begins with man (without case). The out name
    // is emptied first. 0; -81 for an empty man; -94 when no driver matches.
    int32_t FindBaseByMan(std::string_view man, std::string &dllName) const;

    // Chooses the driver and the model plug-in for a connected handset from its identity (each
    // field read up to its first zero byte or 32 bytes):
    //  - driver: the first whose manufacturer begins with the handset's (an empty one matches
    //    none), else the one whose manufacturer is "OTHER" (without case);
    //  - tier 1: a model row of that manufacturer (its Man contained in the handset's) one of
    //    whose model texts is contained in the handset's model A + model B; the longest pair wins
    //    (the earlier on a tie), and the identity is rewritten with that row's trimmed texts, each
    //    cut to 31 bytes on a character boundary so the field stays zero-terminated;
    //  - tier 2, while tier 1 found nothing: the last row of that manufacturer (or of "MISC")
    //    whose model text contains "MISC";
    //  - tier 3, when the walk found nothing: the first row of the manufacturer "MISC", when its
    //    model text contains "MISC".
    // A chosen plug-in brings its own driver. Both out names are emptied first. 0 when both names
    // were found, else -94.
    int32_t FindPlug(PhoneIdent &ident, std::string &driverName, std::string &plugName) const;

    // One element per connection row, in order: the driver's manufacturer (empty when the driver
    // row is gone), the type, the ports (every serial port when the row says exactly "any",
    // case-sensitive; else its one port text) and the bauds (ParseBaudList of the row's text, or
    // of "19200,9600,38400,57600" when it is exactly "any"). The serial ports are listed once.
    void GetConnChoices(UIConnParamList &list, const SerialPortSource &ports = {}) const;

private:
    const BaseRow *baseById(int32_t id) const;
    const PlugRow *plugById(int32_t id) const;

    std::vector<BaseRow> base_;
    std::vector<ConnRow> conn_;
    std::vector<PlugRow> plug_;
    std::vector<ModelRow> model_;
};

// Empties list, then adds the serial ports the system lists (sysfs, natural order) followed by the
// configured port when it is not among them.
void EnumSerialPorts(std::vector<std::string> &list, const SerialPortSource &ports = {});

// Empties list, then adds the items of a comma-separated baud list: digits make an item, other
// characters are dropped, every comma ends an item (an empty one too), and the last item is added
// only when it is not empty. "9600,,19200" gives "9600", "", "19200".
void ParseBaudList(std::string_view text, std::vector<std::string> &list);

// Catalogue text rules, shared with the scan and the connection manager.
std::string catalogueUpper(std::string_view s); // a-z to A-Z, nothing else
bool catalogueContains(std::string_view text, std::string_view part); // upper-cased; empty part: false
std::string_view catalogueTrim(std::string_view s); // spaces and control characters off both ends

// Text of a 32-byte identity field: up to its first zero byte, at most 32 bytes.
std::string identText(const char (&field)[32]);
// Writes text into a 32-byte field, zero-filled, cut to 31 bytes where no UTF-8 character splits.
void putIdentText(char (&field)[32], std::string_view text);

} // namespace core
