#pragma once
// Pictures decoded with the Windows Imaging Component into a 32-bit DIB section of
// premultiplied BGRA pixels, ready for AlphaBlend.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/picture.h"
#include "ui/platform.h"

struct IWICImagingFactory;

namespace quorvel::win32 {

class Win32Picture : public ui::Picture {
public:
    // Takes ownership of `bitmap`, a top-down 32-bit DIB section of width x height.
    Win32Picture(std::string source, int width, int height, HBITMAP bitmap)
        : ui::Picture(std::move(source), width, height), bitmap_(bitmap) {}
    ~Win32Picture() override { DeleteObject(bitmap_); }

    HBITMAP bitmap() const { return bitmap_; }

private:
    HBITMAP bitmap_;
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

// Encodes the image as a BMP (24 bits a pixel) or a PNG (32 bits, with its alpha) and
// writes it to `path` whole or not at all: to a temporary file beside it, modified at
// `modifiedSeconds` since 1970, then renamed over it. Throws quorvel::Error naming the path
// and the reason.
void saveImageFile(IWICImagingFactory& factory, const std::string& path, const ui::WindowImage& image,
                   ui::ImageFormat format, long long modifiedSeconds);

// The system's clock in whole seconds since 1970.
long long wallClockSeconds();

// The system's text for an error code, without the trailing line break; a hexadecimal
// code when the system has no text for it.
std::string errorText(DWORD code);

}  // namespace quorvel::win32
