#pragma once
// Real GIF and JPEG decoding for the headless backend, so that a broken picture fails
// here as it does on Windows.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/picture.h"

namespace quorvel::sim {

class SimPicture : public ui::Picture {
public:
    SimPicture(std::string source, int width, int height, std::vector<std::uint32_t> pixels)
        : ui::Picture(std::move(source), width, height), pixels_(std::move(pixels)) {}
    // 0xAARRGGBB per pixel, row by row; alpha 0 where a GIF is transparent.
    const std::vector<std::uint32_t>& pixels() const { return pixels_; }

private:
    std::vector<std::uint32_t> pixels_;
};

// Decodes the bytes of a GIF or JPEG file (told apart by their signature). Throws
// quorvel::Error naming `source` when the bytes are not a picture it can read.
ui::PicturePtr decodePicture(const std::string& source, std::string_view bytes);

}  // namespace quorvel::sim
