#include "start/start_dialog.h"

#include "program/program.h"
#include "day/palette.h"
#include "day/readers.h"
#include "day/roster.h"
#include "program/roster_names.h"
#include "table/score_table.h"
#include "ui/error.h"
#include "ui/numtext.h"

namespace quorvel::start {

using ui::pixelRect;

StartDialog::StartDialog(program::Program& program)
    : ui::Form(program.runtime(), "Form1"),
      program_(program),
      Color1(add<ui::Label>("Color1", pixelRect(2, 10, 97, 25))),
      Color2(add<ui::Label>("Color2", pixelRect(430, 10, 97, 25))),
      Label2(add<ui::Label>("Label2", pixelRect(424, -2, 41, 13))),
      Label1(add<ui::Label>("Label1", pixelRect(478, 24, 49, 18))),
      Command1(add<ui::Button>("Command1", pixelRect(201, 8, 130, 28))),
      Command2(add<ui::Button>("Command2", pixelRect(102, 4, 95, 17))),
      Command3(add<ui::Button>("Command3", pixelRect(102, 20, 95, 17))),
      Text1(add<ui::TextBox>("Text1", pixelRect(1, 7, 98, 21))),
      Text2(add<ui::TextBox>("Text2", pixelRect(429, 7, 98, 21))),
      Combo1(add<ui::ComboBox>("Combo1", pixelRect(332, 18, 93, 21), ui::ComboStyle::DropDownCombo)),
      Text3(add<ui::TextBox>("Text3", pixelRect(332, -2, 93, 21))) {
    setCaption(day::productTitle(program.release()));
    setBorderStyle(ui::BorderStyle::FixedToolWindow);
    setClientSize(ui::pixelsToTwips(528), ui::pixelsToTwips(40));
    setBackColor(ui::system_color::kGrayText);

    const ui::Color gold = day::kPalette[0].color;
    Color1.setBackColor(gold);
    Color2.setBackColor(gold);
    Label2.setCaption("Label2");
    Label1.setCaption(day::versionLabel(program.release()));
    Label1.setTransparent(true);
    Label1.setForeColor(ui::rgb(255, 255, 255));
    Label1.setAlignment(ui::Alignment::Right);
    Label1.setFont({"Arial Narrow", 11.25});
    Command1.setCaption("GO!!!");
    Command2.setCaption("Center to Up");
    Command3.setCaption("Center to Down");
    Text1.setText("PlayerName 1");
    Text2.setText("PlayerName 2");
    Text3.setText("Bestffffff");
    Combo1.setText("Combo1");

    Combo1.onLostFocus = [this] { program_.settings().Language.text = Combo1.text(); };
    Combo1.onChange = [this] { reload(); };
    Command1.onMouseMove = [this](const ui::MouseEvent&) { Label2.setCaption(program_.settings().Language.text); };
    Command2.onClick = [this] {
        showScreenSize();
        placeAt(false);
    };
    Command3.onClick = [this] {
        showScreenSize();
        placeAt(true);
    };
    Command1.onClick = [this] { go(); };

    // The roster's names offered while a name is typed (release 0.99 reads a roster).
    if (program.features().hasRoster()) {
        addSuggestions(Text1, program::rosterNames(program));
        addSuggestions(Text2, program::rosterNames(program));
    }
}

void StartDialog::onLoad() {
    setPicture(platform().loadPicture(program_.path("\\pic\\LOGO.JPG")));
    readFiles(true);
    fillFromSettings(true);
    showScheduledMatch();
    placeAt(false);
}

void StartDialog::readFiles(bool withNameFiles) {
    auto& settings = program_.settings();
    fillLanguageBox();
    day::readOptions(platform(), program_.path("\\Options.ini"), program_.features().optionsGroupLength(), settings);
    if (withNameFiles && program_.features().readsNameFiles()) {
        day::readPlayerName(platform(), settings.Player1NameFile, settings.Player1Name);
        day::readPlayerName(platform(), settings.Player2NameFile, settings.Player2Name);
    }
    if (withNameFiles && program_.features().hasRoster()) {
        program_.notices().forgetTold();
        program_.readDayFiles(false);
    }
}

void StartDialog::showScheduledMatch() {
    const day::MatchDay& day = program_.day();
    const auto current = day.current();
    match_ = current && !day.result(*current) && day.matches()[*current].playable() ? current : day.firstUnplayed();
    if (!match_) return;
    const day::ScheduledMatch& match = day.matches()[*match_];
    Text1.setText(match.player1);
    Text2.setText(match.player2);
    if (!match.series.empty()) Text3.setText(match.series);
    shown_ = {match.player1, match.player2};
}

void StartDialog::scheduleChanged() {
    // The boxes follow the day while they show its match as it came; names the operator
    // typed stay, and GO!!! makes them a match of no schedule.
    if (!match_ || (Text1.text() == shown_.first && Text2.text() == shown_.second))
        showScheduledMatch();
    else
        match_.reset();
}

void StartDialog::fillLanguageBox() {
    const std::string path = program_.path("\\Languages.ini");
    auto& languages = program_.languages();
    languages = day::readWordList(platform(), path, day::kMaxLanguages);
    // The box is refilled, not appended to, so each language appears once however often
    // the files are read again.
    Combo1.clear();
    for (const auto& language : languages) Combo1.addItem(language);
}

// Replaces the language index of the settings by the language's name (selecting that
// entry in the box at load), and fills the names, colour strips and series caption.
void StartDialog::fillFromSettings(bool selectLanguage) {
    auto& settings = program_.settings();
    const auto& languages = program_.languages();
    if (languages.empty()) throw Error(program_.path("\\Languages.ini") + ": the file names no language");
    const int index = day::settingInteger(settings.Language, "language index", 0,
                                          static_cast<int>(languages.size()) - 1);
    if (selectLanguage) Combo1.setListIndex(index);
    settings.Language.text = languages[static_cast<std::size_t>(index)];
    Combo1.setText(settings.Language.text);

    Text1.setText(settings.Player1Name.text);
    Text2.setText(settings.Player2Name.text);

    // The colours are the control menu's swatches: their first reading creates the menu
    // (and with it the score table), hidden, behind the dialog.
    const int color1 = day::settingInteger(settings.Player1Color, "player 1 colour", 0, day::kPaletteSize - 1);
    program_.controlMenu();
    Color1.setBackColor(day::kPalette[static_cast<std::size_t>(color1)].color);
    const int color2 = day::settingInteger(settings.Player2Color, "player 2 colour", 0, day::kPaletteSize - 1);
    Color2.setBackColor(day::kPalette[static_cast<std::size_t>(color2)].color);

    Text3.setText(settings.BestOf.text);
}

void StartDialog::reload() {
    fillLanguageBox();
    Combo1.setListIndex(0);
    day::readOptions(platform(), program_.path("\\Options.ini"), program_.features().optionsGroupLength(),
                     program_.settings());
    fillFromSettings(false);
    showScheduledMatch();
}

void StartDialog::showScreenSize() {
    const ui::Rect screen = platform().desktopRect();
    runtime().messageBox("Размер экрана - " + std::to_string(screen.right()) + " x " + std::to_string(screen.bottom()));
}

void StartDialog::placeAt(bool bottom) {
    // The screen is measured anew each time; 15 twips to a pixel whatever the display.
    const ui::Rect screen = platform().desktopRect();
    const double w = screen.right();
    const double h = screen.bottom();
    const double x = program_.features().centresStartDialog() ? w * 15 / 2 - width() / 2.0 : w * 5.3;
    const double y = bottom ? h * 13.5 : 0;
    move(static_cast<int>(ui::roundHalfEven(x)), static_cast<int>(ui::roundHalfEven(y)));
}

void StartDialog::go() {
    auto& settings = program_.settings();
    const day::Features& has = program_.features();
    table::ScoreTable& table = program_.table();
    table.P1.setCaption(Text1.text());
    table.P2.setCaption(Text2.text());
    table.show();
    if (has.hasFrameSetting()) table.applyBorderStyle();
    settings.Language.text = Combo1.text();
    table.BO.setCaption(Text3.text());
    if (table.BOShadow) table.BOShadow->setCaption(Text3.text());
    table.move(left(), top());
    if (has.hasTableBackground()) {
        const int color = day::settingInteger(settings.TableBackColor, "table background colour", 0, 0xFFFFFF);
        // A background that an earlier match's "OK" applied stays, with the saving of the picture.
        const auto& kept = program_.appliedCapture();
        table.setBackColor(kept ? kept->background : static_cast<ui::Color>(color));
    }
    table.loadCountryList(Combo1.text(), Color1.backColor(), Color2.backColor());
    if (has.hasRoster()) table.applyRosterNames();
    if (match_) program_.day().setCurrent(*match_);
    program_.unloadStartDialog();
}

void StartDialog::onCloseRequest() {
    // Closing the dialog from its title bar would leave the hidden table and control menu
    // running with live key chords and no window: end the program instead.
    program_.quit();
}

}  // namespace quorvel::start
