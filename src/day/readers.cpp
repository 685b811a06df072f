#include "day/readers.h"

#include "ui/error.h"
#include "ui/text.h"

namespace quorvel::day {

std::string readText(ui::Platform& platform, const std::string& path) {
    std::string bytes = platform.readFile(path);
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.erase(0, 3);
    return ui::isValidUtf8(bytes) ? bytes : platform.ansiToUtf8(bytes);
}

std::vector<std::string> readTextLines(ui::Platform& platform, const std::string& path) {
    return ui::splitLines(readText(platform, path));
}

std::vector<std::string> readWordList(ui::Platform& platform, const std::string& path, int maxEntries) {
    auto lines = readTextLines(platform, path);
    if (static_cast<int>(lines.size()) > maxEntries)
        throw Error(path + ", line " + std::to_string(maxEntries + 1) + ": the list holds at most " +
                    std::to_string(maxEntries) + " entries, this file has " + std::to_string(lines.size()));
    return lines;
}

void readOptions(ui::Platform& platform, const std::string& path, int groupLength, Settings& settings) {
    const auto lines = readTextLines(platform, path);
    const auto count = static_cast<int>(lines.size());
    if (count % groupLength != 0)
        throw Error(path + ": reading line " + std::to_string(count + 1) + " ran past the end of the file (the file has " +
                    std::to_string(count) + " lines; it must hold whole groups of " + std::to_string(groupLength) +
                    " lines)");
    for (int start = 0; start < count; start += groupLength) {
        for (int i = 0; i < groupLength; ++i) {
            Setting& field = settings.line(i + 1);
            field.text = lines[static_cast<std::size_t>(start) + static_cast<std::size_t>(i)];
            field.origin = path + ", line " + std::to_string(start + i + 1);
        }
    }
}

namespace {

// A path that names no drive and does not begin at a root is relative to the current folder.
bool isRelative(std::string_view path) {
    return !(path.starts_with('\\') || path.starts_with('/') || (path.size() >= 2 && path[1] == ':'));
}

// The player-name file as named when it is there; else a relative one from the program
// folder when it is there, for a program started from another current folder; else as
// named, for the message naming the path tried.
std::string playerNamePath(ui::Platform& platform, const std::string& named) {
    if (!isRelative(named) || platform.fileExists(named)) return named;
    std::string beside = platform.programFolder() + "\\" + named;
    return platform.fileExists(beside) ? beside : named;
}

}  // namespace

void readPlayerName(ui::Platform& platform, const Setting& file, Setting& name) {
    if (file.text.empty()) throw Error(file.origin + ": no player-name file is named");
    const std::string path = playerNamePath(platform, file.text);
    std::vector<std::string> lines;
    try {
        lines = readTextLines(platform, path);
    } catch (const Error& error) {
        throw Error(std::string(error.what()) + " (the player-name file named in " + file.origin + ")");
    }
    if (lines.empty()) return;
    name.text = lines.back();
    name.origin = path + ", line " + std::to_string(lines.size());
}

}  // namespace quorvel::day
