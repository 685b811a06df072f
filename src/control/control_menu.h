#pragma once
// Layer control/: a window. It includes day/, ui/ and program/ (the other windows by
// their accessors) and the score table it drives, never the start dialog.
// The control menu: the operator's tool window beside the score table. It holds no match
// data of its own: it reads the table's controls when activated and writes them back on
// "OK". The colour palette and both players' portrait thumbnails sit on it.
#include <array>
#include <string>
#include <vector>

#include "day/palette.h"
#include "ui/form.h"

namespace quorvel::program {
class Program;
}
namespace quorvel::day {
struct Setting;
struct RosterPlayer;
}

namespace quorvel::control {

class ControlMenu : public ui::Form {
    program::Program& program_;

public:
    explicit ControlMenu(program::Program& program);

    static constexpr int kCollapsedHeight = 2450;
    static constexpr int kExpandedHeight = 3800;
    static constexpr int kThumbnails = 13;
    // The project's web page, opened by the logo.
    static constexpr const char* kWebPage = "https://quorvel.example.org/";

    // Drawn controls, back to front.
    ui::Frame& Frame1;  // screenshot settings
    ui::Label& Label1;  // inside Frame1: what the frame is for
    ui::Label& Label2;  // "file path"
    ui::Label& Label3;  // "interval"
    ui::Label& Label4;  // "background colour"
    ui::Label& Label5;  // background colour swatch
    ui::Label& SC1;     // player 1's colour name on its colour
    ui::Label& SC2;
    ui::PictureBox& Picture5;  // player 1's portrait set
    ui::PictureBox& Picture6;  // player 2's portrait set
    ui::PictureBox& Picture1;  // visibility of flags, country names, series caption
    ui::Image& Image1;         // logo: opens the project's web page
    ui::PictureBox& Picture3;  // shows or hides both portraits
    ui::PictureBox& Picture2;  // double-click: back to the start dialog
    ui::PictureBox& Picture4;  // colour-bar layout
    // Swaps the two sides of the table; release 0.99 only, beneath player 2's Dark swatch
    // where player 1's half has its White.
    ui::PictureBox* Picture7 = nullptr;
    // The day's next match (the chord N); release 0.99 only, on the unfolded part, between
    // the capture interval box and "background colour".
    ui::PictureBox* Picture8 = nullptr;
    // The latest notice (day::Notices) while the operator has not put it away with a
    // click; release 0.99 only. It lies below the palette, where the folded menu ends: the
    // folded menu grows by the line while it shows, the unfolded one shows it over the
    // screenshot frame's caption.
    ui::Label* NoticeLine = nullptr;
    // Native controls, in tab order.
    ui::TextBox& Text1;    // player 1 name
    ui::TextBox& Text3;    // player 1 score
    ui::TextBox& BO;       // series caption
    ui::TextBox& Text4;    // player 2 score
    ui::TextBox& Text2;    // player 2 name
    ui::Button& Command1;  // "OK"
    ui::TextBox& Text5;    // screenshot file path
    ui::TextBox& Text6;    // capture interval

    // Each player's boxes and colour name by what they are; `player` is 1 or 2.
    ui::TextBox& nameBox(int player) const { return player == 1 ? Text1 : Text2; }
    ui::TextBox& scoreBox(int player) const { return player == 1 ? Text3 : Text4; }
    ui::Label& colourName(int player) const { return player == 1 ? SC1 : SC2; }

    // Swatch `index` of the colour palette.
    ui::Label& C1(int index) { return *swatches_.at(static_cast<std::size_t>(index)); }
    // Portrait thumbnails of player 1 and player 2.
    ui::Image& img1(int index) { return *thumbnails1_.at(static_cast<std::size_t>(index)); }
    ui::Image& img2(int index) { return *thumbnails2_.at(static_cast<std::size_t>(index)); }

    // The expansion counter: odd unfolded, even folded.
    int expansionCounter() const;
    void setExpansionCounter(int counter);
    // Height from the counter's parity, and the notice line's.
    void applyExpansion();
    // The notice line shows the unread notice, or goes when there is none.
    void showNotice();

    // Opens an address through the shell; the shell's answer is ignored.
    void OpenSite(const std::string& address);
    // Loads both players' thumbnails from their current portrait sets.
    void fillThumbnails();

    // The parts of "OK" that hand the two name boxes, and the series box, to the table.
    void applyNames();
    void applySeries();
    // The same with the given texts in the boxes: the remote control's names and series.
    void applyNames(const std::string& name1, const std::string& name2) {
        Text1.setText(name1);
        Text2.setText(name2);
        applyNames();
    }
    void applySeries(const std::string& caption) {
        BO.setText(caption);
        applySeries();
    }
    // Swatch `index` as its player's main colour: a click on it (a left press in 0.99),
    // the roster's colour, the remote control's pick.
    void pickColour(int index);
    // A roster player on the table as player `player` (1 or 2): the roster's spelling of
    // the name, then the country, the colour and the portrait that the roster gives, each
    // through the table's country pick, a palette press and the portrait set and
    // thumbnail, in that order. A field the roster leaves empty changes nothing.
    void applyRosterPlayer(int player, const day::RosterPlayer& entry);
    // applyRosterPlayer for each player whose name on the table is a roster name: GO!!!'s
    // new table.
    void applyRosterNames();
    // After the name boxes went to the table ("OK", the remote control's roster action):
    // applyRosterPlayer for each player whose name is now a roster player other than the
    // one its name before (`before1`, `before2`) was. A player whose name stays (in any
    // case) only takes the roster's spelling: what the operator set on the table during
    // the match (a country, a portrait, a colour) stays. The swap exchanges the boxes with
    // the names, so an "OK" after it applies nobody again.
    void applyRosterChanges(const std::string& before1, const std::string& before2);

    // The caption that the colour dialog's cancel shows.
    static constexpr const char* kCancelMessage = "User chose the Cancel Button";

private:
    void onLoad() override;
    void onActivate() override;
    void onCloseRequest() override;

    void applyToTable();  // "OK"
    void backToStartDialog();
    void showSwatch(ui::Label& label, int index);

    // --- Colours (colours.cpp) ---
    void connectColours();
    // A press on swatch `index`: main or second colour, second bars shown or toggled.
    void swatchMouseDown(int index, const ui::MouseEvent& e);
    // Swatch `index` as player `player`'s colour on `bar` (a main or second colour bar),
    // in the menu's colour name, the table's swatch and the settings.
    void chooseColour(int index, int player, ui::Shape& bar);
    void switchBarLayout();          // Picture4 click
    void chooseBackgroundColour();   // Label5 click

    // --- Portrait sets (portraits.cpp) ---
    void connectPortraits();
    // Puts portrait `number` of the set that `holder` names on the table's `portrait`.
    void showPortrait(ui::Image& portrait, const ui::Label& holder, int number);
    // The player's set becomes `set` (nullptr: unchanged); both blocks are refilled.
    void choosePortraitSet(ui::Label& holder, const char* set);

    std::vector<ui::Label*> swatches_;
    std::vector<ui::Image*> thumbnails1_;
    std::vector<ui::Image*> thumbnails2_;
    std::array<ui::Color, 16> customColors_{};
};

}  // namespace quorvel::control
