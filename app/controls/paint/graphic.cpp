#include "controls/paint/graphic.h"

#include "controls/paint/canvas.h"

#include <QBuffer>
#include <QPainter>
#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

namespace controls {

// ---- TqvStyleFont ----------------------------------------------------------------------------

TqvStyleFont::TqvStyleFont()
{
    font_.setFamily(QStringLiteral("MS Sans Serif"));
    font_.setStyleHint(QFont::SansSerif);
    font_.setPointSize(size_);
}

void TqvStyleFont::changed()
{
    if (onChange_)
        onChange_();
}

void TqvStyleFont::setName(const QString &name)
{
    if (name == font_.family())
        return;
    font_.setFamily(name);
    changed();
}

void TqvStyleFont::setSize(int points)
{
    if (points == size_ || points <= 0)
        return;
    size_ = points;
    font_.setPointSize(points);
    changed();
}

int TqvStyleFont::height() const { return -((size_ * kPixelsPerInch + 36) / 72); }

void TqvStyleFont::setHeight(int pixels)
{
    // Negative: character height; positive: cell height, taken as the same here.
    const int h = pixels < 0 ? -pixels : pixels;
    if (h == 0)
        return;
    setSize(std::max(1, (h * 72 + kPixelsPerInch / 2) / kPixelsPerInch));
}

void TqvStyleFont::setBold(bool on)
{
    if (on == font_.bold())
        return;
    font_.setBold(on);
    changed();
}

void TqvStyleFont::setItalic(bool on)
{
    if (on == font_.italic())
        return;
    font_.setItalic(on);
    changed();
}

void TqvStyleFont::setUnderline(bool on)
{
    if (on == font_.underline())
        return;
    font_.setUnderline(on);
    changed();
}

void TqvStyleFont::setStrikeOut(bool on)
{
    if (on == font_.strikeOut())
        return;
    font_.setStrikeOut(on);
    changed();
}

void TqvStyleFont::setColor(TColor c)
{
    if (c == color_)
        return;
    color_ = c;
    changed();
}

void TqvStyleFont::setCharset(int charset)
{
    if (charset == charset_)
        return;
    charset_ = charset;
    changed();
}

void TqvStyleFont::setPitch(TFontPitch pitch)
{
    if (pitch == pitch_)
        return;
    pitch_ = pitch;
    font_.setFixedPitch(pitch == TFontPitch::fpFixed);
    changed();
}

void TqvStyleFont::assign(const TqvStyleFont &other)
{
    font_ = other.font_;
    size_ = other.size_;
    color_ = other.color_;
    charset_ = other.charset_;
    pitch_ = other.pitch_;
    changed();
}

bool TqvStyleFont::operator==(const TqvStyleFont &o) const
{
    return font_ == o.font_ && size_ == o.size_ && color_ == o.color_ && charset_ == o.charset_ && pitch_ == o.pitch_;
}

// ---- TqvPicture ------------------------------------------------------------------------------

namespace {

const char *const kPictureClasses[] = {"TBitmap", "TJPEGImage", "TIcon", "TMetafile"};

QImage decodeWithQt(const QByteArray &bytes, const char *format)
{
    QImage img;
    if (!img.loadFromData(bytes, format))
        return QImage();
    if (img.width() > TqvPicture::kMaxPictureSide || img.height() > TqvPicture::kMaxPictureSide)
        return QImage();
    return img;
}

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

extern "C" void jpegErrorExit(j_common_ptr cinfo)
{
    // Damaged input: leave the decoder through the jump set before it started.
    std::longjmp(reinterpret_cast<JpegError *>(cinfo->err)->jump, 1);
}

extern "C" void jpegSilent(j_common_ptr, int) {}

} // namespace

QImage decodeJpeg(const QByteArray &bytes, int maxSide)
{
    if (bytes.isEmpty())
        return QImage();
    jpeg_decompress_struct cinfo{};
    JpegError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegErrorExit;
    err.mgr.emit_message = jpegSilent;
    // Everything the jump may skip past lives outside this frame's automatic variables that
    // change after setjmp, so nothing is read in an indeterminate state.
    QImage *volatile out = new QImage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        delete out;
        return QImage();
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char *>(bytes.constData()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.image_width == 0 || cinfo.image_height == 0 || int(cinfo.image_width) > maxSide ||
        int(cinfo.image_height) > maxSide) {
        jpeg_destroy_decompress(&cinfo);
        delete out;
        return QImage();
    }
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    *out = QImage(int(cinfo.output_width), int(cinfo.output_height), QImage::Format_RGB888);
    if (out->isNull() || cinfo.output_components != 3) {
        jpeg_destroy_decompress(&cinfo);
        delete out;
        return QImage();
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out->scanLine(int(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    QImage result = out->convertToFormat(QImage::Format_RGB32);
    delete out;
    return result;
}

bool TqvPicture::isKnownClass(const QString &className)
{
    for (const char *c : kPictureClasses)
        if (className == QLatin1String(c))
            return true;
    return false;
}

bool TqvPicture::isEmpty() const
{
    if (className_.isEmpty())
        return true;
    if (isMetafile())
        return data_.isEmpty();
    return !isDrawable();
}

void TqvPicture::changed()
{
    if (onChange_)
        onChange_();
}

bool TqvPicture::loadFromData(const QString &className, const QByteArray &bytes)
{
    if (!isKnownClass(className))
        return false;
    className_ = className;
    data_ = bytes;
    if (className == QLatin1String("TBitmap"))
        image_ = decodeWithQt(bytes, "BMP");
    else if (className == QLatin1String("TJPEGImage"))
        image_ = decodeJpeg(bytes);
    else if (className == QLatin1String("TIcon"))
        image_ = decodeWithQt(bytes, "ICO");
    else
        image_ = QImage(); // a metafile is kept, never drawn
    changed();
    return true;
}

void TqvPicture::setImage(const QImage &image)
{
    if (image.isNull()) {
        clear();
        return;
    }
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    image.save(&buf, "BMP");
    className_ = QStringLiteral("TBitmap");
    data_ = bytes;
    image_ = image;
    changed();
}

void TqvPicture::clear()
{
    className_.clear();
    data_.clear();
    image_ = QImage();
    changed();
}

void TqvPicture::assign(const TqvPicture &other)
{
    className_ = other.className_;
    data_ = other.data_;
    image_ = other.image_;
    changed();
}

// ---- TqvImageList ----------------------------------------------------------------------------

TqvImageList::TqvImageList(int width, int height, QObject *parent)
    : QObject(parent), width_(std::max(width, 1)), height_(std::max(height, 1))
{
}

void TqvImageList::setSize(int width, int height)
{
    width = std::max(width, 1);
    height = std::max(height, 1);
    if (width == width_ && height == height_)
        return;
    width_ = width;
    height_ = height;
    images_.clear();
    emit changed();
}

int TqvImageList::add(const QImage &image)
{
    images_.push_back(image.convertToFormat(QImage::Format_ARGB32_Premultiplied));
    emit changed();
    return count() - 1;
}

void TqvImageList::replace(int index, const QImage &image)
{
    if (index < 0 || index >= count())
        return;
    images_[index] = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    emit changed();
}

void TqvImageList::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    images_.remove(index);
    emit changed();
}

void TqvImageList::clear()
{
    if (images_.isEmpty())
        return;
    images_.clear();
    emit changed();
}

QImage TqvImageList::image(int index) const
{
    if (index < 0 || index >= count())
        return QImage();
    return images_[index];
}

void TqvImageList::setDrawingStyle(DrawingStyle s)
{
    if (s == drawingStyle_)
        return;
    drawingStyle_ = s;
    emit changed();
}

void TqvImageList::setImageType(ImageType t)
{
    if (t == imageType_)
        return;
    imageType_ = t;
    emit changed();
}

void TqvImageList::setBkColor(TColor c)
{
    if (c == bkColor_)
        return;
    bkColor_ = c;
    emit changed();
}

void TqvImageList::setBlendColor(TColor c)
{
    if (c == blendColor_)
        return;
    blendColor_ = c;
    emit changed();
}

namespace {

// The image's opaque shape filled with one colour.
QImage shapeIn(const QImage &src, const QColor &color)
{
    QImage out(src.size(), QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.drawImage(0, 0, src);
    p.setCompositionMode(QPainter::CompositionMode_SourceIn);
    p.fillRect(out.rect(), color);
    return out;
}

} // namespace

void TqvImageList::draw(TqvCanvas &canvas, int x, int y, int index, bool enabled) const
{
    if (index < 0 || index >= count())
        return;
    const QImage src = images_[index].copy(0, 0, width_, height_);
    QPainter &p = canvas.painter();
    const TRect cell = TRect::fromSize(x, y, width_, height_);
    if (drawingStyle_ != DrawingStyle::dsTransparent && !isNoColor(bkColor_))
        canvas.fillRect(cell, bkColor_);
    if (imageType_ == ImageType::itMask) {
        p.drawImage(x, y, shapeIn(src, Qt::black));
        return;
    }
    if (!enabled) {
        // The embossed look of a disabled image: the shape in the highlight colour one pixel down
        // and right, then in the shadow colour on top.
        p.drawImage(x + 1, y + 1, shapeIn(src, canvas.qcolor(clBtnHighlight)));
        p.drawImage(x, y, shapeIn(src, canvas.qcolor(clBtnShadow)));
        return;
    }
    p.drawImage(x, y, src);
    if (drawingStyle_ == DrawingStyle::dsFocus || drawingStyle_ == DrawingStyle::dsSelected) {
        const TColor blend = blendColor_ == clDefault ? clHighlight : blendColor_;
        if (!isNoColor(blend)) {
            const int alpha = drawingStyle_ == DrawingStyle::dsSelected ? 128 : 64;
            p.drawImage(x, y, shapeIn(src, canvas.qcolor(blend, alpha)));
        }
    }
}

} // namespace controls
