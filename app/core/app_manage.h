// The application manager: the program folder and its working folders, the settings of
// ini/set.ini, the value lists of signatures and service centres, the message box and the
// fixed-buffer copy used everywhere, and the language manager.
//
//   core::TManage manage(platform::programDir(), &prompt);  // folders, language "English"
//   manage.LoadSettings();
//   core::TdbMain db(manage.DatabaseDir(), &prompt, &manage.LangMng());
//   manage.SetDatabase(&db);
//   ...
//   manage.SaveSettings();
//
// Creation makes the folders Temp, Database, ini and Plug-in beside the program when missing;
// a folder that exists in another case ("TEMP", "INI") is used as it is. When one cannot be made,
// one box says so at once (rather than every save failing at the end of a session) and the
// program goes on. Libraries are found by absolute path and RPATH, so the search path is left alone.
//
// Settings: section "comset" of ini/set.ini, sixteen keys (kSettingKeys, in the order a new file
// gets them). Integers are decimal text, booleans "1"/"0" and read as true when not 0; a text that
// is not a number reads as the key's default, as does a missing key or file. Saving updates an
// existing file in place (comments, other sections and the keys' own spelling kept) and replaces
// it safely, in one write.
//
// Fields carry the names the rest of the program reads them by. User-interface thread only.
#pragma once

#include "platform/safe_file.h"
#include "platform/table.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace core {

class Prompt;
class TLangMng;
class TdbMain;

inline constexpr const char *kSettingsSection = "comset";
// The settings keys in the order they are written.
inline constexpr const char *kSettingKeys[] = {
    "KeepTime",  "InCeptDel",   "SendClose", "HaveTitle", "Signature",
    "DelQuestion", "CurLangType", "SelectPhone", "ComType", "ComPort",
    "ComBaud",   "SplitAuto",   "CAddressee", "CSignture", "CSCenter", "ClearTrashOnExit"};

class TManage {
public:
    // appDir: the program folder (with or without a final "/"; empty means the working folder).
    // prompt shows every box of the
    // manager and of the language manager (may be null: texts go to stderr); it must outlive the
    // manager.
    TManage(std::string appDir, Prompt *prompt);
    ~TManage();
    TManage(const TManage &) = delete;
    TManage &operator=(const TManage &) = delete;

    // --- connection state (set by the connection stages) ---
    uint8_t ActiveGroup = 0; // 0 messages, 1 contacts, 2 phrases
    bool PbCap8 = false;
    bool PbCap2 = false;
    bool PbCap4 = false;
    std::string PhoneMan;   // of the connected handset; empty when none
    std::string PhoneModel;
    bool Connected = false;

    // --- settings (defaults as a missing key gives them) ---
    std::string SelectPhone = "nokia";
    std::string ComType = "IrDA";
    std::string ComPort;
    std::string ComBaud;
    bool HaveTitle = true;
    bool Signature = true;
    bool SendClose = false;
    bool SplitAuto = true;
    bool DelQuestion = true;
    int32_t KeepTime = 0; // idle disconnect, minutes; 0 off
    std::string CAddressee;
    std::string CSignture; // spelled so: the key is
    std::string CSCenter;
    bool InCeptDel = false;
    std::string CurLangType = "English";

    // Empty the recycle box at shut-down.
    bool ClearTrashOnExit = false;

    // --- files and folders ---
    std::string AppDir;      // the program folder, ending with "/"
    std::string HistoryFile; // ini/SmsADRSFile.Vrk: recipients the composer remembers
    std::string HelpFile = "Tarnovel.chm";

    // The working folders as found (or made) on disk, without a final "/".
    const std::string &TempDir() const { return tempDir_; }
    const std::string &DatabaseDir() const { return databaseDir_; }
    const std::string &IniDir() const { return iniDir_; }
    const std::string &PlugInDir() const { return plugInDir_; }
    // ini/set.ini as found on disk (or to be created).
    std::string SettingsFile() const;

    // --- settings file ---
    void LoadSettings();
    // Writes all sixteen keys; the answer says whether the file was written (and why not).
    platform::FileResult SaveSettings();

    void SetComParams(std::string type, std::string port, std::string baud);
    // PbCap8, PbCap2, PbCap4 from bits 8, 2 and 4.
    void SetPbCaps(uint16_t caps);
    // Only stores the name; switching the language is the caller's business.
    void SetCurLangType(std::string name) { CurLangType = std::move(name); }

    // --- services ---
    TLangMng &LangMng() { return *lang_; }
    const TLangMng &LangMng() const { return *lang_; }
    // The program's message box; answers the button pressed (core/prompt.h values).
    int ShowMessageBox(const std::string &text, const std::string &caption, unsigned flags);
    // Fills size bytes of buf with zero, then copies at most limit bytes of text, never cutting a
    // UTF-8 character. The limit is held to size - 1, so the text always ends with a zero byte.
    static void StrToBuf(char *buf, int limit, int size, std::string_view text);

    // --- value lists (SSinfo; see core/value_lists.h) ---
    // The database whose SSinfo holds the lists (may be null; unset it before the database goes).
    // While it is unset or SSinfo is closed, the lists are empty and changes do nothing.
    void SetDatabase(TdbMain *db) { db_ = db; }
    bool AddSSInfo(int cls, std::string_view value);
    bool DeleteSSInfo(int cls, std::string_view value);
    bool UpdateSSInfo(int cls, std::string_view oldValue, std::string_view newValue);
    // list := the values of class cls; class 0 without rows is first seeded with the text of
    // "Info_DefaultSCA".
    void GetSSInfoList(int cls, std::vector<std::string> &list);

private:
    std::string makeFolder(const char *name, std::string &failures);
    // SSinfo when a database is set and the table is open, else null.
    platform::Table *ssinfo();

    Prompt *prompt_;
    std::unique_ptr<TLangMng> lang_;
    TdbMain *db_ = nullptr;
    std::string tempDir_;
    std::string databaseDir_;
    std::string iniDir_;
    std::string plugInDir_;
};

} // namespace core
