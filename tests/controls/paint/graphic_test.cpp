// Style fonts, pictures (bitmap, JPEG through libjpeg, icon, metafile, damaged bytes) and image lists.
#include "controls/paint/graphic.h"
#include "paint_util.h"

#include <QBuffer>
#include <QFontInfo>
#include <QPointer>
#include <QSignalSpy>
#include <csetjmp>
#include <gtest/gtest.h>

extern "C" {
#include <jpeglib.h>
}

using namespace controls;

namespace {

// A JPEG file of one colour, written with libjpeg.
QByteArray encodeJpeg(int w, int h, QRgb color)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char *mem = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &mem, &size);
    cinfo.image_width = JDIMENSION(w);
    cinfo.image_height = JDIMENSION(h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(size_t(w) * 3);
    for (int x = 0; x < w; ++x) {
        row[size_t(x) * 3] = uchar(qRed(color));
        row[size_t(x) * 3 + 1] = uchar(qGreen(color));
        row[size_t(x) * 3 + 2] = uchar(qBlue(color));
    }
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray out(reinterpret_cast<const char *>(mem), int(size));
    free(mem);
    return out;
}

} // namespace

TEST(StyleFont, KeepsItsNameAndStoredValues)
{
    TqvStyleFont f;
    EXPECT_EQ(f.name(), "MS Sans Serif");
    EXPECT_EQ(f.size(), 8);
    EXPECT_EQ(f.height(), -11);
    EXPECT_EQ(f.charset(), 1);
    // The font system substitutes an installed sans font.
    EXPECT_FALSE(QFontInfo(f.font()).family().isEmpty());

    int changes = 0;
    f.setChangeHandler([&] { ++changes; });
    f.setSize(8);
    f.setColor(clBlack);
    f.setBold(false);
    EXPECT_EQ(changes, 0);
    f.setHeight(-13);
    EXPECT_EQ(f.size(), 10);
    f.setBold(true);
    f.setColor(clBtnText);
    f.setCharset(134);
    f.setPitch(TFontPitch::fpFixed);
    EXPECT_EQ(changes, 5);
    TqvStyleFont copy;
    copy.assign(f);
    EXPECT_TRUE(copy == f);
}

TEST(Picture, BitmapRoundTrip)
{
    QImage img(5, 3, QImage::Format_RGB32);
    img.fill(qRgb(10, 200, 30));
    TqvPicture p;
    int changes = 0;
    p.setChangeHandler([&] { ++changes; });
    p.setImage(img);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(p.className(), "TBitmap");
    EXPECT_TRUE(p.data().startsWith("BM"));
    TqvPicture back;
    ASSERT_TRUE(back.loadFromData(p.className(), p.data()));
    EXPECT_FALSE(back.isEmpty());
    EXPECT_EQ(back.width(), 5);
    EXPECT_EQ(back.image().pixel(4, 2), qRgb(10, 200, 30));
    EXPECT_TRUE(back == p);
}

TEST(Picture, JpegDecodedWithLibjpeg)
{
    const QByteArray jpeg = encodeJpeg(16, 8, qRgb(220, 20, 30));
    TqvPicture p;
    ASSERT_TRUE(p.loadFromData(QStringLiteral("TJPEGImage"), jpeg));
    ASSERT_FALSE(p.isEmpty());
    EXPECT_EQ(p.width(), 16);
    EXPECT_EQ(p.height(), 8);
    const QColor c(p.image().pixel(8, 4));
    EXPECT_NEAR(c.red(), 220, 8);
    EXPECT_NEAR(c.green(), 20, 8);
    EXPECT_NEAR(c.blue(), 30, 8);
}

struct BadPictureRow {
    const char *name;
    const char *cls;
    QByteArray bytes;
};

TEST(Picture, DamagedOrOversizedBytesGiveAnEmptyPicture)
{
    const QByteArray jpeg = encodeJpeg(16, 8, qRgb(1, 2, 3));
    const BadPictureRow rows[] = {
        {"empty jpeg", "TJPEGImage", QByteArray()},
        {"jpeg header only", "TJPEGImage", jpeg.left(20)},
        {"jpeg cut in the scan", "TJPEGImage", jpeg.left(jpeg.size() - 40)},
        {"garbage jpeg", "TJPEGImage", QByteArray(300, '\x5a')},
        {"jpeg too wide", "TJPEGImage", encodeJpeg(TqvPicture::kMaxPictureSide + 1, 1, qRgb(0, 0, 0))},
        {"garbage bitmap", "TBitmap", QByteArray("BM\x10\x00\x00\x00garbage", 13)},
        {"garbage icon", "TIcon", QByteArray("\x00\x00\x01\x00\xff\xff", 6)},
    };
    for (const BadPictureRow &row : rows) {
        SCOPED_TRACE(row.name);
        TqvPicture p;
        // A cut JPEG may still decode its top rows (libjpeg fills the rest); what matters is that
        // it never crashes and damaged headers give nothing.
        EXPECT_TRUE(p.loadFromData(QString::fromLatin1(row.cls), row.bytes));
        EXPECT_EQ(p.className(), row.cls);
        EXPECT_EQ(p.data(), row.bytes); // kept for saving
        if (QByteArray(row.name) != "jpeg cut in the scan") {
            EXPECT_TRUE(p.isEmpty());
        }
    }
}

TEST(Picture, IconMetafileAndUnknownClasses)
{
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(qRgba(0, 0, 255, 255));
    QByteArray ico;
    QBuffer buf(&ico);
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(img.save(&buf, "ICO"));
    TqvPicture icon;
    ASSERT_TRUE(icon.loadFromData(QStringLiteral("TIcon"), ico));
    EXPECT_FALSE(icon.isEmpty());
    EXPECT_EQ(icon.image().pixel(3, 3), qRgba(0, 0, 255, 255));

    TqvPicture meta;
    ASSERT_TRUE(meta.loadFromData(QStringLiteral("TMetafile"), QByteArray("\xd7\xcd\xc6\x9a rest", 9)));
    EXPECT_FALSE(meta.isEmpty());
    EXPECT_FALSE(meta.isDrawable());
    EXPECT_EQ(meta.data().size(), 9);

    TqvPicture other;
    other.setImage(img);
    EXPECT_FALSE(other.loadFromData(QStringLiteral("TPngImage"), QByteArray("x")));
    EXPECT_EQ(other.className(), "TBitmap"); // unchanged
    other.clear();
    EXPECT_TRUE(other.isEmpty());
    EXPECT_TRUE(other.className().isEmpty());
}

TEST(ImageList, ChangesAreSignalledAndHoldersSeeItGo)
{
    auto *list = new TqvImageList(16, 16);
    QPointer<TqvImageList> holder(list);
    QSignalSpy spy(list, &TqvImageList::changed);
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::red);
    EXPECT_EQ(list->add(img), 0);
    EXPECT_EQ(list->add(img), 1);
    list->setBkColor(clNone); // unchanged
    list->setBkColor(clWindow);
    list->remove(5);          // outside: nothing
    list->remove(0);
    EXPECT_EQ(list->count(), 1);
    EXPECT_EQ(spy.count(), 4);
    list->setSize(32, 32);
    EXPECT_EQ(list->count(), 0);
    delete list;
    EXPECT_TRUE(holder.isNull());
}

TEST(ImageList, BackgroundColourAndMaskDrawing)
{
    using namespace painttest;
    TqvImageList list(8, 8);
    QImage dot(8, 8, QImage::Format_ARGB32);
    dot.fill(Qt::transparent);
    dot.setPixel(3, 3, qRgb(0, 255, 0));
    list.add(dot);
    QImage img = blank(20, 20);
    paint(img, [&](TqvCanvas &c) { list.draw(c, 2, 2, 0); });
    EXPECT_EQ(inkBox(img), TRect(5, 5, 6, 6));
    list.setBkColor(clWindow);
    QImage withBk = blank(20, 20);
    paint(withBk, [&](TqvCanvas &c) { list.draw(c, 2, 2, 0); });
    EXPECT_EQ(inkBox(withBk), TRect(2, 2, 10, 10));
    EXPECT_EQ(at(withBk, 2, 2), clWhite);
    EXPECT_EQ(withBk.pixel(5, 5), qRgb(0, 255, 0));
}
