#include "controls/navbar/nav_bar_styles.h"

namespace controls {

// ---- TqvBaseNavBarStyle ----------------------------------------------------------------------

TqvBaseNavBarStyle::TqvBaseNavBarStyle(QObject *owner) : owner_(owner)
{
    // Font and picture have no equality test on the way in: whatever reaches them is taken.
    font_.setChangeHandler([this] { valueTaken(savFont, ctRelayout); });
    image_.setChangeHandler([this] { valueTaken(savImage, ctRelayout); });
}

template <typename T>
void TqvBaseNavBarStyle::setValue(T &field, T value, TqvBarStyleAssignedValue flag, TqvNavBarChangeType kind)
{
    if (field == value)
        return;
    field = value;
    valueTaken(flag, kind);
}

void TqvBaseNavBarStyle::valueTaken(TqvBarStyleAssignedValue flag, TqvNavBarChangeType kind)
{
    if (IsTrackingAssignedValues())
        assignedValues_ |= savBit(flag);
    Changed(kind);
}

void TqvBaseNavBarStyle::SetAlphaBlending(uint8_t v) { setValue(alphaBlending_, v, savAlphaBlending, ctRedraw); }
void TqvBaseNavBarStyle::SetAlphaBlending2(uint8_t v) { setValue(alphaBlending2_, v, savAlphaBlending2, ctRedraw); }
void TqvBaseNavBarStyle::SetBackColor(TColor v) { setValue(backColor_, v, savBackColor, ctRedraw); }
void TqvBaseNavBarStyle::SetBackColor2(TColor v) { setValue(backColor2_, v, savBackColor2, ctRedraw); }
void TqvBaseNavBarStyle::SetGradientMode(TqvBarStyleGradientMode v)
{
    setValue(gradientMode_, v, savGradientMode, ctRedraw);
}
void TqvBaseNavBarStyle::SetHAlignment(TqvBarStyleHAlignment v) { setValue(hAlignment_, v, savHAlignment, ctRedraw); }
void TqvBaseNavBarStyle::SetVAlignment(TqvBarStyleVAlignment v) { setValue(vAlignment_, v, savVAlignment, ctRedraw); }

// assign() reports exactly one change, which the handler turns into the flag and kind 1.
void TqvBaseNavBarStyle::SetFont(const TqvStyleFont &v) { font_.assign(v); }
void TqvBaseNavBarStyle::SetImage(const TqvPicture &v) { image_.assign(v); }

void TqvBaseNavBarStyle::SetAssignedValues(TqvBarStyleAssignedValues v)
{
    v &= savAll;
    if (v == assignedValues_)
        return;
    assignedValues_ = v;
    Changed(ctRelayout);
}

void TqvBaseNavBarStyle::Assign(const TqvBaseNavBarStyle &source)
{
    if (&source == this)
        return;
    SetAlphaBlending(source.alphaBlending_);
    SetAlphaBlending2(source.alphaBlending2_);
    SetBackColor(source.backColor_);
    SetBackColor2(source.backColor2_);
    SetGradientMode(source.gradientMode_);
    SetFont(source.font_);
    SetImage(source.image_);
    SetHAlignment(source.hAlignment_);
    SetVAlignment(source.vAlignment_);
    SetAssignedValues(source.assignedValues_);
}

void TqvBaseNavBarStyle::Changed(TqvNavBarChangeType kind)
{
    if (OnChange)
        OnChange(this, kind);
}

// ---- TqvNavBarDefaultStyle -------------------------------------------------------------------

void TqvNavBarDefaultStyle::Changed(TqvNavBarChangeType kind)
{
    TqvBaseNavBarStyle::Changed(kind);
    default_ = false;
}

// ---- TqvNavBarDefaultStyles ------------------------------------------------------------------

namespace {
const char *const kStyleNames[TqvNavBarDefaultStyles::kCount] = {
    "Background",       "Button",          "ButtonPressed", "ButtonHotTracked",
    "GroupBackground",  "GroupHeader",     "GroupHeaderActive", "GroupHeaderHotTracked",
    "GroupHeaderPressed", "Hint",          "Item",          "ItemDisabled",
    "ItemHotTracked",   "ItemPressed",     "DropTargetGroup", "DropTargetLink",
};
} // namespace

QString TqvNavBarDefaultStyles::StyleName(int index)
{
    return index >= 0 && index < kCount ? QString::fromLatin1(kStyleNames[index]) : QString();
}

int TqvNavBarDefaultStyles::IndexOf(const QString &name)
{
    for (int i = 0; i < kCount; ++i)
        if (name == QLatin1String(kStyleNames[i]))
            return i;
    return -1;
}

TqvNavBarDefaultStyles::TqvNavBarDefaultStyles(QObject *bar) : bar_(bar)
{
    CreateStyles();
}

TqvNavBarDefaultStyles::~TqvNavBarDefaultStyles()
{
    DestroyStyles();
}

void TqvNavBarDefaultStyles::CreateStyles()
{
    for (int i = 0; i < kCount; ++i) {
        auto style = std::make_unique<TqvNavBarDefaultStyle>(bar_);
        style->OnChange = [this](TqvBaseNavBarStyle *, TqvNavBarChangeType kind) { StyleChanged(kind); };
        style->OnAssignDefault = [this, i](TqvNavBarDefaultStyle &s) {
            if (assignDefault_)
                assignDefault_(i, s);
        };
        styles_[size_t(i)] = std::move(style);
    }
}

void TqvNavBarDefaultStyles::DestroyStyles()
{
    for (auto &style : styles_)
        style.reset();
}

TqvNavBarDefaultStyle *TqvNavBarDefaultStyles::Style(int index) const
{
    return index >= 0 && index < kCount ? styles_[size_t(index)].get() : nullptr;
}

void TqvNavBarDefaultStyles::SetStyle(int index, const TqvBaseNavBarStyle &value)
{
    if (TqvNavBarDefaultStyle *style = Style(index))
        style->Assign(value);
}

bool TqvNavBarDefaultStyles::IsStored(int index) const
{
    const TqvNavBarDefaultStyle *style = Style(index);
    return style && !style->IsDefault();
}

void TqvNavBarDefaultStyles::StyleChanged(TqvNavBarChangeType kind)
{
    if (updateCount_ == 0 && OnChange)
        OnChange(this, kind);
}

void TqvNavBarDefaultStyles::ApplyDefaults(bool onlyUntouched)
{
    ++updateCount_;
    struct Leave {
        int &count;
        ~Leave() { --count; }
    } leave{updateCount_};
    for (auto &style : styles_) {
        if (!style || !style->OnAssignDefault || !assignDefault_)
            continue;
        if (!onlyUntouched || style->IsDefault()) {
            style->OnAssignDefault(*style);
            style->SetDefault(true);
        }
    }
}

void TqvNavBarDefaultStyles::Assign(const TqvNavBarDefaultStyles &source)
{
    if (&source == this)
        return;
    for (int i = 0; i < kCount; ++i)
        styles_[size_t(i)]->Assign(*source.styles_[size_t(i)]);
}

// ---- TqvNavBarStyleItem ----------------------------------------------------------------------

TqvNavBarStyleItem::TqvNavBarStyleItem(QObject *owner) : TqvNavBarComponentCollectionItem(owner), style_(this)
{
    style_.OnChange = [this](TqvBaseNavBarStyle *, TqvNavBarChangeType kind) { Changed(kind); };
}

TqvNavBarStyleItem::~TqvNavBarStyleItem()
{
    NotifyRemoval();
    style_.OnChange = nullptr;
}

void TqvNavBarStyleItem::SetStyle(const TqvBaseNavBarStyle &value)
{
    style_.Assign(value);
    Changed(ctRelayout);
}

// ---- TqvNavBarStyles -------------------------------------------------------------------------

TqvNavBarStyleItem *TqvNavBarStyles::Add()
{
    auto *item = new TqvNavBarStyleItem(Owner());
    Insert(item);
    return item;
}

void TqvNavBarStyles::Assign(const TqvNavBarStyles &source)
{
    assignCopies(*this, source);
}

void TqvNavBarStyles::Changed(TqvNavBarChangeType)
{
    ReportChange(ctRebuild);
}

} // namespace controls
