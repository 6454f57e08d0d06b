// Fonts, pictures and image lists of the navigation bar family.
//
// TqvStyleFont   a style's font: a QFont plus the colour, character set and pitch that layout
//                files store. A font named "MS Sans Serif" keeps that name; the font system puts
//                the installed sans font in its place.
// TqvPicture     a style's picture as it is stored: the graphic's class name ("TBitmap",
//                "TJPEGImage", "TIcon" or "TMetafile"), its encoded bytes, and the decoded image.
//                A metafile is kept (its bytes round-trip) but never drawn.
// TqvImageList   a list of equally sized images drawn enabled or disabled; holders keep a QPointer
//                and listen to changed().
// Bytes from a layout file are untrusted: decoding fails into an empty picture, never a crash, and
// images above kMaxPictureSide pixels a side are refused.
#pragma once

#include "controls/paint/color.h"
#include "controls/paint/types.h"

#include <QByteArray>
#include <QFont>
#include <QImage>
#include <QObject>
#include <QString>
#include <QVector>
#include <functional>

namespace controls {

class TqvCanvas;

enum class TFontPitch : uint8_t { fpDefault = 0, fpVariable = 1, fpFixed = 2 };

class TqvStyleFont {
public:
    static constexpr int kDefaultCharset = 1; // DEFAULT_CHARSET
    static constexpr int kPixelsPerInch = 96;

    // "MS Sans Serif", 8 points, regular, black.
    TqvStyleFont();

    const QFont &font() const { return font_; }
    QString name() const { return font_.family(); }
    void setName(const QString &name);
    // Size in points; height in pixels, negative for the character height (size * 96 / 72).
    int size() const { return size_; }
    void setSize(int points);
    int height() const;
    void setHeight(int pixels);
    bool bold() const { return font_.bold(); }
    void setBold(bool on);
    bool italic() const { return font_.italic(); }
    void setItalic(bool on);
    bool underline() const { return font_.underline(); }
    void setUnderline(bool on);
    bool strikeOut() const { return font_.strikeOut(); }
    void setStrikeOut(bool on);
    TColor color() const { return color_; }
    void setColor(TColor c);
    int charset() const { return charset_; }
    void setCharset(int charset);
    TFontPitch pitch() const { return pitch_; }
    void setPitch(TFontPitch pitch);

    // Copies every value from other and reports one change.
    void assign(const TqvStyleFont &other);
    bool operator==(const TqvStyleFont &other) const;

    // Called after every change that alters a value (the owning style marks its font assigned).
    void setChangeHandler(std::function<void()> handler) { onChange_ = std::move(handler); }

private:
    void changed();

    QFont font_;
    int size_ = 8;
    TColor color_ = clBlack;
    int charset_ = kDefaultCharset;
    TFontPitch pitch_ = TFontPitch::fpDefault;
    std::function<void()> onChange_;
};

class TqvPicture {
public:
    static constexpr int kMaxPictureSide = 8192;

    TqvPicture() = default;

    // The graphic's class name; empty when the picture holds no graphic.
    const QString &className() const { return className_; }
    const QByteArray &data() const { return data_; }
    const QImage &image() const { return image_; }
    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    // True without a graphic, or with one that has no pixels (a metafile counts as a graphic
    // when it has bytes).
    bool isEmpty() const;
    bool isMetafile() const { return className_ == QLatin1String("TMetafile"); }
    // The picture as drawn: the decoded image; a metafile has none.
    bool isDrawable() const { return !image_.isNull() && image_.width() > 0 && image_.height() > 0; }

    // Takes a stored graphic. Known classes are decoded (TBitmap: a BMP file; TJPEGImage: JPEG,
    // with libjpeg; TIcon: an ICO file); bytes that do not decode leave the picture empty but are
    // kept with the class name. An unknown class name is refused (false, picture unchanged).
    bool loadFromData(const QString &className, const QByteArray &bytes);
    // Takes an image as a "TBitmap" (stored as BMP bytes).
    void setImage(const QImage &image);
    void clear();
    void assign(const TqvPicture &other);
    bool operator==(const TqvPicture &other) const { return className_ == other.className_ && data_ == other.data_; }

    void setChangeHandler(std::function<void()> handler) { onChange_ = std::move(handler); }

    static bool isKnownClass(const QString &className);

private:
    void changed();

    QString className_;
    QByteArray data_;
    QImage image_;
    std::function<void()> onChange_;
};

// Decodes a JPEG file with libjpeg into an RGB image; a null image for damaged or oversized input.
QImage decodeJpeg(const QByteArray &bytes, int maxSide = TqvPicture::kMaxPictureSide);

class TqvImageList : public QObject {
    Q_OBJECT
public:
    enum class DrawingStyle { dsNormal, dsTransparent, dsFocus, dsSelected };
    enum class ImageType { itImage, itMask };

    explicit TqvImageList(int width = 16, int height = 16, QObject *parent = nullptr);

    int width() const { return width_; }
    int height() const { return height_; }
    // Changes the size; the list is emptied.
    void setSize(int width, int height);
    int count() const { return int(images_.size()); }
    // Appends an image (shown at the list's size from its top-left corner); answers its index.
    int add(const QImage &image);
    void replace(int index, const QImage &image);
    void remove(int index);
    void clear();
    QImage image(int index) const;

    // Drawing values: the background under each image (clNone: transparent), the blend colour of
    // the focus and selected styles (clDefault: the highlight colour).
    DrawingStyle drawingStyle() const { return drawingStyle_; }
    void setDrawingStyle(DrawingStyle s);
    ImageType imageType() const { return imageType_; }
    void setImageType(ImageType t);
    TColor bkColor() const { return bkColor_; }
    void setBkColor(TColor c);
    TColor blendColor() const { return blendColor_; }
    void setBlendColor(TColor c);

    // Draws image index with its top-left corner at (x, y); nothing for an index outside
    // 0 .. count - 1. Disabled images are drawn as an embossed shape in the button highlight and
    // shadow colours.
    void draw(TqvCanvas &canvas, int x, int y, int index, bool enabled = true) const;

signals:
    void changed();

private:
    int width_;
    int height_;
    QVector<QImage> images_;
    DrawingStyle drawingStyle_ = DrawingStyle::dsNormal;
    ImageType imageType_ = ImageType::itImage;
    TColor bkColor_ = clNone;
    TColor blendColor_ = clNone;
};

} // namespace controls
