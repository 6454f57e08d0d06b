#include "core/catalogue.h"

#include "dv_result.h"
#include "platform/serial_ports.h"
#include "platform/table.h"

#include <cstring>

namespace core {

namespace {

constexpr size_t kIdentField = sizeof(PhoneIdent::Man); // 32
static_assert(sizeof(PhoneIdent::ModelA) == kIdentField && sizeof(PhoneIdent::ModelB) == kIdentField);

const char kDefaultBauds[] = "19200,9600,38400,57600";

bool equalsUpper(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && catalogueUpper(a) == catalogueUpper(b);
}

bool startsWithUpper(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equalsUpper(text.substr(0, prefix.size()), prefix);
}

// Field numbers of one table, looked up once per snapshot.
struct Fields {
    const platform::Table &t;
    int at(const char *name) const { return t.fieldIndex(name); }
};

int32_t intCell(const platform::Row &r, int f)
{
    return f >= 0 ? r.intAt(size_t(f)) : 0;
}

std::string textCell(const platform::Row &r, int f)
{
    return f >= 0 ? std::string(r.textAt(size_t(f))) : std::string();
}

} // namespace

std::string catalogueUpper(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

bool catalogueContains(std::string_view text, std::string_view part)
{
    if (part.empty())
        return false;
    return catalogueUpper(text).find(catalogueUpper(part)) != std::string::npos;
}

std::string_view catalogueTrim(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
        s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
        s.remove_suffix(1);
    return s;
}

std::string identText(const char (&field)[32])
{
    return std::string(field, strnlen(field, kIdentField));
}

// The driver's header promises zero-terminated fields, so at most 31 bytes go in, cut where no
// UTF-8 character is split.
void putIdentText(char (&field)[32], std::string_view text)
{
    std::memset(field, 0, kIdentField);
    size_t n = text.size();
    if (n > kIdentField - 1) {
        n = kIdentField - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(field, text.data(), n);
}

Catalogue::Catalogue(std::vector<BaseRow> base, std::vector<ConnRow> conn, std::vector<PlugRow> plug,
                     std::vector<ModelRow> model)
    : base_(std::move(base)), conn_(std::move(conn)), plug_(std::move(plug)), model_(std::move(model))
{
}

std::shared_ptr<const Catalogue> Catalogue::fromTables(const CatalogueTables &tables)
{
    std::vector<BaseRow> base;
    {
        Fields f{tables.baseInfo};
        const int id = f.at("ID"), name = f.at("DllName"), path = f.at("DllPath"),
                  ver = f.at("Version"), time = f.at("FileTime"), man = f.at("Man");
        for (const platform::Row &r : tables.baseInfo.rows())
            base.push_back({intCell(r, id), textCell(r, name), textCell(r, path), textCell(r, ver),
                            intCell(r, time), textCell(r, man)});
    }
    std::vector<ConnRow> conn;
    {
        Fields f{tables.connInfo};
        const int id = f.at("ID"), baseId = f.at("BaseId"), type = f.at("Type"), port = f.at("Port"),
                  baud = f.at("Baud");
        for (const platform::Row &r : tables.connInfo.rows())
            conn.push_back({intCell(r, id), intCell(r, baseId), textCell(r, type), textCell(r, port),
                            textCell(r, baud)});
    }
    std::vector<PlugRow> plug;
    {
        Fields f{tables.plugInfo};
        const int id = f.at("ID"), baseId = f.at("BaseId"), name = f.at("DllName"),
                  path = f.at("DllPath"), ver = f.at("Version"), time = f.at("FileTime");
        for (const platform::Row &r : tables.plugInfo.rows())
            plug.push_back({intCell(r, id), intCell(r, baseId), textCell(r, name), textCell(r, path),
                            textCell(r, ver), intCell(r, time)});
    }
    std::vector<ModelRow> model;
    {
        Fields f{tables.modelRef};
        const int id = f.at("ID"), plugId = f.at("PlugId"), man = f.at("Man"), m1 = f.at("Model1"),
                  m2 = f.at("Model2");
        for (const platform::Row &r : tables.modelRef.rows())
            model.push_back({intCell(r, id), intCell(r, plugId), textCell(r, man), textCell(r, m1),
                             textCell(r, m2)});
    }
    return std::make_shared<const Catalogue>(std::move(base), std::move(conn), std::move(plug),
                                             std::move(model));
}

const BaseRow *Catalogue::baseById(int32_t id) const
{
    for (const BaseRow &b : base_)
        if (b.ID == id)
            return &b;
    return nullptr;
}

const PlugRow *Catalogue::plugById(int32_t id) const
{
    for (const PlugRow &p : plug_)
        if (p.ID == id)
            return &p;
    return nullptr;
}

void Catalogue::ListBaseDlls(std::vector<std::string> &list) const
{
    list.clear();
    for (const BaseRow &b : base_)
        list.push_back(b.DllName);
}

int32_t Catalogue::FindBaseByMan(std::string_view man, std::string &dllName) const
{
    dllName.clear();
    if (man.empty())
        return DV_E_ARG;
    for (const BaseRow &b : base_) {
        if (startsWithUpper(b.Man, man)) {
            dllName = b.DllName;
            break;
        }
    }
    return dllName.empty() ? DV_E_UNSUPPORTED : 0;
}

int32_t Catalogue::FindPlug(PhoneIdent &ident, std::string &driverName, std::string &plugName) const
{
    driverName.clear();
    plugName.clear();
    std::string man = identText(ident.Man);
    const std::string model = identText(ident.ModelA) + identText(ident.ModelB);
    std::string best; // model pair of the best tier-1 row so far

    // The driver of the handset's manufacturer. A handset that refused "+CGMI" has an empty one,
    // which would prefix-match the first driver whatever it serves: it matches none.
    const BaseRow *driver = nullptr;
    if (!man.empty())
        for (const BaseRow &b : base_)
            if (startsWithUpper(b.Man, man)) {
                driver = &b;
                break;
            }
    if (driver) {
        driverName = driver->DllName;
        man = driver->Man;
    } else {
        for (const BaseRow &b : base_)
            if (equalsUpper(b.Man, "OTHER")) {
                driverName = b.DllName;
                break;
            }
    }
    if (driverName.empty())
        return DV_E_UNSUPPORTED;

    // A plug-in row brings its own driver (unchanged when that driver row is gone).
    auto take = [&](const PlugRow &p) {
        if (const BaseRow *b = baseById(p.BaseId))
            driverName = b->DllName;
        plugName = p.DllName;
    };

    for (const ModelRow &r : model_) {
        if (!catalogueContains(man, r.Man))
            continue; // another manufacturer's row
        if (catalogueContains(model, r.Model1) || catalogueContains(model, r.Model2)) {
            const size_t pair = r.Model1.size() + r.Model2.size();
            if (pair > best.size()) {
                if (const PlugRow *p = plugById(r.PlugId)) {
                    take(*p);
                    best = r.Model1 + r.Model2;
                    if (std::string_view t = catalogueTrim(r.Man); !t.empty())
                        putIdentText(ident.Man, t);
                    if (std::string_view t = catalogueTrim(r.Model1); !t.empty())
                        putIdentText(ident.ModelA, t);
                    if (std::string_view t = catalogueTrim(r.Model2); !t.empty())
                        putIdentText(ident.ModelB, t);
                }
            }
        } else if (best.empty()) {
            const bool ownOrMisc = equalsUpper(man, r.Man) || equalsUpper(r.Man, "MISC");
            if (ownOrMisc && (catalogueContains(r.Model1, "MISC") || catalogueContains(r.Model2, "MISC")))
                if (const PlugRow *p = plugById(r.PlugId))
                    take(*p);
        }
    }

    if (plugName.empty()) {
        for (const ModelRow &r : model_) {
            if (!equalsUpper(r.Man, "MISC"))
                continue;
            if (catalogueContains(r.Model1, "MISC") || catalogueContains(r.Model2, "MISC"))
                if (const PlugRow *p = plugById(r.PlugId))
                    take(*p);
            break; // only the first "MISC" row counts
        }
    }
    return !driverName.empty() && !plugName.empty() ? 0 : DV_E_UNSUPPORTED;
}

void Catalogue::GetConnChoices(UIConnParamList &list, const SerialPortSource &ports) const
{
    list.clear();
    list.reserve(conn_.size());
    std::vector<std::string> serial;
    EnumSerialPorts(serial, ports);
    for (const ConnRow &c : conn_) {
        UIConnParam p;
        if (const BaseRow *b = baseById(c.BaseId))
            p.Man = b->Man;
        p.Type = c.Type;
        if (c.Port == "any")
            p.Ports = serial;
        else
            p.Ports.push_back(c.Port);
        ParseBaudList(c.Baud == "any" ? std::string_view(kDefaultBauds) : std::string_view(c.Baud), p.Bauds);
        list.push_back(std::move(p));
    }
}

void EnumSerialPorts(std::vector<std::string> &list, const SerialPortSource &ports)
{
    list = platform::listSerialPorts(ports.configuredPort, ports.sysfsRoot);
}

void ParseBaudList(std::string_view text, std::vector<std::string> &list)
{
    list.clear();
    std::string item;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            item += c;
        } else if (c == ',') {
            list.push_back(std::move(item));
            item.clear();
        }
    }
    if (!item.empty())
        list.push_back(std::move(item));
}

} // namespace core
