// Picture loading on the headless backend: a GIF or JPEG file gives a picture with one
// pixel per point of its size, or an error naming the file.
#include "fuzz_support.h"
#include "platform/sim/sim_picture.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = std::string(fuzz::kProgramFolder) + "\\pic\\gen\\Origin\\12.gif";
    fuzz::FuzzPlatform platform(path, data, size);
    ui::PicturePtr picture;
    if (!fuzz::readsOrFailsNaming(path, [&] { picture = platform.loadPicture(path); })) return 0;
    fuzz::require(picture != nullptr, "no picture and no error");
    fuzz::require(picture->source() == path, "the picture names another file");
    fuzz::require(picture->width() > 0 && picture->height() > 0, "a picture without pixels");
    const auto* pixels = dynamic_cast<const sim::SimPicture*>(picture.get());
    fuzz::require(pixels != nullptr, "not a decoded picture");
    fuzz::require(pixels->pixels().size() ==
                      static_cast<std::size_t>(picture->width()) * static_cast<std::size_t>(picture->height()),
                  "the pixels do not match the size");
    return 0;
}
