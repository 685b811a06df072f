#pragma once
// Window pictures for the headless backend. There is no screen here: the picture of a
// window is the backend's own drawing of the form from what it knows: the back colour,
// then every shown drawn control back to front (filled labels, frames and picture boxes,
// shapes, pictures stretched as the controls stretch them). Text and native controls are
// not drawn, having no fonts or native windows to draw them with. The picture is encoded
// for real (BMP by hand, PNG with libpng) and written as the Win32 backend writes it: to
// a temporary file beside the target, stamped with the given time, then renamed over it.
#include <optional>
#include <string>
#include <string_view>

#include "ui/form.h"
#include "ui/platform.h"

namespace quorvel::sim {

// Draws the form's client area into `image` (0x00RRGGBB), reusing its storage.
void renderForm(const ui::Form& form, const ui::Platform& platform, ui::WindowImage& image);

// The bytes of a PNG (8-bit RGBA) file of the image for ImageFormat::Png, otherwise of a
// BMP (24 bits a pixel, bottom-up rows): this backend has no GIF or JPEG encoder, and its
// tests look at the pixels, which a BMP keeps exactly.
std::string encodeImage(const ui::WindowImage& image, ui::ImageFormat format);

// Writes `bytes` to `hostPath` whole or not at all (a temporary file beside it, renamed
// over it), modified at `modifiedSeconds` since 1970 when given; throws quorvel::Error of
// `failure` (which names the file) and the reason.
void writeFileAtomically(const std::string& hostPath, const std::string& failure, std::string_view bytes,
                         std::optional<long long> modifiedSeconds);

}  // namespace quorvel::sim
