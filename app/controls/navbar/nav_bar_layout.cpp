#include "controls/navbar/nav_bar_layout.h"

#include "controls/navbar/nav_bar.h"
#include "platform/ini_file.h"
#include "platform/safe_file.h"

#include <QByteArray>
#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <map>
#include <vector>

namespace controls {
namespace {

std::string lower(std::string_view s)
{
    std::string r(s);
    for (char &c : r)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return r;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// The sections this format owns: "Layout", and "Style"/"Item"/"Group" followed by digits only.
bool isLayoutSection(std::string_view name)
{
    std::string l = lower(name);
    if (l == "layout")
        return true;
    for (std::string_view p : {"style", "item", "group"}) {
        if (l.size() > p.size() && l.compare(0, p.size(), p) == 0 &&
            std::all_of(l.begin() + long(p.size()), l.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return true;
    }
    return false;
}

// The file read once: first section and first key of a name win, as the platform reader does.
class LayoutReader {
    using Section = std::map<std::string, std::string>;

public:
    explicit LayoutReader(std::string_view text)
    {
        sectionCount_ = int(platform::iniSectionNames(text).size());
        std::map<std::string, bool> seen; // a later run of a section name already met is ignored
        std::string current;
        bool taking = false;
        for (platform::IniEntry &e : platform::iniEntries(text)) {
            std::string sec = lower(e.section);
            if (sec != current) {
                current = sec;
                taking = !seen[sec];
                seen[sec] = true;
            }
            if (taking)
                sections_[sec].try_emplace(lower(e.key), std::move(e.value));
        }
    }
    int SectionCount() const { return sectionCount_; }
    int KeyCount(const std::string &section) const
    {
        auto s = sections_.find(lower(section));
        return s == sections_.end() ? 0 : int(s->second.size());
    }
    const std::string *Find(const std::string &section, std::string_view key) const
    {
        auto s = sections_.find(lower(section));
        if (s == sections_.end())
            return nullptr;
        auto k = s->second.find(lower(key));
        return k == s->second.end() ? nullptr : &k->second;
    }
    bool Exists(const std::string &section, std::string_view key) const { return Find(section, key) != nullptr; }
    int Int(const std::string &section, std::string_view key, int def) const
    {
        const std::string *v = Find(section, key);
        return v ? platform::iniParseInt(*v, def) : def;
    }
    // Colours: the signed stored form, or the same 32 bits written unsigned.
    TColor Color(const std::string &section, std::string_view key, TColor def) const
    {
        const std::string *v = Find(section, key);
        if (!v)
            return def;
        std::string_view s = trim(*v);
        if (!s.empty() && s.front() != '-') {
            uint64_t n = 0;
            size_t i = s.front() == '+' ? 1 : 0;
            if (i < s.size() && s.size() - i <= 10) {
                for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
                    n = n * 10 + uint64_t(s[i] - '0');
                if (i == s.size() && n <= 0xFFFFFFFFull)
                    return TColor(n);
            }
            return def;
        }
        return TColor(uint32_t(platform::iniParseInt(s, int32_t(def))));
    }
    bool Bool(const std::string &section, std::string_view key, bool def) const
    {
        return Int(section, key, def ? 1 : 0) != 0;
    }
    QString Str(const std::string &section, std::string_view key, const QString &def) const
    {
        const std::string *v = Find(section, key);
        return v ? QString::fromStdString(*v) : def;
    }
    // A stored count: never below 0, never more than the file has sections.
    int Count(std::string_view key) const { return std::clamp(Int("Layout", key, 0), 0, sectionCount_); }

private:
    std::map<std::string, Section> sections_;
    int sectionCount_ = 0;
};

// Builds the new sections' text.
class LayoutWriter {
public:
    explicit LayoutWriter(std::string eol) : eol_(std::move(eol)) {}
    void Section(const std::string &name) { out_ += "[" + name + "]" + eol_; }
    void Str(std::string_view key, const QString &value)
    {
        std::string v = value.toStdString();
        for (char &c : v)
            if (c == '\r' || c == '\n' || c == '\0')
                c = ' '; // an ini line cannot hold a line break
        bool quote = !v.empty() && (v.front() == ' ' || v.front() == '\t' || v.back() == ' ' || v.back() == '\t' ||
                                    v.front() == '"' || v.front() == '\'' || v.back() == '"' || v.back() == '\'');
        out_ += std::string(key) + "=" + (quote ? "\"" + v + "\"" : v) + eol_;
    }
    void Raw(std::string_view key, const std::string &value) { out_ += std::string(key) + "=" + value + eol_; }
    void Int(std::string_view key, long long v) { Raw(key, std::to_string(v)); }
    void Bool(std::string_view key, bool v) { Raw(key, v ? "1" : "0"); }
    void Color(std::string_view key, TColor c) { Int(key, int32_t(uint32_t(c))); }
    void Blank() { out_ += eol_; }
    const std::string &Text() const { return out_; }

private:
    std::string eol_;
    std::string out_;
};

const char *const kBarStyleKeys[7] = {
    "StyleBackgroundStyleIndex",       "StyleHintStyleIndex",    "StyleDropTargetGroupStyleIndex",
    "StyleDropTargetLinkStyleIndex",   "StyleButtonStyleIndex",  "StyleButtonHotTrackedStyleIndex",
    "StyleButtonPressedStyleIndex",
}; // in TqvNavBarBarStyle order

// The style item at a stored index, or nullptr when out of range.
TqvNavBarStyleItem *styleAt(TqvCustomNavBar &bar, int index)
{
    return bar.Styles().Items(index); // nullptr outside 0 .. count - 1
}

void writeStyleRef(LayoutWriter &w, std::string_view key, const TqvNavBarStyleItem *item)
{
    if (item && item->Index() >= 0)
        w.Int(key, item->Index());
}

void readStyleRef(const LayoutReader &r, TqvCustomNavBar &bar, const std::string &section, std::string_view key,
                  const std::function<void(TqvNavBarStyleItem *)> &set)
{
    if (!r.Exists(section, key))
        return;
    // An index outside the collection leaves the reference unassigned.
    set(styleAt(bar, r.Int(section, key, -1)));
}

void saveStyle(LayoutWriter &w, const TqvNavBarStyle &s)
{
    w.Color("BackColor", s.BackColor());
    w.Color("BackColor2", s.BackColor2());
    w.Int("AlphaBlending", s.AlphaBlending());
    w.Int("AlphaBlending2", s.AlphaBlending2());
    const TqvStyleFont &f = s.Font();
    w.Int("FontCharset", f.charset());
    w.Color("FontColor", f.color());
    w.Int("FontHeight", -std::lround(f.size() * 96.0 / 72.0));
    w.Str("FontName", f.name());
    w.Int("FontPitch", int(f.pitch()));
    w.Int("FontSize", f.size());
    w.Bool("FontStyleBold", f.bold());
    w.Bool("FontStyleItalic", f.italic());
    w.Bool("FontStyleUnderline", f.underline());
    w.Bool("FontStyleStrikeOut", f.strikeOut());
    w.Int("GradientMode", int(s.GradientMode()));
    if (!s.Image().isEmpty()) {
        w.Raw("Image", s.Image().data().toHex().toUpper().toStdString());
        w.Str("ImageClass", s.Image().className());
    }
    w.Int("HAlignment", int(s.HAlignment()));
    w.Int("VAlignment", int(s.VAlignment()));
}

bool isHex(const std::string &s)
{
    return s.size() % 2 == 0 && std::all_of(s.begin(), s.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

uint8_t byteValue(int v) { return uint8_t(std::clamp(v, 0, 255)); }

void loadStyle(const LayoutReader &r, const std::string &sec, TqvNavBarStyle &s)
{
    s.SetBackColor(r.Color(sec, "BackColor", s.BackColor()));
    s.SetBackColor2(r.Color(sec, "BackColor2", s.BackColor2()));
    s.SetAlphaBlending(byteValue(r.Int(sec, "AlphaBlending", s.AlphaBlending())));
    s.SetAlphaBlending2(byteValue(r.Int(sec, "AlphaBlending2", s.AlphaBlending2())));
    TqvStyleFont f;
    f.assign(s.Font());
    f.setCharset(std::clamp(r.Int(sec, "FontCharset", f.charset()), 0, 255));
    f.setColor(r.Color(sec, "FontColor", f.color()));
    f.setName(r.Str(sec, "FontName", f.name()));
    int pitch = r.Int(sec, "FontPitch", int(f.pitch()));
    f.setPitch(pitch >= 0 && pitch <= 2 ? TFontPitch(pitch) : TFontPitch::fpDefault);
    if (r.Exists(sec, "FontSize"))
        f.setSize(std::clamp(r.Int(sec, "FontSize", f.size()), -1638, 1638));
    else if (r.Exists(sec, "FontHeight"))
        f.setHeight(std::clamp(r.Int(sec, "FontHeight", f.height()), -2184, 2184));
    f.setBold(r.Bool(sec, "FontStyleBold", f.bold()));
    f.setItalic(r.Bool(sec, "FontStyleItalic", f.italic()));
    f.setUnderline(r.Bool(sec, "FontStyleUnderline", f.underline()));
    f.setStrikeOut(r.Bool(sec, "FontStyleStrikeOut", f.strikeOut()));
    s.SetFont(f);
    int gm = r.Int(sec, "GradientMode", int(s.GradientMode()));
    s.SetGradientMode(TqvBarStyleGradientMode(std::clamp(gm, 0, 3)));
    const std::string *img = r.Find(sec, "Image");
    const std::string *cls = r.Find(sec, "ImageClass");
    if (img && cls && !img->empty() && isHex(*img)) {
        TqvPicture p;
        QByteArray bytes = QByteArray::fromHex(QByteArray::fromStdString(*img));
        // An unknown class is refused; bytes that do not decode leave the picture empty.
        if (p.loadFromData(QString::fromStdString(*cls), bytes) && !p.isEmpty())
            s.SetImage(p);
    }
    int ha = r.Int(sec, "HAlignment", int(s.HAlignment()));
    s.SetHAlignment(TqvBarStyleHAlignment(std::clamp(ha, 0, 2)));
    int va = r.Int(sec, "VAlignment", int(s.VAlignment()));
    s.SetVAlignment(TqvBarStyleVAlignment(std::clamp(va, 0, 2)));
}

} // namespace

bool SaveLayoutToIni(TqvCustomNavBar &bar, const std::string &path, std::string *error)
{
    platform::ReadResult old = platform::readWholeFile(path, platform::kIniMaxBytes);
    if (old.status != platform::ReadStatus::Ok && old.status != platform::ReadStatus::Missing) {
        if (error)
            *error = old.message.empty() ? "Cannot read " + path : old.message;
        return false;
    }
    std::string eol = "\n";
    if (size_t nl = old.data.find('\n'); nl != std::string::npos && nl > 0 && old.data[nl - 1] == '\r')
        eol = "\r\n";
    // Keep every line outside the sections this format owns.
    std::string kept = platform::iniEraseSections(old.data, isLayoutSection);
    if (!kept.empty() && kept.back() != '\n')
        kept += eol;

    LayoutWriter w(eol);
    w.Section("Layout");
    w.Int("View", bar.View());
    w.Int("StyleCount", bar.Styles().Count());
    w.Int("ItemCount", bar.Items().Count());
    w.Int("GroupCount", bar.Groups().Count());
    for (int i = 0; i < 7; ++i)
        writeStyleRef(w, kBarStyleKeys[i], bar.BarStyle(TqvNavBarBarStyle(i)));
    for (int i = 0; i < bar.Styles().Count(); ++i) {
        const TqvNavBarStyleItem *si = bar.Styles().Items(i);
        w.Section("Style" + std::to_string(i));
        saveStyle(w, si->Style());
        w.Int("Tag", si->Tag());
    }
    for (int i = 0; i < bar.Items().Count(); ++i) {
        const TqvNavBarItem *it = bar.Items().Items(i);
        w.Section("Item" + std::to_string(i));
        w.Str("Caption", it->Caption());
        w.Bool("Enabled", it->Enabled());
        w.Str("Hint", it->Hint());
        w.Int("LargeImageIndex", it->LargeImageIndex());
        w.Int("SmallImageIndex", it->SmallImageIndex());
        writeStyleRef(w, "StyleStyleIndex", it->Style());
        writeStyleRef(w, "StyleDisabledStyleIndex", it->StyleDisabled());
        writeStyleRef(w, "StyleHotTrackedStyleIndex", it->StyleHotTracked());
        writeStyleRef(w, "StylePressedStyleIndex", it->StylePressed());
        w.Int("Tag", it->Tag());
        w.Bool("Visible", it->Visible());
    }
    for (int i = 0; i < bar.Groups().Count(); ++i) {
        const TqvNavBarGroup *g = bar.Groups().Items(i);
        w.Section("Group" + std::to_string(i));
        w.Str("Caption", g->Caption());
        w.Bool("Expanded", g->Expanded());
        w.Str("Hint", g->Hint());
        w.Int("LargeImageIndex", g->LargeImageIndex());
        w.Bool("LinksUseSmallImages", g->LinksUseSmallImages());
        w.Int("LinkCount", g->LinkCount());
        for (int l = 0; l < g->LinkCount(); ++l) {
            const TqvNavBarItem *item = g->Links(l)->Item();
            w.Int("Link" + std::to_string(l) + "ItemIndex", item ? item->Index() : -1);
        }
        w.Int("SelectedLinkIndex", g->SelectedLinkIndex());
        w.Bool("ShowAsIconView", g->ShowAsIconView());
        w.Bool("ShowExpandButton", g->ShowExpandButton());
        w.Int("SmallImageIndex", g->SmallImageIndex());
        writeStyleRef(w, "StyleBackgroundStyleIndex", g->StyleBackground());
        writeStyleRef(w, "StyleHeaderStyleIndex", g->StyleHeader());
        writeStyleRef(w, "StyleHeaderActiveStyleIndex", g->StyleHeaderActive());
        writeStyleRef(w, "StyleHeaderHotTrackedStyleIndex", g->StyleHeaderHotTracked());
        writeStyleRef(w, "StyleHeaderPressedStyleIndex", g->StyleHeaderPressed());
        w.Int("Tag", g->Tag());
        w.Int("TopVisibleLinkIndex", g->TopVisibleLinkIndex());
        w.Bool("UseSmallImages", g->UseSmallImages());
        w.Bool("Visible", g->Visible());
    }
    platform::FileResult res = platform::writeFileSafely(path, kept + w.Text());
    if (!res.ok && error)
        *error = res.message;
    return res.ok;
}

bool LoadLayoutFromIni(TqvCustomNavBar &bar, const std::string &path, std::string *error)
{
    platform::ReadResult file = platform::readWholeFile(path, platform::kIniMaxBytes);
    if (file.status != platform::ReadStatus::Ok) {
        if (error)
            *error = file.message.empty() ? "Cannot read " + path : file.message;
        return false;
    }
    const LayoutReader r(file.data);
    const std::string L = "Layout";
    bar.beginLoading();
    bar.SetView(r.Int(L, "View", bar.View()));

    if (r.Exists(L, "StyleCount")) {
        int n = r.Count("StyleCount");
        bar.Styles().BeginUpdate();
        bar.Styles().Clear();
        for (int i = 0; i < n; ++i) {
            TqvNavBarStyleItem *si = bar.Styles().Add();
            std::string sec = "Style" + std::to_string(i);
            loadStyle(r, sec, si->Style());
            si->SetTag(r.Int(sec, "Tag", 0));
        }
        bar.Styles().EndUpdate();
    }
    if (r.Exists(L, "ItemCount")) {
        int n = r.Count("ItemCount");
        bar.Items().BeginUpdate();
        bar.Items().Clear();
        for (int i = 0; i < n; ++i) {
            TqvNavBarItem *it = bar.Items().Add();
            std::string sec = "Item" + std::to_string(i);
            it->SetCaption(r.Str(sec, "Caption", it->Caption()));
            it->SetEnabled(r.Bool(sec, "Enabled", it->Enabled()));
            it->SetHint(r.Str(sec, "Hint", it->Hint()));
            it->SetLargeImageIndex(r.Int(sec, "LargeImageIndex", it->LargeImageIndex()));
            it->SetSmallImageIndex(r.Int(sec, "SmallImageIndex", it->SmallImageIndex()));
            it->SetTag(r.Int(sec, "Tag", 0));
            it->SetVisible(r.Bool(sec, "Visible", it->Visible()));
        }
        bar.Items().EndUpdate();
    }
    if (r.Exists(L, "GroupCount")) {
        int n = r.Count("GroupCount");
        TqvNavBarGroups &groups = bar.GroupsRef();
        groups.BeginUpdate();
        groups.Clear();
        for (int i = 0; i < n; ++i) {
            TqvNavBarGroup *g = groups.Add();
            std::string sec = "Group" + std::to_string(i);
            g->SetCaption(r.Str(sec, "Caption", g->Caption()));
            g->SetExpanded(r.Bool(sec, "Expanded", g->Expanded()));
            g->SetHint(r.Str(sec, "Hint", g->Hint()));
            g->SetLargeImageIndex(r.Int(sec, "LargeImageIndex", g->LargeImageIndex()));
            g->SetLinksUseSmallImages(r.Bool(sec, "LinksUseSmallImages", g->LinksUseSmallImages()));
            // Links first: the selected and top visible indexes clamp against their count. A link
            // key is looked up only for positions the section's keys can hold.
            int links = std::clamp(r.Int(sec, "LinkCount", 0), 0, r.KeyCount(sec));
            for (int l = 0; l < links; ++l) {
                TqvNavBarItem *item = bar.Items().Items(r.Int(sec, "Link" + std::to_string(l) + "ItemIndex", -1));
                if (item) // a link to no item is skipped
                    g->CreateLink(item);
            }
            g->SetSelectedLinkIndex(r.Int(sec, "SelectedLinkIndex", g->SelectedLinkIndex()));
            g->SetShowAsIconView(r.Bool(sec, "ShowAsIconView", g->ShowAsIconView()));
            g->SetShowExpandButton(r.Bool(sec, "ShowExpandButton", g->ShowExpandButton()));
            g->SetSmallImageIndex(r.Int(sec, "SmallImageIndex", g->SmallImageIndex()));
            g->SetTag(r.Int(sec, "Tag", 0));
            g->SetTopVisibleLinkIndex(r.Int(sec, "TopVisibleLinkIndex", g->TopVisibleLinkIndex()));
            g->SetUseSmallImages(r.Bool(sec, "UseSmallImages", g->UseSmallImages()));
            g->SetVisible(r.Bool(sec, "Visible", g->Visible()));
        }
        groups.EndUpdate();
    }
    if (bar.Styles().Count() > 0) {
        for (int i = 0; i < 7; ++i)
            readStyleRef(r, bar, L, kBarStyleKeys[i],
                         [&](TqvNavBarStyleItem *s) { bar.SetBarStyle(TqvNavBarBarStyle(i), s); });
        for (int i = 0; i < bar.Items().Count(); ++i) {
            TqvNavBarItem *it = bar.Items().Items(i);
            std::string sec = "Item" + std::to_string(i);
            readStyleRef(r, bar, sec, "StyleStyleIndex", [&](TqvNavBarStyleItem *s) { it->SetStyle(s); });
            readStyleRef(r, bar, sec, "StyleDisabledStyleIndex", [&](TqvNavBarStyleItem *s) { it->SetStyleDisabled(s); });
            readStyleRef(r, bar, sec, "StyleHotTrackedStyleIndex", [&](TqvNavBarStyleItem *s) { it->SetStyleHotTracked(s); });
            readStyleRef(r, bar, sec, "StylePressedStyleIndex", [&](TqvNavBarStyleItem *s) { it->SetStylePressed(s); });
        }
        for (int i = 0; i < bar.Groups().Count(); ++i) {
            TqvNavBarGroup *g = bar.GroupsRef().Items(i);
            std::string sec = "Group" + std::to_string(i);
            readStyleRef(r, bar, sec, "StyleBackgroundStyleIndex", [&](TqvNavBarStyleItem *s) { g->SetStyleBackground(s); });
            readStyleRef(r, bar, sec, "StyleHeaderStyleIndex", [&](TqvNavBarStyleItem *s) { g->SetStyleHeader(s); });
            readStyleRef(r, bar, sec, "StyleHeaderActiveStyleIndex", [&](TqvNavBarStyleItem *s) { g->SetStyleHeaderActive(s); });
            readStyleRef(r, bar, sec, "StyleHeaderHotTrackedStyleIndex", [&](TqvNavBarStyleItem *s) { g->SetStyleHeaderHotTracked(s); });
            readStyleRef(r, bar, sec, "StyleHeaderPressedStyleIndex", [&](TqvNavBarStyleItem *s) { g->SetStyleHeaderPressed(s); });
        }
    }
    bar.endLoading();
    return true;
}

bool TqvCustomNavBar::SaveLayoutToIni(const std::string &path, std::string *error)
{
    return controls::SaveLayoutToIni(*this, path, error);
}

bool TqvCustomNavBar::LoadLayoutFromIni(const std::string &path, std::string *error)
{
    return controls::LoadLayoutFromIni(*this, path, error);
}

} // namespace controls
