#pragma once
// A complete, small program folder in a temporary directory, and a program running on it
// with the headless backend. Tests change single files before starting the program.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/sim/sim_platform.h"

namespace quorvel::testing {

class ProgramFolder {
public:
    // Languages "Russian", "English", "German" with 200 countries each and every flag,
    // the three portrait sets, the emblem and the logo; Options.ini (13 lines) names
    // language 1, colours 2 and 11, countries 5 and 7, frame 0.
    ProgramFolder();
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    std::string path() const { return root_.string(); }
    // Writes a file below the folder (creating folders), bytes as given.
    void write(const std::string& relative, const std::string& bytes);
    // Writes lines ended by CR LF (the last one too, unless `finalNewline` is false).
    void writeLines(const std::string& relative, const std::vector<std::string>& lines, bool finalNewline = true);
    void remove(const std::string& relative);
    // A file's bytes, "" when there is none.
    std::string read(const std::string& relative) const;
    // A country file of `count` names "<prefix> <n>" with every flag.
    void writeCountries(const std::string& language, int count, const std::string& prefix);
    // The 13 lines of the default Options.ini, to change one and write them back.
    static std::vector<std::string> defaultOptions();

    static const std::string& gifBytes();
    static const std::string& jpegBytes();

private:
    std::filesystem::path root_;
};

// A program on the headless backend, started on its own program folder.
struct Program {
    ProgramFolder folder;
    sim::SimPlatform platform{folder.path()};
    std::unique_ptr<app::App> app;

    // Starts the program; returns false if it ended with a failure message.
    bool start(day::Release release = day::Release::R099);
    // The text of the last message box, or "".
    std::string lastMessage() const;
    // The text of the latest notice, or "".
    std::string lastNotice() const;
};

}  // namespace quorvel::testing
