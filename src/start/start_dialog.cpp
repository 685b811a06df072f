#include "start/start_dialog.h"

#include "app/app.h"
#include "app/country_list.h"
#include "app/readers.h"
#include "app/roster.h"
#include "app/roster_names.h"
#include "control/control_menu.h"
#include "table/score_table.h"
#include "ui/error.h"
#include "ui/numtext.h"

namespace quorvel::start {

using ui::pixelRect;

StartDialog::StartDialog(app::App& app)
    : ui::Form(app.runtime(), "Form1"),
      app_(app),
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
    setCaption(app::productTitle(app.release()));
    setBorderStyle(ui::BorderStyle::FixedToolWindow);
    setClientSize(ui::pixelsToTwips(528), ui::pixelsToTwips(40));
    setBackColor(ui::system_color::kGrayText);

    const ui::Color gold = control::kPalette[0].color;
    Color1.setBackColor(gold);
    Color2.setBackColor(gold);
    Label2.setCaption("Label2");
    Label1.setCaption(app::versionLabel(app.release()));
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

    Combo1.onLostFocus = [this] { app_.settings().Language.text = Combo1.text(); };
    Combo1.onChange = [this] { reload(); };
    Command1.onMouseMove = [this](const ui::MouseEvent&) { Label2.setCaption(app_.settings().Language.text); };
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
    if (app::isCurrent(app.release())) {
        addSuggestions(Text1, app::rosterNames(app));
        addSuggestions(Text2, app::rosterNames(app));
    }
}

void StartDialog::onLoad() {
    setPicture(platform().loadPicture(app_.path("\\pic\\LOGO.JPG")));
    readFiles(true);
    fillFromSettings(true);
    showScheduledMatch();
    placeAt(false);
}

void StartDialog::readFiles(bool withNameFiles) {
    auto& settings = app_.settings();
    fillLanguageBox();
    app::readOptions(platform(), app_.path("\\Options.ini"), app::optionsGroupLength(app_.release()), settings);
    if (withNameFiles && app::readsNameFiles(app_.release())) {
        app::readPlayerName(platform(), settings.Player1NameFile, settings.Player1Name);
        app::readPlayerName(platform(), settings.Player2NameFile, settings.Player2Name);
    }
    if (withNameFiles && app::isCurrent(app_.release())) {
        readRoster();
        readSchedule();
    }
}

void StartDialog::tellFileFault(const Error& error, const std::string& goesOnWith) {
    platform().messageBox(std::string(error.what()) + "\n\nThe program goes on " + goesOnWith +
                              ". Put the file right and go back to the start dialog to read it again.",
                          app_.title());
}

void StartDialog::readRoster() {
    const std::string path = app_.path("\\Players.csv");
    if (!platform().fileExists(path)) {
        app_.setRoster({});
        return;
    }
    // The country files are the program's own and keep their rules; the roster is the
    // operator's, edited during an event: a fault in it is told, and the show goes on.
    const auto countries = app::readRosterCountries(platform(), app_.languages(), platform().programFolder());
    try {
        app_.setRoster(app::readRoster(platform(), path, countries));
    } catch (const Error& error) {
        const std::size_t kept = app_.roster().players().size();
        tellFileFault(error, kept == 0 ? std::string("without a roster")
                                       : "with the roster as it was last read (" + std::to_string(kept) +
                                             (kept == 1 ? " player)" : " players)"));
    }
}

void StartDialog::readSchedule() {
    // Like the roster, a broken schedule is told and the day goes on with the schedule as
    // last read.
    app::MatchDay& day = app_.day();
    std::vector<app::ScheduledMatch> matches;
    try {
        char separator = ',';
        matches = app::readSchedule(platform(), app_.path("\\Matches.csv"), &separator);
        day.setScheduleSeparator(separator);
    } catch (const Error& error) {
        const std::size_t kept = day.matches().size();
        tellFileFault(error, kept == 0 ? std::string("without a schedule")
                                       : "with the schedule as it was last read (" + std::to_string(kept) +
                                             (kept == 1 ? " match)" : " matches)"));
        matches = day.matches();
    }
    const std::string damaged = day.load(std::move(matches));
    if (!damaged.empty()) platform().messageBox(damaged, app_.title());
}

void StartDialog::showScheduledMatch() {
    const app::MatchDay& day = app_.day();
    const auto current = day.current();
    match_ = current && !day.result(*current) ? current : day.firstUnplayed();
    if (!match_) return;
    const app::ScheduledMatch& match = day.matches()[*match_];
    Text1.setText(match.player1);
    Text2.setText(match.player2);
    if (!match.series.empty()) Text3.setText(match.series);
}

void StartDialog::fillLanguageBox() {
    const std::string path = app_.path("\\Languages.ini");
    auto& languages = app_.languages();
    languages = app::readWordList(platform(), path, app::kMaxLanguages);
    // The box is refilled, not appended to, so each language appears once however often
    // the files are read again.
    Combo1.clear();
    for (const auto& language : languages) Combo1.addItem(language);
}

// Replaces the language index of the settings by the language's name (selecting that
// entry in the box at load), and fills the names, colour strips and series caption.
void StartDialog::fillFromSettings(bool selectLanguage) {
    auto& settings = app_.settings();
    const auto& languages = app_.languages();
    if (languages.empty()) throw Error(app_.path("\\Languages.ini") + ": the file names no language");
    const int index = app::settingInteger(settings.Language, "language index", 0,
                                          static_cast<int>(languages.size()) - 1);
    if (selectLanguage) Combo1.setListIndex(index);
    settings.Language.text = languages[static_cast<std::size_t>(index)];
    Combo1.setText(settings.Language.text);

    Text1.setText(settings.Player1Name.text);
    Text2.setText(settings.Player2Name.text);

    // The palette sits on the control menu: this creates it (and with it the score table).
    const int color1 = app::settingInteger(settings.Player1Color, "player 1 colour", 0, control::kPaletteSize - 1);
    Color1.setBackColor(app_.controlMenu().C1(color1).backColor());
    const int color2 = app::settingInteger(settings.Player2Color, "player 2 colour", 0, control::kPaletteSize - 1);
    Color2.setBackColor(app_.controlMenu().C1(color2).backColor());

    Text3.setText(settings.BestOf.text);
}

void StartDialog::reload() {
    fillLanguageBox();
    Combo1.setListIndex(0);
    app::readOptions(platform(), app_.path("\\Options.ini"), app::optionsGroupLength(app_.release()),
                     app_.settings());
    fillFromSettings(false);
    showScheduledMatch();
}

void StartDialog::showScreenSize() {
    const ui::Rect screen = platform().desktopRect();
    platform().messageBox(
        "Размер экрана - " + std::to_string(screen.right()) + " x " + std::to_string(screen.bottom()), app_.title());
}

void StartDialog::placeAt(bool bottom) {
    // The screen is measured anew each time; 15 twips to a pixel whatever the display.
    const ui::Rect screen = platform().desktopRect();
    const double w = screen.right();
    const double h = screen.bottom();
    const double x = app_.release() == app::Release::R094Window ? w * 5.3 : w * 15 / 2 - width() / 2.0;
    const double y = bottom ? h * 13.5 : 0;
    move(static_cast<int>(ui::roundHalfEven(x)), static_cast<int>(ui::roundHalfEven(y)));
}

void StartDialog::go() {
    auto& settings = app_.settings();
    const bool current = app::isCurrent(app_.release());
    table::ScoreTable& table = app_.table();
    table.P1.setCaption(Text1.text());
    table.P2.setCaption(Text2.text());
    table.show();
    if (current) table.applyBorderStyle();
    settings.Language.text = Combo1.text();
    table.BO.setCaption(Text3.text());
    if (table.BOShadow) table.BOShadow->setCaption(Text3.text());
    table.move(left(), top());
    if (current) {
        const int color = app::settingInteger(settings.TableBackColor, "table background colour", 0, 0xFFFFFF);
        // A background that an earlier match's "OK" applied stays, with the saving of the picture.
        const auto& kept = app_.appliedCapture();
        table.setBackColor(kept ? kept->background : static_cast<ui::Color>(color));
    }
    app::loadCountryList(app_);
    if (current) app_.controlMenu().applyRosterNames();
    if (match_) app_.day().setCurrent(*match_);
    app_.unloadStartDialog();
}

void StartDialog::onCloseRequest() {
    // Closing the dialog from its title bar would leave the hidden table and control menu
    // running with live key chords and no window: end the program instead.
    app_.quit();
}

}  // namespace quorvel::start
