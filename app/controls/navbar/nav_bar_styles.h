// Styles of the navigation bar: how one part of the bar looks (colours, alpha values, gradient,
// font, picture, text alignment).
//
// TqvBaseNavBarStyle       the nine values and the set of values that were assigned
//                          (AssignedValues); setting a value to what it already holds does
//                          nothing, any other value is stored, its flag added and a change kind
//                          reported through OnChange. The font and the picture are always taken
//                          (their setters, and any change made through Font() / Image()), kind 1.
// TqvNavBarStyle           a user style (the one a style item carries).
// TqvNavBarDefaultStyle    one of the bar's sixteen default styles: it knows whether it still
//                          holds the view's values (IsDefault) and how to get them back.
// TqvNavBarDefaultStyles   the sixteen, by index and name; the current view fills them
//                          (ApplyDefaults), a user change clears the style's default flag.
// TqvNavBarStyleItem       a style in the bar's styles collection; the bar, its groups and items
//                          refer to style items, and a freed one is unassigned wherever referred.
//
// When an element is drawn, each value comes from its style item when that value's flag is in the
// item's AssignedValues, else from the matching default style.
#pragma once

#include "controls/navbar/nav_bar_collection.h"
#include "controls/paint/color.h"
#include "controls/paint/graphic.h"
#include "controls/paint/types.h"

#include <QString>
#include <array>
#include <functional>
#include <memory>

namespace controls {

// Bits 0 .. 8 of AssignedValues, in this order.
enum TqvBarStyleAssignedValue : uint8_t {
    savAlphaBlending = 0,
    savAlphaBlending2 = 1,
    savBackColor = 2,
    savBackColor2 = 3,
    savFont = 4,
    savGradientMode = 5,
    savHAlignment = 6,
    savVAlignment = 7,
    savImage = 8,
};
// A 16-bit set of TqvBarStyleAssignedValue bits.
using TqvBarStyleAssignedValues = uint16_t;
constexpr TqvBarStyleAssignedValues savBit(TqvBarStyleAssignedValue v) { return TqvBarStyleAssignedValues(1u << v); }
// Every defined flag; bits above 8 are never kept.
inline constexpr TqvBarStyleAssignedValues savAll = 0x1FF;

enum TqvBarStyleHAlignment : uint8_t { haLeft = 0, haCenter = 1, haRight = 2 };
enum TqvBarStyleVAlignment : uint8_t { vaTop = 0, vaCenter = 1, vaBottom = 2 };

class TqvBaseNavBarStyle {
public:
    using TqvBaseNavBarStyleChangeEvent = std::function<void(TqvBaseNavBarStyle *sender, TqvNavBarChangeType kind)>;

    // Values a layout file may leave out. A new style starts with the same values, HAlignment
    // included: a style is never read back different from what was written.
    static constexpr uint8_t kDefaultAlphaBlending = 255;
    static constexpr TqvBarStyleGradientMode kDefaultGradientMode = gmHorizontal;
    static constexpr TqvBarStyleHAlignment kDefaultHAlignment = haLeft;
    static constexpr TqvBarStyleVAlignment kDefaultVAlignment = vaCenter;

    explicit TqvBaseNavBarStyle(QObject *owner = nullptr);
    virtual ~TqvBaseNavBarStyle() = default;
    TqvBaseNavBarStyle(const TqvBaseNavBarStyle &) = delete;
    TqvBaseNavBarStyle &operator=(const TqvBaseNavBarStyle &) = delete;

    QObject *Owner() const { return owner_; }

    uint8_t AlphaBlending() const { return alphaBlending_; }
    void SetAlphaBlending(uint8_t v);
    uint8_t AlphaBlending2() const { return alphaBlending2_; }
    void SetAlphaBlending2(uint8_t v);
    TqvBarStyleAssignedValues AssignedValues() const { return assignedValues_; }
    void SetAssignedValues(TqvBarStyleAssignedValues v);
    bool IsAssigned(TqvBarStyleAssignedValue v) const { return (assignedValues_ & savBit(v)) != 0; }
    TColor BackColor() const { return backColor_; }
    void SetBackColor(TColor v);
    TColor BackColor2() const { return backColor2_; }
    void SetBackColor2(TColor v);
    TqvBarStyleGradientMode GradientMode() const { return gradientMode_; }
    void SetGradientMode(TqvBarStyleGradientMode v);
    const TqvStyleFont &Font() const { return font_; }
    TqvStyleFont &Font() { return font_; } // a change made through it marks the font assigned
    void SetFont(const TqvStyleFont &v);
    const TqvPicture &Image() const { return image_; }
    TqvPicture &Image() { return image_; } // a change made through it marks the image assigned
    void SetImage(const TqvPicture &v);
    TqvBarStyleHAlignment HAlignment() const { return hAlignment_; }
    void SetHAlignment(TqvBarStyleHAlignment v);
    TqvBarStyleVAlignment VAlignment() const { return vAlignment_; }
    void SetVAlignment(TqvBarStyleVAlignment v);

    // Copies the values and, last, AssignedValues: the copy ends with exactly the source's flags.
    virtual void Assign(const TqvBaseNavBarStyle &source);
    virtual bool IsTrackingAssignedValues() const { return true; }

    TqvBaseNavBarStyleChangeEvent OnChange;

protected:
    virtual void Changed(TqvNavBarChangeType kind);

private:
    template <typename T>
    void setValue(T &field, T value, TqvBarStyleAssignedValue flag, TqvNavBarChangeType kind);
    void valueTaken(TqvBarStyleAssignedValue flag, TqvNavBarChangeType kind);

    QObject *owner_;
    uint8_t alphaBlending_ = kDefaultAlphaBlending;
    uint8_t alphaBlending2_ = kDefaultAlphaBlending;
    TqvBarStyleAssignedValues assignedValues_ = 0;
    TColor backColor_ = clWhite;
    TColor backColor2_ = clWhite;
    TqvBarStyleGradientMode gradientMode_ = kDefaultGradientMode;
    TqvStyleFont font_;
    TqvPicture image_;
    TqvBarStyleHAlignment hAlignment_ = kDefaultHAlignment;
    TqvBarStyleVAlignment vAlignment_ = kDefaultVAlignment;
};

class TqvNavBarStyle : public TqvBaseNavBarStyle {
public:
    using TqvBaseNavBarStyle::TqvBaseNavBarStyle;
};

class TqvNavBarDefaultStyle : public TqvBaseNavBarStyle {
public:
    explicit TqvNavBarDefaultStyle(QObject *owner = nullptr) : TqvBaseNavBarStyle(owner) {}

    // True while the style holds what the view gave it; any change clears it.
    bool IsDefault() const { return default_; }
    void SetDefault(bool on) { default_ = on; }
    // Fills the style with the view's values (set by the default styles).
    std::function<void(TqvNavBarDefaultStyle &)> OnAssignDefault;

protected:
    void Changed(TqvNavBarChangeType kind) override;

private:
    bool default_ = true;
};

class TqvNavBarDefaultStyles {
public:
    using TqvNavBarChangeEvent = std::function<void(TqvNavBarDefaultStyles *sender, TqvNavBarChangeType kind)>;
    // Gives the default style at an index the current view's values (the bar passes it to its
    // painter's default-assignment operation of that index).
    using AssignDefaultHandler = std::function<void(int index, TqvNavBarDefaultStyle &style)>;

    enum Index : int {
        Background = 0, Button, ButtonPressed, ButtonHotTracked, GroupBackground, GroupHeader,
        GroupHeaderActive, GroupHeaderHotTracked, GroupHeaderPressed, Hint, Item, ItemDisabled,
        ItemHotTracked, ItemPressed, DropTargetGroup, DropTargetLink,
    };
    static constexpr int kCount = 16;
    // The name of the style at an index ("Background" .. "DropTargetLink"); empty out of range.
    static QString StyleName(int index);
    // The index of a name (exact match); -1 when unknown.
    static int IndexOf(const QString &name);

    explicit TqvNavBarDefaultStyles(QObject *bar = nullptr);
    virtual ~TqvNavBarDefaultStyles();
    TqvNavBarDefaultStyles(const TqvNavBarDefaultStyles &) = delete;
    TqvNavBarDefaultStyles &operator=(const TqvNavBarDefaultStyles &) = delete;

    QObject *Bar() const { return bar_; }
    // nullptr out of range.
    TqvNavBarDefaultStyle *Style(int index) const;
    TqvNavBarDefaultStyle *Style(const QString &name) const { return Style(IndexOf(name)); }
    // Assigns into the style at the index (nothing out of range).
    void SetStyle(int index, const TqvBaseNavBarStyle &value);
    // A style is written to a layout file only when the user changed it.
    bool IsStored(int index) const;

    void SetAssignDefaultHandler(AssignDefaultHandler handler) { assignDefault_ = std::move(handler); }
    // Gives every style (or, with onlyUntouched, every style still holding the view's values)
    // the view's values; raises no OnChange meanwhile and leaves every style flagged default.
    void ApplyDefaults(bool onlyUntouched);
    // Each style from the one at the same index.
    void Assign(const TqvNavBarDefaultStyles &source);

    int UpdateCount() const { return updateCount_; }

    TqvNavBarChangeEvent OnChange;

protected:
    virtual void CreateStyles();
    virtual void DestroyStyles();

private:
    void StyleChanged(TqvNavBarChangeType kind);

    QObject *bar_;
    std::array<std::unique_ptr<TqvNavBarDefaultStyle>, kCount> styles_;
    AssignDefaultHandler assignDefault_;
    int updateCount_ = 0;
};

class TqvNavBarStyleItem : public TqvNavBarComponentCollectionItem {
    Q_OBJECT
public:
    explicit TqvNavBarStyleItem(QObject *owner = nullptr);
    ~TqvNavBarStyleItem() override;

    const TqvNavBarStyle &Style() const { return style_; }
    TqvNavBarStyle &Style() { return style_; } // its changes are reported with their kinds
    // Assigns into the owned style, then reports kind 1.
    void SetStyle(const TqvBaseNavBarStyle &value);
    void Assign(const TqvNavBarStyleItem &source) { SetStyle(source.Style()); }

private:
    TqvNavBarStyle style_;
};

// The bar's styles collection. Any change of a style item is reported as kind 0: the view
// information holds the values it took from the styles.
class TqvNavBarStyles : public TqvNavBarComponentCollection {
public:
    using TqvNavBarComponentCollection::TqvNavBarComponentCollection;

    TqvNavBarStyleItem *Add();
    TqvNavBarStyleItem *Items(int index) const { return static_cast<TqvNavBarStyleItem *>(Item(index)); }
    // Clears this collection and adds a copy of each of source's style items.
    void Assign(const TqvNavBarStyles &source);

protected:
    void Changed(TqvNavBarChangeType kind) override;
};

} // namespace controls
