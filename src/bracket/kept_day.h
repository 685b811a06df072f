#pragma once
// The last day fetched from the bracket site, kept beside the program ("Bracket day.json")
// so that a program started without network opens on it. The caller writes the text whole
// with Platform::replaceFile, so the file holds the day before or the day after, never half.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bracket/start_gg.h"
#include "ui/platform.h"

namespace quorvel::bracket {

constexpr const char* kKeptDayFile = "Bracket day.json";

struct KeptDay {
    std::string event;                  // the BracketFile's event and stream the day was fetched for
    std::optional<std::string> stream;
    long long fetched = 0;              // seconds since 1970
    std::vector<BracketSet> sets;
};

// The file's text: JSON, UTF-8.
std::string keptDayText(const KeptDay& day);
// Reads the text back. Throws quorvel::Error naming `path` when it is not such a text.
KeptDay parseKeptDay(std::string_view text, const std::string& path);
// The day kept at `path`, none without the file. Throws as parseKeptDay does.
std::optional<KeptDay> readKeptDay(ui::Platform& platform, const std::string& path);
// Whether `day` was fetched for this Bracket.ini's event and stream.
bool keptFor(const KeptDay& day, const BracketFile& file);

}  // namespace quorvel::bracket
