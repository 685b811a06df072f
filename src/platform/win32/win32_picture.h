#pragma once
// Pictures decoded with the Windows Imaging Component into a 32-bit DIB section of
// premultiplied BGRA pixels, ready for AlphaBlend.
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/picture.h"
#include "ui/platform.h"

struct IWICImagingFactory;

namespace quorvel::win32 {

class Win32Picture : public ui::Picture {
public:
    // Takes ownership of `bitmap`, a top-down 32-bit DIB section of width x height whose
    // pixels are at `bits`.
    Win32Picture(std::string source, int width, int height, HBITMAP bitmap, const void* bits)
        : ui::Picture(std::move(source), width, height), bitmap_(bitmap), bits_(bits) {}
    ~Win32Picture() override;
    Win32Picture(const Win32Picture&) = delete;
    Win32Picture& operator=(const Win32Picture&) = delete;

    HBITMAP bitmap() const { return bitmap_; }
    // The picture resampled smoothly to width x height, for a window at another scale
    // than 96 DPI; with `crispEdges` each pixel is the picture's or transparent
    // (ui::resamplePicture). Made the first time it is asked for and kept with the
    // picture, so a window makes it again only when its scale changes, not at each
    // paint. nullptr when the system has no bitmap to give.
    HBITMAP scaled(int width, int height, bool crispEdges) const;

private:
    HBITMAP bitmap_;
    const void* bits_;
    // A picture is drawn at a few sizes at most: on the table and as a thumbnail.
    struct Variant {
        int width = 0;
        int height = 0;
        bool crisp = false;
        HBITMAP bitmap = nullptr;
    };
    mutable std::array<Variant, 3> variants_{};
    mutable std::size_t nextVariant_ = 0;  // the one replaced next, the oldest
};

// Reads the whole file at `path` into `content`. Returns 0, or the system's error code with
// `step` saying what failed ("open" or "read").
DWORD readWholeFile(const std::string& path, std::string& content, const char*& step);

// Decodes a GIF or JPEG file (first frame). GIF transparency becomes alpha 0. The file is
// read whole into `scratch` and decoded from memory: the decoders read a file from disk a
// few bytes at a time, each read a call into the system. Throws quorvel::Error naming
// `path` and the reason.
ui::PicturePtr loadPicture(IWICImagingFactory& factory, const std::string& path, std::string& scratch);

// A top-down 32-bit DIB section of width x height; `bits` receives its pixels. nullptr
// when the system cannot make one (GetLastError tells why).
HBITMAP createDibSection(int width, int height, void*& bits);

// A picture from 0xAARRGGBB pixels, row by row, premultiplied into a DIB section.
ui::PicturePtr makePicture(const std::string& name, int width, int height, const std::vector<std::uint32_t>& pixels);

// Encodes the image with the Windows Imaging Component as a BMP (24 bits a pixel), a PNG
// (32 bits, with its alpha), a GIF (256 colours) or a JPEG, and writes it to `path` whole
// or not at all: to a temporary file beside it, modified at `modifiedSeconds` since 1970,
// then renamed over it. Throws quorvel::Error naming the path
// and the reason.
void saveImageFile(IWICImagingFactory& factory, const std::string& path, const ui::WindowImage& image,
                   ui::ImageFormat format, long long modifiedSeconds);

// The system's clock in whole seconds since 1970.
long long wallClockSeconds();

// The system's text for an error code, without the trailing line break; a hexadecimal
// code when the system has no text for it.
std::string errorText(DWORD code);

}  // namespace quorvel::win32
