#pragma once
// Window images for the headless backend. There is no screen here, so the screen image of
// a window is the backend's own drawing of the form from what it knows: the back colour,
// then every shown drawn control back to front (filled labels, frames and picture boxes,
// shapes, pictures stretched as the controls stretch them). Text and native controls are
// not drawn, having no fonts or native windows to draw them with; the see-through key
// colour stays as it is, there being no desktop behind. The image is encoded for real
// (BMP by hand, PNG with libpng) and written as the Win32 backend writes it: to a
// temporary file beside the target, then renamed over it.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/form.h"
#include "ui/platform.h"

namespace quorvel::sim {

// An image of 0x00RRGGBB pixels, row by row from the top.
struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};

// Draws the form's client area into `image`, reusing its storage.
void renderForm(const ui::Form& form, const ui::Platform& platform, ScreenImage& image);

// The bytes of a BMP (24 bits a pixel, bottom-up rows) or PNG file of the image.
std::string encodeImage(const ScreenImage& image, ui::ImageFormat format);

// Writes `bytes` to `hostPath` whole or not at all; throws quorvel::Error naming
// `programPath` and the reason.
void writeFileAtomically(const std::string& hostPath, const std::string& programPath, const std::string& bytes);

}  // namespace quorvel::sim
