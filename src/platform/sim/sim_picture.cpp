#include "platform/sim/sim_picture.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

#include <gif_lib.h>
#include <jpeglib.h>

#include "ui/error.h"

namespace quorvel::sim {
namespace {

struct MemoryReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t offset;
};

int readGifBytes(GifFileType* gif, GifByteType* buffer, int length) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const std::size_t available = reader->size - reader->offset;
    const std::size_t count = std::min(available, static_cast<std::size_t>(length));
    std::memcpy(buffer, reader->data + reader->offset, count);
    reader->offset += count;
    return static_cast<int>(count);
}

// The decoder's reason for an error code. It has none for some failures (an image of no
// width or height fails with code 0).
std::string gifReason(int code) {
    const char* text = GifErrorString(code);
    return text ? text : "damaged GIF data (decoder code " + std::to_string(code) + ")";
}

[[noreturn]] void failGif(const std::string& source, const std::string& reason) {
    throw Error("Cannot read the picture " + source + ": " + reason);
}

// The graphics control block of an extension record (the transparent colour of the image
// that follows it); other extensions are skipped.
void readExtension(GifFileType* gif, const std::string& source, GraphicsControlBlock& control) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) != GIF_OK) failGif(source, gifReason(gif->Error));
    if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] == 4)
        DGifExtensionToGCB(block[0], block + 1, &control);
    while (block != nullptr)
        if (DGifGetExtensionNext(gif, &block) != GIF_OK) failGif(source, gifReason(gif->Error));
}

// Reads the records up to the first image and decodes that image line by line into the
// picture, which has the size of the logical screen. Sizes are checked before anything of
// their size is allocated; later images are not read.
ui::PicturePtr decodeGif(const std::string& source, std::string_view bytes) {
    MemoryReader reader{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, readGifBytes, &error);
    if (gif == nullptr) failGif(source, gifReason(error));
    std::unique_ptr<GifFileType, void (*)(GifFileType*)> closer(gif, [](GifFileType* g) {
        int ignored = 0;
        DGifCloseFile(g, &ignored);
    });
    const int width = gif->SWidth;
    const int height = gif->SHeight;
    if (width <= 0 || height <= 0) failGif(source, "it has no pixels");
    if (!ui::isLoadablePictureSize(width, height)) failGif(source, ui::oversizedPictureReason(width, height));

    GraphicsControlBlock control{};
    control.TransparentColor = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &record) != GIF_OK) failGif(source, gifReason(gif->Error));
        if (record == IMAGE_DESC_RECORD_TYPE) break;
        // A file that ends (trailer byte) before its first image.
        if (record == TERMINATE_RECORD_TYPE) failGif(source, "the file holds no image");
        if (record == EXTENSION_RECORD_TYPE) readExtension(gif, source, control);
    }
    if (DGifGetImageDesc(gif) != GIF_OK) failGif(source, gifReason(gif->Error));
    const GifImageDesc& desc = gif->Image;
    if (desc.Width <= 0 || desc.Height <= 0) failGif(source, "its image has no pixels");
    if (!ui::isLoadablePictureSize(desc.Width, desc.Height))
        failGif(source, ui::oversizedPictureReason(desc.Width, desc.Height));
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (map == nullptr) failGif(source, "it has no colour table");

    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    std::vector<GifPixelType> line(static_cast<std::size_t>(desc.Width));
    auto readRow = [&](int y) {
        if (DGifGetLine(gif, line.data(), desc.Width) != GIF_OK) failGif(source, gifReason(gif->Error));
        const int py = desc.Top + y;
        if (py < 0 || py >= height) return;
        for (int x = 0; x < desc.Width; ++x) {
            const int px = desc.Left + x;
            const int index = line[static_cast<std::size_t>(x)];
            if (px < 0 || px >= width || index == control.TransparentColor || index >= map->ColorCount) continue;
            const GifColorType& c = map->Colors[index];
            pixels[static_cast<std::size_t>(py) * static_cast<std::size_t>(width) + static_cast<std::size_t>(px)] =
                0xFF000000u | (std::uint32_t{c.Red} << 16) | (std::uint32_t{c.Green} << 8) | c.Blue;
        }
    };
    if (desc.Interlace) {
        // Four passes: every 8th row from 0, every 8th from 4, every 4th from 2, every 2nd from 1.
        static constexpr int kFirst[] = {0, 4, 2, 1};
        static constexpr int kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kFirst[pass]; y < desc.Height; y += kStep[pass]) readRow(y);
    } else {
        for (int y = 0; y < desc.Height; ++y) readRow(y);
    }
    return std::make_shared<SimPicture>(source, width, height, std::move(pixels));
}

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onJpegError(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}

// A damaged file (cut short, bad data) only draws a warning from the decoder; the
// picture is broken all the same, so it fails like an error instead of being printed.
void onJpegMessage(j_common_ptr info, int level) {
    if (level < 0) onJpegError(info);
}

// Decodes into `pixels`; returns false with the library's message on failure, or with an
// empty message and the size read when the picture is too large. Kept free
// of objects with destructors between setjmp and longjmp.
bool decodeJpegInto(std::string_view bytes, int& width, int& height, std::vector<std::uint32_t>& pixels,
                    char* message) {
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    error.manager.emit_message = onJpegMessage;
    if (setjmp(error.jump)) {
        std::strcpy(message, error.message);
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    width = static_cast<int>(info.image_width);
    height = static_cast<int>(info.image_height);
    // A header that claims a huge size fails before the decoder allocates for it; the
    // caller words the message (`message` stays empty).
    if (!ui::isLoadablePictureSize(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    width = static_cast<int>(info.output_width);
    height = static_cast<int>(info.output_height);
    pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    // The row buffer comes from the decoder's own pool, freed with it even on failure.
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * 3, 1);
    while (info.output_scanline < info.output_height) {
        const auto y = static_cast<std::size_t>(info.output_scanline);
        jpeg_read_scanlines(&info, row, 1);
        const unsigned char* rgb = row[0];
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x)
            pixels[y * static_cast<std::size_t>(width) + x] = 0xFF000000u | (std::uint32_t{rgb[x * 3]} << 16) |
                                                              (std::uint32_t{rgb[x * 3 + 1]} << 8) | rgb[x * 3 + 2];
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

ui::PicturePtr decodeJpeg(const std::string& source, std::string_view bytes) {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    char message[JMSG_LENGTH_MAX] = {};
    if (!decodeJpegInto(bytes, width, height, pixels, message))
        throw Error("Cannot read the picture " + source + ": " +
                    (message[0] != 0 ? std::string(message) : ui::oversizedPictureReason(width, height)));
    return std::make_shared<SimPicture>(source, width, height, std::move(pixels));
}

}  // namespace

ui::PicturePtr decodePicture(const std::string& source, std::string_view bytes) {
    if (bytes.substr(0, 4) == "GIF8") return decodeGif(source, bytes);
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xD8 && static_cast<unsigned char>(bytes[2]) == 0xFF)
        return decodeJpeg(source, bytes);
    throw Error("Cannot read the picture " + source + ": it is neither a GIF nor a JPEG picture");
}

}  // namespace quorvel::sim
