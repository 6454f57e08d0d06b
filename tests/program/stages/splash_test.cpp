// The splash picture: our own JPEG decoded with libjpeg, and nothing taken from a file that is
// not one (a text face instead).

#include "program/f_face.h"
#include "forms_app.h"
#include "screenshot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

std::string facePicture() { return std::string(SELVARK_DIST_DIR) + "/" + program::kFacePicture; }

std::string bytesOf(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Splash, ShowsTheProgramFoldersPicture)
{
    forms_test::app();
    const QImage img = program::decodeJpegFile(facePicture());
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(420, 260));
    program::TfFace face(facePicture());
    EXPECT_TRUE(face.hasPicture());
    EXPECT_EQ(face.size(), img.size());
    EXPECT_TRUE(face.windowFlags() & Qt::FramelessWindowHint);
    forms_test::screenshot(&face, "fFace");
}

TEST(Splash, AFileThatIsNoReadableJpegGivesTheTextFace)
{
    forms_test::app();
    const std::string whole = bytesOf(facePicture());
    ASSERT_GT(whole.size(), 600u);
    std::string huge = whole;
    // The frame header's height and width (SOF0 after its marker, length and precision).
    const size_t sof = huge.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    huge[sof + 5] = '\x7F'; // height 0x7Fxx: beyond the largest side taken
    const struct {
        const char *name;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"text", "not a picture at all"},
        {"header only", whole.substr(0, 300)},
        {"cut in the middle", whole.substr(0, whole.size() / 2)},
        {"too large", huge},
    };
    const std::string dir = fs::temp_directory_path() / ("sv_splash_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (const auto &c : cases) {
        const std::string path = dir + "/Face.jpg";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
        // A cut file may still decode its top rows (libjpeg fills the rest); what matters is that
        // nothing is read past the file and a file without a frame is refused.
        const QImage img = program::decodeJpegFile(path);
        if (std::string(c.name) != "cut in the middle")
            EXPECT_TRUE(img.isNull()) << c.name;
    }
    program::TfFace face(dir + "/missing.jpg");
    EXPECT_FALSE(face.hasPicture());
    EXPECT_FALSE(forms_test::screenshot(&face, "fFace_text").empty()) << "the text face paints";
    fs::remove_all(dir);
}

} // namespace
