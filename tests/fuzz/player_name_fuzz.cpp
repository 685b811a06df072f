// A player-name file: its last line becomes the name; an empty file keeps the name.
#include "day/readers.h"
#include "fuzz_support.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = "Player1.txt";
    fuzz::FuzzPlatform platform(path, data, size);
    const day::Setting file{path, std::string(fuzz::kProgramFolder) + "\\Options.ini, line 10"};
    const day::Setting before{"Options One", std::string(fuzz::kProgramFolder) + "\\Options.ini, line 2"};
    day::Setting name = before;
    std::vector<std::string> lines;
    if (!fuzz::readsOrFailsNaming(path, [&] {
            day::readPlayerName(platform, file, name);
            lines = day::readTextLines(platform, path);
        }))
        return 0;
    if (lines.empty()) {
        fuzz::require(name.text == before.text && name.origin == before.origin, "an empty file changed the name");
    } else {
        fuzz::require(name.text == lines.back(), "the name is not the last line");
        fuzz::require(name.origin == path + ", line " + std::to_string(lines.size()), "the name names the wrong line");
    }
    return 0;
}
