#include "core/app_manage.h"

#include "core/db_main.h"
#include "core/lang_mng.h"
#include "core/prompt.h"
#include "core/value_lists.h"
#include "platform/ini_file.h"
#include "platform/paths.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace core {

namespace {

constexpr const char *kSettingsFileName = "set.ini";
constexpr const char *kHistoryFileName = "SmsADRSFile.Vrk";

bool isFolder(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool readBool(const std::string &text, const char *key, bool def)
{
    auto v = platform::iniFind(text, kSettingsSection, key);
    return v ? platform::iniParseInt(*v, def ? 1 : 0) != 0 : def;
}

int32_t readInt(const std::string &text, const char *key, int32_t def)
{
    auto v = platform::iniFind(text, kSettingsSection, key);
    return v ? platform::iniParseInt(*v, def) : def;
}

std::string readText(const std::string &text, const char *key, const std::string &def)
{
    auto v = platform::iniFind(text, kSettingsSection, key);
    return v ? *v : def;
}

} // namespace

TManage::TManage(std::string appDir, Prompt *prompt) : prompt_(prompt)
{
    AppDir = std::move(appDir);
    if (AppDir.empty())
        AppDir = "."; // never the file system's root by accident
    if (AppDir.back() != '/')
        AppDir += '/';

    std::string failures;
    tempDir_ = makeFolder("Temp", failures);
    databaseDir_ = makeFolder("Database", failures);
    iniDir_ = makeFolder("ini", failures);
    plugInDir_ = makeFolder("Plug-in", failures);
    HistoryFile = platform::resolveCase(iniDir_ + "/" + kHistoryFileName);

    lang_ = std::make_unique<TLangMng>(AppDir, prompt_);
    lang_->setLanguage("English");

    // Said now, not found out at the end of a session when nothing can be saved.
    if (!failures.empty())
        ShowMessageBox(failures, lang_->translate("Application_Hite_title"), kMbOk | kMbIconError);
}

TManage::~TManage() = default;

std::string TManage::makeFolder(const char *name, std::string &failures)
{
    const std::string path = platform::resolveCase(AppDir + name);
    if (isFolder(path))
        return path;
    if (::mkdir(path.c_str(), 0755) != 0 && !(errno == EEXIST && isFolder(path))) {
        if (!failures.empty())
            failures += '\n';
        failures += "Cannot create the folder " + path + ": " + std::strerror(errno);
    }
    return path;
}

std::string TManage::SettingsFile() const
{
    return platform::resolveCase(iniDir_ + "/" + kSettingsFileName);
}

void TManage::LoadSettings()
{
    platform::ReadResult r = platform::readWholeFile(SettingsFile(), platform::kIniMaxBytes);
    // A missing or unreadable file reads as no keys: every setting takes its default. Only a
    // missing one is normal (the first start); anything else is said, naming the file.
    if (r.status != platform::ReadStatus::Ok && r.status != platform::ReadStatus::Missing)
        ShowMessageBox(r.message + "\nThe settings take their defaults in this session.", std::string(),
                       kMbOk | kMbIconWarning);
    const std::string &text = r.status == platform::ReadStatus::Ok ? r.data : std::string();
    KeepTime = readInt(text, "KeepTime", 0);
    InCeptDel = readBool(text, "InCeptDel", false);
    SendClose = readBool(text, "SendClose", false);
    HaveTitle = readBool(text, "HaveTitle", true);
    Signature = readBool(text, "Signature", true);
    DelQuestion = readBool(text, "DelQuestion", true);
    CurLangType = readText(text, "CurLangType", "English");
    SelectPhone = readText(text, "SelectPhone", "nokia");
    ComType = readText(text, "ComType", "IrDA");
    ComPort = readText(text, "ComPort", "");
    ComBaud = readText(text, "ComBaud", "");
    SplitAuto = readBool(text, "SplitAuto", true);
    CAddressee = readText(text, "CAddressee", "");
    CSignture = readText(text, "CSignture", "");
    CSCenter = readText(text, "CSCenter", "");
    ClearTrashOnExit = readBool(text, "ClearTrashOnExit", false);
}

platform::FileResult TManage::SaveSettings()
{
    const std::string file = SettingsFile();
    platform::ReadResult r = platform::readWholeFile(file, platform::kIniMaxBytes);
    // A file that exists but cannot be read is not replaced by one holding only our keys.
    if (r.status != platform::ReadStatus::Ok && r.status != platform::ReadStatus::Missing)
        return platform::FileResult::failure(r.error ? r.error : EIO,
                                             r.message.empty() ? "Cannot read " + file : r.message);
    auto b = [](bool v) { return std::string(v ? "1" : "0"); };
    const std::pair<const char *, std::string> values[] = {
        {"KeepTime", std::to_string(KeepTime)},
        {"InCeptDel", b(InCeptDel)},
        {"SendClose", b(SendClose)},
        {"HaveTitle", b(HaveTitle)},
        {"Signature", b(Signature)},
        {"DelQuestion", b(DelQuestion)},
        {"CurLangType", CurLangType},
        {"SelectPhone", SelectPhone},
        {"ComType", ComType},
        {"ComPort", ComPort},
        {"ComBaud", ComBaud},
        {"SplitAuto", b(SplitAuto)},
        {"CAddressee", CAddressee},
        {"CSignture", CSignture},
        {"CSCenter", CSCenter},
        {"ClearTrashOnExit", b(ClearTrashOnExit)},
    };
    std::string text = r.status == platform::ReadStatus::Ok ? r.data : std::string();
    const std::string before = text;
    for (const auto &[key, value] : values) {
        auto updated = platform::iniUpdate(text, kSettingsSection, key, value);
        if (updated) // fixed, valid names: always
            text = std::move(*updated);
    }
    if (r.status == platform::ReadStatus::Ok && text == before)
        return {};
    return platform::writeFileSafely(file, text);
}

void TManage::SetComParams(std::string type, std::string port, std::string baud)
{
    ComType = std::move(type);
    ComPort = std::move(port);
    ComBaud = std::move(baud);
}

void TManage::SetPbCaps(uint16_t caps)
{
    PbCap8 = (caps & 8) != 0;
    PbCap2 = (caps & 2) != 0;
    PbCap4 = (caps & 4) != 0;
}

int TManage::ShowMessageBox(const std::string &text, const std::string &caption, unsigned flags)
{
    if (prompt_)
        return prompt_->show(text, caption, flags);
    std::fprintf(stderr, "%s\n", text.c_str());
    return defaultAnswer(flags);
}

void TManage::StrToBuf(char *buf, int limit, int size, std::string_view text)
{
    if (!buf || size <= 0)
        return;
    std::memset(buf, 0, size_t(size));
    size_t n = std::min({text.size(), size_t(std::max(limit, 0)), size_t(size - 1)});
    // Back up to the start of a character when the cut would land inside one.
    if (n < text.size())
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    std::memcpy(buf, text.data(), n);
}

platform::Table *TManage::ssinfo()
{
    if (!db_ || !db_->isOpen(DbTable::SSinfo))
        return nullptr;
    return &db_->table(DbTable::SSinfo);
}

bool TManage::AddSSInfo(int cls, std::string_view value)
{
    platform::Table *t = ssinfo();
    return t && addSSInfo(*t, cls, value);
}

bool TManage::DeleteSSInfo(int cls, std::string_view value)
{
    platform::Table *t = ssinfo();
    return t && deleteSSInfo(*t, cls, value);
}

bool TManage::UpdateSSInfo(int cls, std::string_view oldValue, std::string_view newValue)
{
    platform::Table *t = ssinfo();
    return t && updateSSInfo(*t, cls, oldValue, newValue);
}

void TManage::GetSSInfoList(int cls, std::vector<std::string> &list)
{
    list.clear();
    if (platform::Table *t = ssinfo())
        list = getSSInfoList(*t, cls,
                             cls == kSSInfoServiceCentre ? lang_->translate("Info_DefaultSCA")
                                                         : std::string());
}

} // namespace core
