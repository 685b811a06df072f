#pragma once
// The score table: the 534 x 84 pixel window that lies over the game. For each player a
// general portrait, a colour bar, a name plate, a score, a flag and a country name; in
// the middle the battle emblem and the series caption. Hidden holder labels keep values
// that the other windows share.
#include "ui/form.h"

namespace quorvel::app {
class App;
}

namespace quorvel::table {

class ScoreTable : public ui::Form {
    app::App& app_;

public:
    explicit ScoreTable(app::App& app);

    // Drawn controls, back to front. Releases before 0.99 have no BOShadow, SC12, SC22.
    ui::Label* BOShadow;  // shadow of the series caption
    ui::Shape& SC1;       // main colour bar of player 1
    ui::Shape& SC2;
    ui::Shape* SC22;  // second colour bar of player 2, hidden at creation
    ui::Shape* SC12;
    ui::Image& F1;  // flag of player 1
    ui::Image& F2;
    ui::Label& BO;  // series caption
    ui::Shape& Shape1;  // name plate of player 1
    ui::Shape& Shape2;
    ui::Label& P1;  // name of player 1
    ui::Label& P2;
    ui::Label& T1;  // score of player 1
    ui::Label& T2;
    ui::Label& LiveP2;  // country name of player 2
    ui::Label& LiveP1;
    ui::Image& Image2;  // battle emblem
    ui::Image& I2;      // general portrait of player 2
    ui::Image& I1;
    // Country lists, above everything while shown.
    ui::ComboBox& Combo1;
    ui::ComboBox& Combo2;
    // Hidden holders of shared values.
    ui::Label& Label4;  // player 1's portrait set
    ui::Label& Label5;  // player 2's portrait set; tag: player 1's colour index
    ui::Label& Label6;  // tag: player 2's colour index
    ui::Label& Label1;  // caption: control menu expansion counter; back colour: background colour
    ui::Label& Label2;  // screenshot file path
    ui::Label& Label3;  // capture interval text
    ui::Label& Language1;  // the language name
    ui::Label& moveformmouse;  // button mask of the last pointer move over the emblem
    ui::TextBox& inttimer4;  // pulse speed of the series caption
    ui::TextBox& inttimer5;  // pulse speed of the country names
    ui::PictureBox& picturegen;  // spare picture while the portraits are exchanged

    // Receives the control menu's capture interval; its ticks do nothing.
    ui::Timer& Timer3() { return timer3_; }

    // Portrait numbers that the keyboard chords step through.
    int gennum1 = 0;
    int gennum2 = 0;

    // Frame kind from the settings (release 0.99), applied to the window.
    void applyBorderStyle();
    // Turns the see-through mode on: background and colour key RGB(1,1,1).
    void MakeTransparent();
    // The path of portrait `number` in the set that `holder` names.
    std::string portraitPath(const ui::Label& holder, int number);

private:
    void onLoad() override;
    void onActivate() override;
    void onCloseRequest() override;
    bool seeThroughSetting();
    // The flag and country name of the country chosen in a list.
    void countryChosen(ui::ComboBox& list, ui::Image& flag, ui::Label& name);

    ui::Timer& timer3_;
};

}  // namespace quorvel::table
