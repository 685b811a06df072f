#include "program/program.h"

#include <functional>
#include <utility>

namespace quorvel::program {

Program::Program(ui::Platform& platform, day::Release release)
    : runtime_(platform, day::productTitle(release)),
      features_(release),
      day_(platform, platform.programFolder() + "\\Results.csv") {}

void Program::tell(const std::string& text, std::string file, std::size_t line) {
    if (!features_.hasNotices()) {
        runtime_.messageBox(text);
        return;
    }
    if (!notices_.firstTelling(text)) return;
    ui::Platform& os = platform();
    day::Notice notice{text, std::move(file), line, day::isoLocalTime(os.wallClockSeconds(), os.localTimeOffsetMinutes())};
    told_.push_back({std::move(notice), remoteActions_ > 0});
    if (told_.size() == 1) runtime_.afterEvent([this] { deliverTold(std::exchange(told_, {})); });
}

void Program::readDayFiles(bool changedOnly) {
    const bool roster = changedSince(path("\\Players.csv"), rosterText_);
    const bool schedule = changedSince(path("\\Matches.csv"), scheduleText_);
    const bool bracketFile = changedSince(path("\\Bracket.ini"), bracketText_);
    if (roster || !changedOnly) readRosterFile();
    if (bracketFile || !changedOnly) readBracketFile();
    if (!bracket_ && (schedule || bracketFile || !changedOnly)) readScheduleFile();
}

bool Program::changedSince(const std::string& file, std::optional<std::size_t>& seen) {
    std::size_t now = 0;  // no file
    if (platform().fileExists(file)) {
        try {
            const std::string text = platform().readFile(file);
            now = std::hash<std::string>{}(text) | 1;
        } catch (const Error&) {
            now = 2;  // read when asked, and told then
        }
    }
    const bool changed = seen != now;
    seen = now;
    return changed;
}

void Program::tellFileFault(const Error& error, const std::string& goesOnWith) {
    tell(std::string(error.what()) + "\n\nThe program goes on " + goesOnWith +
             ". Put the file right: it is read again at the next match and at the start dialog.",
         error.file(), error.line());
}

void Program::readRosterFile() {
    const std::string file = path("\\Players.csv");
    if (!platform().fileExists(file)) {
        fileRoster_ = {};
        composeRoster();
        return;
    }
    // The country files are the program's own and keep their rules; the roster is the
    // operator's, edited during an event: a fault in it is told, and the show goes on.
    const auto countries = day::readRosterCountries(platform(), languages(), platform().programFolder());
    try {
        fileRoster_ = day::readRoster(platform(), file, countries);
        composeRoster();
    } catch (const Error& error) {
        const std::size_t kept = fileRoster_.players().size();
        tellFileFault(error, kept == 0 ? std::string("without a roster")
                                       : "with the roster as it was last read (" + std::to_string(kept) +
                                             (kept == 1 ? " player)" : " players)"));
    }
}

void Program::readScheduleFile() {
    // Like the roster, a broken schedule is told and the day goes on with the schedule as
    // last read.
    std::vector<day::ScheduledMatch> matches;
    try {
        char separator = ',';
        matches = day::readSchedule(platform(), path("\\Matches.csv"), &separator);
        day_.setScheduleSeparator(separator);
    } catch (const Error& error) {
        const std::size_t kept = day_.matches().size();
        tellFileFault(error, kept == 0 ? std::string("without a schedule")
                                       : "with the schedule as it was last read (" + std::to_string(kept) +
                                             (kept == 1 ? " match)" : " matches)"));
        matches = day_.matches();
    }
    const std::string damaged = day_.load(std::move(matches));
    if (!damaged.empty()) tell(damaged, day_.log().path());
}

std::string Program::path(std::string_view name) { return platform().programFolder() + std::string(name); }

}  // namespace quorvel::program
