// Draws the splash picture of the program folder (Face.jpg) at build time: a dark blue face with a
// handset and its signal waves, left free below for the title the splash writes over it.
//
//   face_picture <out.jpg>

#include <cmath>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kWidth = 420;
constexpr int kHeight = 260;

struct Rgb {
    unsigned char r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t)
{
    auto m = [t](unsigned char x, unsigned char y) { return static_cast<unsigned char>(x + (y - x) * t); };
    return {m(a.r, b.r), m(a.g, b.g), m(a.b, b.b)};
}

bool inRoundRect(int x, int y, int left, int top, int w, int h, int radius)
{
    if (x < left || y < top || x >= left + w || y >= top + h)
        return false;
    const int cx = x < left + radius ? left + radius : (x >= left + w - radius ? left + w - radius - 1 : x);
    const int cy = y < top + radius ? top + radius : (y >= top + h - radius ? top + h - radius - 1 : y);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: face_picture <out.jpg>\n");
        return 2;
    }
    std::vector<Rgb> px(size_t(kWidth) * kHeight);
    const Rgb top{16, 42, 84}, bottom{6, 18, 40}, body{220, 226, 235}, screen{70, 160, 150}, wave{120, 200, 190};
    const int hx = 70, hy = 40, hw = 70, hh = 140;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            Rgb c = mix(top, bottom, double(y) / kHeight);
            // Signal waves to the right of the handset's aerial.
            const double d = std::hypot(x - (hx + hw - 12), y - (hy - 8));
            for (int k = 1; k <= 3; ++k)
                if (std::fabs(d - 22.0 * k) < 2.2 && x > hx + hw - 12 && y < hy + 30)
                    c = wave;
            if (x >= hx + hw - 18 && x < hx + hw - 12 && y >= hy - 20 && y < hy + 2)
                c = body;
            if (inRoundRect(x, y, hx, hy, hw, hh, 10))
                c = body;
            if (inRoundRect(x, y, hx + 8, hy + 14, hw - 16, 52, 3))
                c = screen;
            for (int k = 0; k < 9; ++k) {
                const int bx = hx + 12 + (k % 3) * 17, by = hy + 80 + (k / 3) * 16;
                if (inRoundRect(x, y, bx, by, 12, 10, 3))
                    c = mix(body, bottom, 0.45);
            }
            // A rule under the free space for the title.
            if (y == 200 && x >= 170 && x < 390)
                c = wave;
            px[size_t(y) * kWidth + x] = c;
        }

    std::FILE *out = std::fopen(argv[1], "wb");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 88, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(&px[size_t(info.next_scanline) * kWidth]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return std::fclose(out) == 0 ? 0 : 1;
}
