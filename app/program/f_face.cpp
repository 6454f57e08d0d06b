#include "program/f_face.h"

#include "platform/safe_file.h"
#include "program/program.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
#include <unistd.h>

namespace program {

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void jpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError *>(info->err)->jump, 1);
}
void jpegQuiet(j_common_ptr) {}

std::vector<unsigned char> readBounded(const std::string &path)
{
    std::vector<unsigned char> bytes;
    // A named pipe in the picture's place would hold the start for ever.
    const int fd = platform::openRegularFile(path);
    if (fd < 0)
        return bytes;
    std::FILE *f = ::fdopen(fd, "rb");
    if (!f) {
        ::close(fd);
        return bytes;
    }
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        if (bytes.size() + n > size_t(kMaxPictureBytes)) {
            bytes.clear();
            break;
        }
        bytes.insert(bytes.end(), buf, buf + n);
    }
    std::fclose(f);
    return bytes;
}

// Decodes into img; false on any fault. Only plain data lives across the jump.
bool decodeInto(const unsigned char *data, unsigned long size, QImage &img)
{
    jpeg_decompress_struct info;
    JpegError err;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpegFail;
    err.mgr.output_message = jpegQuiet;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK || info.image_width == 0 || info.image_height == 0 ||
        info.image_width > unsigned(kMaxPictureSide) || info.image_height > unsigned(kMaxPictureSide)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    img = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB888);
    if (img.isNull()) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = img.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

QImage decodeJpegFile(const std::string &path)
{
    const std::vector<unsigned char> bytes = readBounded(path);
    if (bytes.empty())
        return {};
    QImage img;
    if (!decodeInto(bytes.data(), static_cast<unsigned long>(bytes.size()), img))
        return {};
    return img;
}

TfFace::TfFace(const std::string &picturePath, QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint), picture_(decodeJpegFile(picturePath))
{
    setObjectName("fFace");
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(hasPicture() ? picture_.size() : QSize(400, 250));
}

void TfFace::showAndPaint()
{
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    show();
    raise();
    repaint();
}

void TfFace::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QFont f = font();
    f.setPointSize(f.pointSize() * 2);
    f.setBold(true);
    p.setFont(f);
    if (hasPicture()) {
        // The picture leaves its lower right free for the title, above a rule.
        p.drawImage(rect(), picture_);
        p.setPen(Qt::white);
        const QRect title(width() * 40 / 100, height() / 2, width() * 53 / 100, height() * 27 / 100);
        p.drawText(title, Qt::AlignRight | Qt::AlignBottom, QString::fromUtf8(kApplicationTitle));
        return;
    }
    p.fillRect(rect(), palette().window());
    p.setPen(palette().windowText().color());
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.drawText(rect(), Qt::AlignCenter, QString::fromUtf8(kApplicationTitle));
}

} // namespace program
