// The start-up scan of the driver catalogue: brings the four catalogue tables up to date with the
// program's Plug-in folder. The data module's TdbMain::ScanPlugins delegates to ScanPlugins() below
// with its four tables, then publishes a fresh core::Catalogue snapshot for the readers.
//
//   struct Notices : core::ScanObserver {
//       void notice(const std::string &text) override { send(mainWindow, 1133, text); }
//   } notices;
//   core::ScanPlugins({cdsBaseInfo, cdsPlugInfo, cdsModelRef, cdsConnInfo}, programDir, notices);
//
// What it does, per file of Plug-in (found without regard to case, created when missing):
//  - drivers "*.so", then plug-ins "*.plug" (suffix without case, names sorted byte-wise so ids
//    come out the same on every run); each is loaded by absolute path, checked for its five
//    exports, asked for its version and its table, and released before the next file. No
//    connection is opened and no plug-in is initialised;
//  - a row whose FileTime and Version equal the file's is kept; a different one is deleted with
//    its dependants and the file catalogued anew under the smallest free id, with the notice
//    "Mng <file>" or "Pulg <file>";
//  - a plug-in is linked to the driver whose manufacturer equals its own (without case, whole
//    text); without one it is not catalogued;
//  - rows of files that left the folder go, with their dependants.
// A file that cannot be loaded, lacks an export, answers a negative version or table, or whose
// name (100), version text (10) or manufacturer (50) would not fit its field is left out with a
// log line (a cut text would never match its file again); a row it had from an earlier scan stays
// while the file exists. A table row whose texts would not fit is left out the same way.
//
// Runs on the thread that owns the tables, before any reader exists. Not thread-safe.
#pragma once

#include "core/catalogue.h"

#include "ms_mng.h"
#include "ms_plug.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class Module;
}

namespace core {

// Told about the scan's progress. notice() gets "Mng <file>" / "Pulg <file>" for each file that
// is catalogued anew (the start stage sends it to the main window as 1133); skipped() gets each
// file or row that was left out and why (by default a line on stderr).
class ScanObserver {
public:
    virtual ~ScanObserver() = default;
    virtual void notice(const std::string &text) = 0;
    virtual void skipped(const std::string &file, const std::string &reason);
};

// The two entry points the catalogue calls.
struct MngExports {
    int32_t (*getVer)(int32_t *, int32_t *, int32_t *) = nullptr;
    int32_t (*getSupp)(const char **, const ConnSupp **) = nullptr;
};
struct PlugExports {
    MsPlugGetVerFn getVer = nullptr;
    MsPlugGetSuppFn getSupp = nullptr;
};

// True when the module exports all of MsMng_getVer, MsMng_getSupp, MsMng_connect,
// MsMng_disconnect and MsMng_isConnected; then *out holds the first two. *missing (when given)
// names the first export not found.
bool CheckMngExports(const platform::Module &module, MngExports *out, std::string *missing = nullptr);
// The same for MsPlug_getVer, MsPlug_getSupp, MsPlug_init, MsPlug_getItf and MsPlug_cleanup.
bool CheckPlugExports(const platform::Module &module, PlugExports *out, std::string *missing = nullptr);

// The smallest positive id that no row of the table (its "ID" field) uses.
int32_t NextId(const platform::Table &table);

// Deletes the driver row with that id, its connection rows, and its plug-in rows with their
// model rows.
void DeleteBase(const CatalogueTables &tables, int32_t baseId);
// Deletes the plug-in row with that id and its model rows.
void DeletePlug(const CatalogueTables &tables, int32_t plugId);

// Replaces the connection rows of a driver with the rows of its table, up to the row whose type
// is null (at most kMaxSuppRows rows). A row with a text longer than its field is left out and
// reported through observer (when given) under file.
void SaveConnInfo(const CatalogueTables &tables, int32_t baseId, const ConnSupp *rows,
                  ScanObserver *observer = nullptr, const std::string &file = {});
// Replaces the model rows of a plug-in with at most count rows of its table, ending early at the
// first null manufacturer; over-long rows as for SaveConnInfo.
void SaveModelRef(const CatalogueTables &tables, int32_t plugId, const PlugSupp *rows, int32_t count,
                  ScanObserver *observer = nullptr, const std::string &file = {});

// Most rows taken from one driver's or plug-in's table: bounds the walk of a table whose end
// marker is missing.
inline constexpr int32_t kMaxSuppRows = 1000;

// The 32-bit FileTime of a file: its modification time (seconds and nanoseconds) folded into 32
// bits, compared for equality only, so a rebuild within the same second still counts as new.
// False when the file cannot be examined.
bool fileTimeOf(const std::string &path, int32_t *fileTime);

// The scan. programDir is the folder that holds (or will hold) "Plug-in". True when it ran to the
// end; false (tables untouched) when the Plug-in folder can be neither found nor created, or is
// not a readable folder: a folder that cannot be listed must not empty the catalogue.
bool ScanPlugins(const CatalogueTables &tables, const std::string &programDir, ScanObserver &observer);

} // namespace core
