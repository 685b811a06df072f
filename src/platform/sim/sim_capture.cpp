#include "platform/sim/sim_capture.h"

#include <png.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/sim/sim_picture.h"
#include "ui/error.h"

namespace quorvel::sim {
namespace {

struct PixelRect {
    int left, top, right, bottom;
};

PixelRect toPixels(const ui::Rect& r) {
    return {ui::twipsToPixels(r.left), ui::twipsToPixels(r.top), ui::twipsToPixels(r.right()),
            ui::twipsToPixels(r.bottom())};
}

void fill(ui::WindowImage& image, const PixelRect& r, ui::Color colour) {
    const std::uint32_t pixel = ui::rgbValue(colour);
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, image.height); ++y)
        for (int x = std::max(r.left, 0); x < std::min(r.right, image.width); ++x)
            image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)] = pixel;
}

// Draws `shown` pixels of the picture (from its top-left corner) into `r`, sampling the
// nearest source pixel; transparent pixels leave what is below.
void drawPicture(ui::WindowImage& image, const ui::PicturePtr& picture, const PixelRect& r, int shownWidth,
                 int shownHeight) {
    const auto* decoded = dynamic_cast<const SimPicture*>(picture.get());
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (!decoded || width <= 0 || height <= 0 || shownWidth <= 0 || shownHeight <= 0) return;
    const auto& source = decoded->pixels();
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, image.height); ++y) {
        const int sy = (y - r.top) * shownHeight / height;
        for (int x = std::max(r.left, 0); x < std::min(r.right, image.width); ++x) {
            const int sx = (x - r.left) * shownWidth / width;
            const std::uint32_t argb =
                source[static_cast<std::size_t>(sy) * static_cast<std::size_t>(decoded->width()) + static_cast<std::size_t>(sx)];
            if ((argb >> 24) == 0) continue;
            image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)] =
                argb & 0x00FFFFFFu;
        }
    }
}

void drawControl(ui::WindowImage& image, const ui::Platform& platform, const ui::Control& control) {
    const PixelRect r = toPixels(control.formRect());
    switch (control.kind()) {
        case ui::ControlKind::Label: {
            const auto& label = static_cast<const ui::Label&>(control);
            if (!label.transparent()) fill(image, r, platform.resolveColor(label.backColor()));
            return;
        }
        case ui::ControlKind::Frame:
            fill(image, r, platform.resolveColor(static_cast<const ui::Frame&>(control).backColor()));
            return;
        case ui::ControlKind::Shape:
            fill(image, r, platform.resolveColor(static_cast<const ui::Shape&>(control).fillColor()));
            return;
        case ui::ControlKind::Image:
            if (const auto& picture = static_cast<const ui::Image&>(control).picture())
                drawPicture(image, picture, r, picture->width(), picture->height());
            return;
        case ui::ControlKind::PictureBox: {
            const auto& box = static_cast<const ui::PictureBox&>(control);
            fill(image, r, platform.resolveColor(box.backColor()));
            if (const auto& picture = box.picture()) {
                // At its own size, cut off at the box's edges.
                const int width = std::min(picture->width(), r.right - r.left);
                const int height = std::min(picture->height(), r.bottom - r.top);
                drawPicture(image, picture, {r.left, r.top, r.left + width, r.top + height}, width, height);
            }
            return;
        }
        default: return;
    }
}

std::string bmpFile(const ui::WindowImage& image) {
    const auto rowBytes = static_cast<std::uint32_t>((image.width * 3 + 3) / 4 * 4);
    const std::uint32_t dataBytes = rowBytes * static_cast<std::uint32_t>(image.height);
    std::string out;
    out.reserve(54 + dataBytes);
    const auto put16 = [&](std::uint32_t v) {
        out.push_back(static_cast<char>(v & 0xFF));
        out.push_back(static_cast<char>((v >> 8) & 0xFF));
    };
    const auto put32 = [&](std::uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    out += "BM";
    put32(54 + dataBytes);
    put32(0);
    put32(54);  // pixels after the two headers
    put32(40);  // BITMAPINFOHEADER
    put32(static_cast<std::uint32_t>(image.width));
    put32(static_cast<std::uint32_t>(image.height));  // positive: bottom-up rows
    put16(1);
    put16(24);
    put32(0);  // no compression
    put32(dataBytes);
    put32(3780);  // 96 DPI in pixels per metre
    put32(3780);
    put32(0);
    put32(0);
    const std::size_t header = out.size();
    out.resize(header + dataBytes, '\0');
    for (int y = 0; y < image.height; ++y) {
        const std::uint32_t* from = image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width);
        // Rows are stored from the bottom up, each pixel as blue, green, red.
        char* to = out.data() + header + static_cast<std::size_t>(image.height - 1 - y) * rowBytes;
        for (int x = 0; x < image.width; ++x, to += 3) {
            const std::uint32_t p = from[x];
            to[0] = static_cast<char>(p & 0xFF);
            to[1] = static_cast<char>((p >> 8) & 0xFF);
            to[2] = static_cast<char>((p >> 16) & 0xFF);
        }
    }
    return out;
}

std::string pngFile(const ui::WindowImage& image) {
    // 0xAARRGGBB pixels lie in memory as blue, green, red, alpha.
    static_assert(std::endian::native == std::endian::little);
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, image.pixels.data(), 0, nullptr))
        throw Error(std::string("Cannot encode the window image as PNG: ") + png.message);
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&png, out.data(), &size, 0, image.pixels.data(), 0, nullptr))
        throw Error(std::string("Cannot encode the window image as PNG: ") + png.message);
    out.resize(size);
    return out;
}

}  // namespace

void renderForm(const ui::Form& form, const ui::Platform& platform, ui::WindowImage& image) {
    image.width = ui::twipsToPixels(form.clientWidth());
    image.height = ui::twipsToPixels(form.clientHeight());
    image.pixels.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height),
                        ui::rgbValue(platform.resolveColor(form.backColor())));
    if (const auto& picture = form.picture())
        drawPicture(image, picture, {0, 0, picture->width(), picture->height()}, picture->width(), picture->height());
    for (const auto& control : form.controls())
        if (control->windowless() && control->shown()) drawControl(image, platform, *control);
}

std::string encodeImage(const ui::WindowImage& image, ui::ImageFormat format) {
    return format == ui::ImageFormat::Png ? pngFile(image) : bmpFile(image);
}

void writeFileAtomically(const std::string& hostPath, const std::string& failed, std::string_view bytes,
                         std::optional<long long> modifiedSeconds) {
    const std::string temporary = hostPath + ".tmp";
    const auto failure = [&](const char* step, int code) {
        std::remove(temporary.c_str());
        return Error(failed + ": " + step + " failed (" + std::strerror(code) + ")");
    };
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) throw failure("creating the file", errno);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.flush();
        if (!out) throw failure("writing the file", errno);
    }
    std::error_code stamped;
    if (modifiedSeconds)
        std::filesystem::last_write_time(
            temporary,
            std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(*modifiedSeconds))),
            stamped);
    if (stamped) throw failure("setting the file's time", stamped.value());
    if (std::rename(temporary.c_str(), hostPath.c_str()) != 0) throw failure("replacing the file", errno);
}

}  // namespace quorvel::sim
