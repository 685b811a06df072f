#pragma once
// Layer start/: a window. It includes day/, ui/ and program/ (the other windows by
// their accessors) and the score table it sets up, never the control menu.
// The start dialog: the program's first window. Its load reads every file into the
// settings record; the operator sets the names, the language and the series caption,
// places the dialog where the score table is to appear, and "GO!!!" hands everything to
// the score table.
#include <cstddef>
#include <optional>
#include <string>

#include "ui/error.h"
#include "ui/form.h"

namespace quorvel::program {
class Program;
}

namespace quorvel::start {

class StartDialog : public ui::Form {
    program::Program& program_;

public:
    explicit StartDialog(program::Program& program);

    // Drawn controls, back to front.
    ui::Label& Color1;  // player 1 colour strip, showing below Text1
    ui::Label& Color2;  // player 2 colour strip
    ui::Label& Label2;  // the language in force
    ui::Label& Label1;  // version label
    // Native controls, in tab order.
    ui::Button& Command1;  // "GO!!!"
    ui::Button& Command2;  // "Center to Up"
    ui::Button& Command3;  // "Center to Down"
    ui::TextBox& Text1;    // player 1 name
    ui::TextBox& Text2;    // player 2 name
    ui::ComboBox& Combo1;  // language box
    ui::TextBox& Text3;    // series caption
    // The day's schedule came anew (from the bracket): the boxes show its match while they
    // show the match as it came.
    void scheduleChanged();

private:
    void onLoad() override;
    void onCloseRequest() override;

    // Reads the languages, the settings and (at load) the player-name files, then fills
    // the controls from them.
    void readFiles(bool withNameFiles);
    // The names (and the series caption, when the schedule gives one) of the match GO!!!
    // makes current: the current one while it has no result, else the first not yet
    // played.
    void showScheduledMatch();
    void fillLanguageBox();
    void fillFromSettings(bool selectLanguage);
    void showScreenSize();
    void placeAt(bool bottom);
    void go();
    void reload();

    std::optional<std::size_t> match_;  // the match GO!!! makes current
    std::pair<std::string, std::string> shown_;  // the names showScheduledMatch put in the boxes
};

}  // namespace quorvel::start
