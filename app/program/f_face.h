// TfFace: the splash window shown while the program comes up. Borderless, centred on the screen,
// it shows the program folder's picture (Face.jpg, decoded with libjpeg), or the program's title
// on a plain face when the picture is missing or cannot be read.
//
// User-interface thread only.
#pragma once

#include <QImage>
#include <QWidget>

#include <string>

namespace program {

inline constexpr const char *kFacePicture = "Face.jpg";

// The largest picture side and file the splash takes; anything bigger is refused, not decoded.
inline constexpr int kMaxPictureSide = 4096;
inline constexpr long kMaxPictureBytes = 16L * 1024 * 1024;

// Decodes a JPEG file into an RGB image; a null image when the file is missing, too big, or not a
// JPEG libjpeg can read to the end.
QImage decodeJpegFile(const std::string &path);

class TfFace : public QWidget {
    Q_OBJECT
public:
    // picturePath: the JPEG to show (may name a missing file).
    explicit TfFace(const std::string &picturePath, QWidget *parent = nullptr);

    bool hasPicture() const { return !picture_.isNull(); }
    // Shows the window centred on the screen and paints it at once.
    void showAndPaint();

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    QImage picture_;
};

} // namespace program
