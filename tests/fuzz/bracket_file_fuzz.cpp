// Bracket.ini. A file read gives a site, an event slug, a token and an endpoint that may be
// sent the token; a refusal names the file, and never the token.
#include "bracket/bracket_file.h"
#include "day/readers.h"
#include "fuzz_support.h"
#include "ui/text.h"

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = std::string(fuzz::kProgramFolder) + "\\Bracket.ini";
    fuzz::FuzzPlatform platform(path, data, size);
    std::optional<bracket::BracketFile> file;
    try {
        file = bracket::readBracketFile(platform, path);
    } catch (const Error& error) {
        const std::string message = error.what();
        fuzz::require(message.find(path) != std::string::npos, "the message \"" + message + "\" does not name " + path);
        // A refusal of a token= line says why in fixed words: never its value.
        const std::string text = day::readText(platform, path);
        const auto lines = ui::lineViews(text);
        if (error.line() >= 1 && error.line() <= lines.size()) {
            const std::string_view line = lines[error.line() - 1];
            const std::size_t equals = line.find('=');
            if (equals != std::string_view::npos && ui::equalNoCase(ui::trimmed(line.substr(0, equals)), "token")) {
                const std::string prefix = path + ", line " + std::to_string(error.line()) + ": ";
                const std::string why = message.substr(message.starts_with(prefix) ? prefix.size() : 0);
                fuzz::require(why == "token: the token is empty" ||
                                  why == "token: the token holds a character that no start.gg token has" ||
                                  (why.starts_with("the key token is given twice (first on line ") &&
                                   why.find_first_not_of("0123456789)", 44) == std::string::npos),
                              "a refusal of the token says more than why: " + why);
            }
        }
    }
    if (!file) return 0;
    fuzz::require(!file->token.empty() && !file->tournament.empty(), "a file read without a token or a tournament");
    fuzz::require(file->event.starts_with("tournament/" + file->tournament + "/event/") &&
                      file->event.size() > 18 + file->tournament.size(),
                  "the event is not the slug of an event: " + file->event);
    fuzz::require(bracket::endpointRefusal(file->endpoint).empty(), "an endpoint read that may not be sent the token");
    fuzz::require(!file->stream || !file->stream->empty(), "an empty stream name was read");
    return 0;
}
