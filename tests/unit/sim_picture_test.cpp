#include "platform/sim/sim_picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>

#include "ui/error.h"

namespace quorvel::sim {
namespace {

// A GIF of one image with a four-colour global table, written by the GIF library.
struct GifImage {
    int screenWidth = 4;
    int screenHeight = 4;
    int left = 0;
    int top = 0;
    std::vector<std::vector<GifPixelType>> rows;  // top to bottom
    bool interlace = false;
    int transparent = NO_TRANSPARENT_COLOR;
};

constexpr std::uint32_t kColors[] = {0xFF000000u, 0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};

int appendBytes(GifFileType* gif, const GifByteType* bytes, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
    return length;
}

std::string encodeGif(const GifImage& image) {
    std::string bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(&bytes, appendBytes, &error);
    EXPECT_NE(gif, nullptr);
    GifColorType colors[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colors);
    EGifSetGifVersion(gif, true);
    EXPECT_EQ(EGifPutScreenDesc(gif, image.screenWidth, image.screenHeight, 2, 0, map), GIF_OK);
    if (image.transparent != NO_TRANSPARENT_COLOR) {
        GraphicsControlBlock control{};
        control.TransparentColor = image.transparent;
        GifByteType extension[4];
        const auto length = EGifGCBToExtension(&control, extension);
        EXPECT_EQ(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension), GIF_OK);
    }
    const int width = static_cast<int>(image.rows.front().size());
    const int height = static_cast<int>(image.rows.size());
    EXPECT_EQ(EGifPutImageDesc(gif, image.left, image.top, width, height, image.interlace, nullptr), GIF_OK);
    std::vector<int> order;
    if (image.interlace) {
        for (int y = 0; y < height; y += 8) order.push_back(y);
        for (int y = 4; y < height; y += 8) order.push_back(y);
        for (int y = 2; y < height; y += 4) order.push_back(y);
        for (int y = 1; y < height; y += 2) order.push_back(y);
    } else {
        for (int y = 0; y < height; ++y) order.push_back(y);
    }
    for (int y : order) {
        auto row = image.rows[static_cast<std::size_t>(y)];
        EXPECT_EQ(EGifPutLine(gif, row.data(), width), GIF_OK);
    }
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(map);
    return bytes;
}

// The offset of the first image descriptor: after the header, the screen descriptor, the
// global colour table of four colours and, when there is one, the control extension.
std::size_t imageDescriptor(const std::string& gif) {
    const std::size_t at = gif.find(',', 13 + 12);
    EXPECT_NE(at, std::string::npos);
    return at;
}

void putWord(std::string& bytes, std::size_t at, int value) {
    bytes[at] = static_cast<char>(value & 0xFF);
    bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

std::string failureOf(const std::string& source, const std::string& bytes) {
    try {
        decodePicture(source, bytes);
    } catch (const Error& error) {
        return error.what();
    }
    return "";
}

const std::vector<std::uint32_t>& pixelsOf(const ui::PicturePtr& picture) {
    return dynamic_cast<const SimPicture&>(*picture).pixels();
}

TEST(SimPicture, GifImageLandsOnItsScreenRowsInOrderWithItsTransparentColourClear) {
    GifImage image;
    image.screenWidth = 5;
    image.screenHeight = 11;
    image.left = 1;
    image.top = 1;
    image.transparent = 0;
    for (int y = 0; y < 9; ++y) image.rows.push_back({static_cast<GifPixelType>(1 + y % 3), 0, 3});
    for (bool interlace : {false, true}) {
        image.interlace = interlace;
        const auto picture = decodePicture("pic\\flag.gif", encodeGif(image));
        ASSERT_EQ(picture->width(), 5);
        ASSERT_EQ(picture->height(), 11);
        const auto& pixels = pixelsOf(picture);
        for (int y = 0; y < 11; ++y) {
            for (int x = 0; x < 5; ++x) {
                std::uint32_t expected = 0;  // outside the image, or its transparent colour
                if (y >= 1 && y <= 9 && x >= 1 && x <= 3) {
                    const int index = image.rows[static_cast<std::size_t>(y - 1)][static_cast<std::size_t>(x - 1)];
                    if (index != 0) expected = kColors[index];
                }
                EXPECT_EQ(pixels[static_cast<std::size_t>(y * 5 + x)], expected)
                    << "x " << x << ", y " << y << (interlace ? ", interlaced" : "");
            }
        }
    }
}

TEST(SimPicture, GifIsItsFirstImageWhateverFollowsIt) {
    GifImage image;
    image.rows = {{1, 2}, {3, 1}};
    std::string bytes = encodeGif(image);
    ASSERT_EQ(bytes.back(), ';');
    bytes.pop_back();  // no trailer: the file is cut after its first image
    EXPECT_EQ(pixelsOf(decodePicture("a.gif", bytes))[1], kColors[2]);
    bytes += "!\xF9 damaged second frame";
    EXPECT_EQ(pixelsOf(decodePicture("a.gif", bytes))[2], 0u) << "outside the 2 x 2 image";
}

// Found by fuzzing: an image descriptor of no width made the decoder fail without a reason
// of its own, and building the message from that crashed.
TEST(SimPicture, GifThatHoldsNoImageOrAnImageWithoutPixelsFailsNamingTheFile) {
    GifImage image;
    image.rows = {{1, 2}, {3, 1}};
    const std::string good = encodeGif(image);

    std::string noWidth = good;
    putWord(noWidth, imageDescriptor(noWidth) + 5, 0);
    EXPECT_NE(failureOf("pic\\battle.gif", noWidth).find("pic\\battle.gif"), std::string::npos);

    const std::string trailerOnly = good.substr(0, imageDescriptor(good)) + ";";
    EXPECT_EQ(failureOf("pic\\battle.gif", trailerOnly), "Cannot read the picture pic\\battle.gif: the file holds no image");
}

std::string encodeJpeg(int width, int height) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * 3, 200);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return bytes;
}

// Found by fuzzing: a 160-byte JPEG whose header claims 64259 x 64003 pixels took minutes
// and gigabytes before failing. A size beyond the bound now fails before any allocation.
TEST(SimPicture, PicturesWhoseHeaderClaimsMoreThanTheBoundFailAtOnceNamingFileAndSize) {
    std::string jpeg = encodeJpeg(2, 2);
    EXPECT_EQ(decodePicture("pic\\LOGO.JPG", jpeg)->width(), 2);
    const std::size_t frame = jpeg.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    jpeg[frame + 5] = static_cast<char>(0xFA);  // height 64003, big-endian
    jpeg[frame + 6] = 0x03;
    jpeg[frame + 7] = static_cast<char>(0xFB);  // width 64259
    jpeg[frame + 8] = 0x03;
    EXPECT_EQ(failureOf("pic\\LOGO.JPG", jpeg),
              "Cannot read the picture pic\\LOGO.JPG: it is 64259 x 64003 pixels, more than the 16777216 pixels a "
              "picture may have");

    GifImage image;
    image.rows = {{1}};
    const std::string gif = encodeGif(image);
    std::string screen = gif;
    putWord(screen, 6, 4096);
    putWord(screen, 8, 4097);
    EXPECT_NE(failureOf("a.gif", screen).find("a.gif: it is 4096 x 4097 pixels"), std::string::npos);
    putWord(screen, 8, 4096);
    EXPECT_EQ(decodePicture("a.gif", screen)->height(), 4096) << "the bound itself loads";

    std::string frameSize = gif;
    putWord(frameSize, imageDescriptor(frameSize) + 5, 65535);
    putWord(frameSize, imageDescriptor(frameSize) + 7, 65535);
    EXPECT_NE(failureOf("a.gif", frameSize).find("a.gif: it is 65535 x 65535 pixels"), std::string::npos);
}

}  // namespace
}  // namespace quorvel::sim
