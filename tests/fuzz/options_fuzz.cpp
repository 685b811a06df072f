// Options.ini in the group length of the release QUORVEL_FUZZ_RELEASE. A file read fills
// the first lines of the record from the last group, each naming its line; then every
// setting that must be a number is converted as the start dialog and GO!!! do, which
// gives the number or an error naming the file and the line.
#include "day/readers.h"
#include "day/release.h"
#include "fuzz_support.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = std::string(fuzz::kProgramFolder) + "\\Options.ini";
    const int group = day::optionsGroupLength(day::Release::QUORVEL_FUZZ_RELEASE);
    fuzz::FuzzPlatform platform(path, data, size);
    day::Settings settings;
    std::vector<std::string> lines;
    if (!fuzz::readsOrFailsNaming(path, [&] {
            day::readOptions(platform, path, group, settings);
            lines = day::readTextLines(platform, path);
        }))
        return 0;
    fuzz::require(lines.size() % static_cast<std::size_t>(group) == 0, "a part group was accepted");
    const std::size_t last = lines.empty() ? 0 : lines.size() - static_cast<std::size_t>(group);
    for (int line = 1; line <= day::Settings::kLineCount; ++line) {
        const day::Setting& field = settings.line(line);
        if (lines.empty() || line > group) {
            fuzz::require(field.text.empty() && field.origin.empty(), "a field beyond the group was written");
            continue;
        }
        const std::size_t index = last + static_cast<std::size_t>(line) - 1;
        fuzz::require(field.text == lines[index], "a field does not hold its line of the last group");
        fuzz::require(field.origin == path + ", line " + std::to_string(index + 1), "a field names the wrong line");
    }
    if (lines.empty()) return 0;
    // Lines that hold numbers: language, colours, countries, background colour, frame.
    for (int line : {1, 4, 5, 6, 7, 12, 13}) {
        if (line > group) continue;
        const day::Setting& field = settings.line(line);
        fuzz::readsOrFailsNaming(field.origin, [&] { (void)day::settingNumber(field, "setting"); });
        fuzz::readsOrFailsNaming(field.origin, [&] { (void)day::settingInteger(field, "setting", 0, 0xFFFFFF); });
    }
    return 0;
}
