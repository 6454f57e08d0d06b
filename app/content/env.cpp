#include "content/env.h"

#include "core/app_manage.h"
#include "core/lang_mng.h"

#include <cstdio>
#include <ctime>

namespace content {

std::string formatLocalTime(int year, int month, int day, int hour, int minute, int second)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                  second);
    return buf;
}

std::string ManageEnv::text(std::string_view key) const { return manage_.LangMng().translate(key); }

int ManageEnv::messageBox(const std::string &text, unsigned flags)
{
    return manage_.ShowMessageBox(text, manage_.LangMng().translate("Application_Hite_title"), flags);
}

std::string ManageEnv::localTime() const
{
    if (!fixedTime_.empty())
        return fixedTime_;
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return formatLocalTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                           tm.tm_sec);
}

std::string ManageEnv::programDir() const
{
    std::string dir = manage_.AppDir;
    if (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    return dir;
}

std::string ManageEnv::databaseDir() const { return manage_.DatabaseDir(); }
std::string ManageEnv::tempDir() const { return manage_.TempDir(); }

AppState ManageEnv::state() const
{
    AppState s;
    s.Connected = manage_.Connected;
    s.PbCap2 = manage_.PbCap2;
    s.PbCap4 = manage_.PbCap4;
    s.PbCap8 = manage_.PbCap8;
    s.PhoneMan = manage_.PhoneMan;
    s.PhoneModel = manage_.PhoneModel;
    s.InCeptDel = manage_.InCeptDel;
    return s;
}

} // namespace content
