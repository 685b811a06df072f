// Word lists: Languages.ini (QUORVEL_FUZZ_LIST_LANGUAGES) or a country file, read with
// their bounds. A list read is within its bound and holds the file's lines.
#include "day/readers.h"
#include "fuzz_support.h"
#include "ui/text.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
#ifdef QUORVEL_FUZZ_LIST_LANGUAGES
    const std::string path = std::string(fuzz::kProgramFolder) + "\\Languages.ini";
    const int bound = day::kMaxLanguages;
#else
    const std::string path = std::string(fuzz::kProgramFolder) + "\\C_English.dat";
    const int bound = day::kMaxCountries;
#endif
    fuzz::FuzzPlatform platform(path, data, size);
    std::vector<std::string> list;
    if (!fuzz::readsOrFailsNaming(path, [&] { list = day::readWordList(platform, path, bound); })) return 0;
    fuzz::require(static_cast<int>(list.size()) <= bound, "the list is longer than its bound");
    for (const auto& entry : list) {
        fuzz::require(ui::isValidUtf8(entry), "an entry is not UTF-8");
        fuzz::require(entry.find_first_of("\r\n") == std::string::npos, "an entry holds a line end");
    }
    return 0;
}
