#include "table/score_table.h"

#include <algorithm>

#include "program/program.h"
#include "day/readers.h"
#include "day/settings.h"
#include "control/control_menu.h"
#include "start/start_dialog.h"
#include "ui/error.h"
#include "ui/numtext.h"

namespace quorvel::table {
namespace {

const ui::Font kCountryFont{"MS Sans Serif", 9.75};
const ui::Font kScoreFont{"Arial Narrow", 21.75, true};
const ui::Font kNameFont{"Arial", 14.25};
const ui::Font kSeriesFont{"MS Sans Serif", 12};
const ui::Font kListFont{"Arial Narrow", 9};
constexpr ui::Color kWhite = ui::rgb(255, 255, 255);
constexpr ui::Color kPlate = 0x00404040;
constexpr ui::Color kGreen = 0x002DD23E;
constexpr ui::Color kRed = 0x000000FF;
// The table's own background after load: close to black, but not the see-through key.
constexpr ui::Color kLoadBackground = ui::rgb(0, 1, 1);
// The first country both lists select at load: every country file holds at least 175.
constexpr int kDefaultCountry = 174;
constexpr int kStartPortrait = 12;
// The country names' labels as laid out.
constexpr ui::Rect kCountry1Rect{900, 990, 690, 240};
constexpr ui::Rect kCountry2Rect{6390, 990, 690, 240};
// The holder of the capture path reads its design caption until "OK" first sets it.
constexpr const char* kCapturePathUnset = "Label2";

void styleText(ui::Label& label, const ui::Font& font, ui::Color fore, ui::Alignment alignment, std::string caption) {
    label.setFont(font);
    label.setForeColor(fore);
    label.setAlignment(alignment);
    label.setTransparent(true);
    label.setCaption(std::move(caption));
}

}  // namespace

ScoreTable::ScoreTable(program::Program& program)
    : ui::Form(program.runtime(), "Form2"),
      program_(program),
      BOShadow(program.features().hasSeriesShadow() ? &add<ui::Label>("BOShadow", ui::Rect{3480, 795, 960, 300}) : nullptr),
      SC1(add<ui::Shape>("SC1", ui::Rect{455, 180, 3530, 120}, kGreen)),
      SC2(add<ui::Shape>("SC2", ui::Rect{3990, 180, 3550, 120}, kRed)),
      SC22(program.features().hasSecondColourBars() ? &add<ui::Shape>("SC22", ui::Rect{5750, 180, 1800, 120}, kRed) : nullptr),
      SC12(program.features().hasSecondColourBars() ? &add<ui::Shape>("SC12", ui::Rect{2215, 180, 1762, 120}, kGreen) : nullptr),
      F1(add<ui::Image>("F1", ui::Rect{960, 600, 525, 460})),
      F2(add<ui::Image>("F2", ui::Rect{6510, 600, 525, 460})),
      BO(add<ui::Label>("BO", ui::Rect{3480, 780, 960, 300})),
      Shape1(add<ui::Shape>("Shape1", ui::Rect{450, 280, 3530, 400}, kPlate)),
      Shape2(add<ui::Shape>("Shape2", ui::Rect{3990, 280, 3550, 400}, kPlate)),
      // The names lie between the scores and the emblem, so that a name drawn at its
      // label's full width neither covers its score nor runs under the emblem.
      P1(add<ui::Label>("P1", ui::Rect{1320, 315, 2190, 345})),
      P2(add<ui::Label>("P2", ui::Rect{4410, 315, 2235, 345})),
      T1(add<ui::Label>("T1", ui::Rect{600, 240, 720, 405})),
      T2(add<ui::Label>("T2", ui::Rect{6645, 240, 675, 405})),
      LiveP2(add<ui::Label>("LiveP2", kCountry2Rect)),
      LiveP1(add<ui::Label>("LiveP1", kCountry1Rect)),
      Image2(add<ui::Image>("Image2", ui::Rect{3510, 0, 900, 900})),
      I2(add<ui::Image>("I2", ui::Rect{7020, -15, 1005, 1005})),
      I1(add<ui::Image>("I1", ui::Rect{-30, -15, 1005, 1005})),
      Combo1(add<ui::ComboBox>("Combo1", ui::Rect{1455, 675, 2520, 360}, ui::ComboStyle::DropDownList)),
      Combo2(add<ui::ComboBox>("Combo2", ui::Rect{3975, 675, 2550, 360}, ui::ComboStyle::DropDownList)),
      Label4(add<ui::Label>("Label4", ui::Rect{})),
      Label5(add<ui::Label>("Label5", ui::Rect{})),
      Label6(add<ui::Label>("Label6", ui::Rect{})),
      Label1(add<ui::Label>("Label1", ui::Rect{})),
      Label2(add<ui::Label>("Label2", ui::Rect{})),
      Label3(add<ui::Label>("Label3", ui::Rect{})),
      Language1(add<ui::Label>("Language1", ui::Rect{})),
      moveformmouse(add<ui::Label>("moveformmouse", ui::Rect{})),
      inttimer4(add<ui::TextBox>("inttimer4", ui::Rect{3480, 0, 480, 285})),
      inttimer5(add<ui::TextBox>("inttimer5", ui::Rect{3960, 0, 480, 285})),
      picturegen(add<ui::PictureBox>("picturegen", ui::Rect{})),
      timer1_(addTimer("Timer1", 10, true)),
      timer6_(program.features().hasFirstChords() ? addTimer("Timer2", 300, false)
                                                         : addTimer("Timer6", 600, true)),
      timer4_(addTimer("Timer4", 0, true)),
      timer5_(addTimer("Timer5", 0, true)),
      timer3_(addTimer("Timer3", 0, true)) {
    setCaption(day::productTitle(program.release()));
    setClientSize(8010, 1260);
    setBackColor(0x00000000);

    if (BOShadow) styleText(*BOShadow, kSeriesFont, 0x00000000, ui::Alignment::Center, "Best of 5");
    if (BOShadow) BOShadow->setTag("250");
    if (SC22) SC22->setVisible(false);
    if (SC12) SC12->setVisible(false);
    styleText(BO, kSeriesFont, kWhite, ui::Alignment::Center, "Best of 5");
    BO.setTag("250");
    styleText(P1, kNameFont, kWhite, ui::Alignment::Center, "Player 1");
    styleText(P2, kNameFont, kWhite, ui::Alignment::Center, "Player 2");
    P1.setOneLine(true);
    P2.setOneLine(true);
    styleText(T1, kScoreFont, kWhite, ui::Alignment::Right, "0");
    styleText(T2, kScoreFont, kWhite, ui::Alignment::Left, "0");
    styleText(LiveP2, kCountryFont, kWhite, ui::Alignment::Right, "Россия");
    LiveP2.setTag("5");
    styleText(LiveP1, kCountryFont, kWhite, ui::Alignment::Left, "Россия");
    LiveP1.setTag("245");
    // A country name too long even at its smallest size ends in "..." on its one line,
    // rather than breaking onto a second line below the table's edge.
    LiveP1.setOneLine(true);
    LiveP2.setOneLine(true);
    for (ui::ComboBox* list : {&Combo1, &Combo2}) {
        list->setBackColor(0x00E0E0E0);
        list->setFont(kListFont);
    }

    const std::pair<ui::Label*, const char*> holders[] = {
        {&Label4, "P1\\"}, {&Label5, "P2\\"},  {&Label6, "Label6"},       {&Label1, "Label1"},
        {&Label2, kCapturePathUnset}, {&Label3, "0"}, {&Language1, "ru1111"}, {&moveformmouse, "Label8"}};
    for (auto [label, caption] : holders) {
        label->setVisible(false);
        label->setCaption(caption);
    }
    Label4.setTag("0");
    Label5.setTag("1");
    Label6.setTag("13");
    Label1.setBackColor(0x00000000);
    inttimer4.setVisible(false);
    inttimer4.setText("0");
    inttimer5.setVisible(false);
    inttimer5.setText("0");
    picturegen.setVisible(false);

    wireTimers();
    wireGestures();
    // The menu's "OK" gives the interval in tenths of a second; its interval box sets raw
    // milliseconds while the operator types, and again when a newly opened menu copies
    // the last applied interval into it. Ticks that close together capture once in a tenth
    // of a second: the file is not rewritten a hundred times a second, and capturing goes
    // on rather than stopping without a word. Nothing is written before "OK" has applied a
    // path and an interval above 0: an interval typed before only sets the timer.
    timer3_.onTick = [this] {
        if (program_.features().captureRereadsHolders()) refreshFromCaptureSettings();
        const auto applied = ui::parseNumber(captureIntervalText());
        if (capturePath() == kCapturePathUnset || !applied || *applied <= 0) return;
        sinceCapture_ += timer3_.interval();
        if (sinceCapture_ < kShortestCaptureInterval) return;
        sinceCapture_ = 0;
        Capture(*this);
    };

    // The frame is fixed by the release, or taken from the settings in release 0.99.
    if (program.features().hasFrameSetting())
        applyBorderStyle();
    else
        setBorderStyle(program.features().fixedFrame());
}

void ScoreTable::applyBorderStyle() {
    const int style = day::settingInteger(program_.settings().TableBorderStyle, "table frame", 0, 5);
    setBorderStyle(static_cast<ui::BorderStyle>(style));
    setCaption(caption());
}

bool ScoreTable::seeThroughSetting() {
    if (program_.features().alwaysSeeThrough()) return true;
    if (!program_.features().hasFrameSetting()) return false;
    return day::settingNumber(program_.settings().TableBorderStyle, "table frame") == 0;
}

void ScoreTable::MakeTransparent() {
    setBackColor(ui::kSeeThroughKey);
    makeSeeThrough(ui::kSeeThroughKey);
}

std::string ScoreTable::portraitPath(const ui::Label& holder, int number) {
    return program_.path("\\pic\\gen\\" + holder.caption() + std::to_string(number) + ".gif");
}

void ScoreTable::restartCaptures() {
    program_.captureFile().forget();
    timer3_.setEnabled(true);
}

void ScoreTable::Capture(ui::Form& window) {
    const std::string& path = capturePath();
    try {
        program_.captureFile().update(window, path, ui::imageFormatFor(path));
    } catch (const Error& failure) {
        // One message is enough: the captures stop until "OK" starts them again.
        timer3_.setEnabled(false);
        program_.tell(failure.what(), path);
    }
}

void ScoreTable::refreshFromCaptureSettings() {
    setBackColor(backgroundColour());
    auto& interval = program_.controlMenu().Text6;
    const auto typed = ui::parseNumber(interval.text());
    if (!typed || *typed <= 0 || *typed >= 999) {
        interval.setText("0");
        return;
    }
    // The holder keeps the interval the last "OK" applied.
    setCaptureInterval(captureIntervalText());
}

void ScoreTable::setCaptureInterval(const std::string& tenths) {
    const auto value = ui::parseNumber(tenths);
    if (!value) return;
    const auto milliseconds = ui::toInt(*value * 100);
    if (milliseconds && *milliseconds >= 0 && *milliseconds <= ui::Timer::kMaxInterval)
        timer3_.setInterval(*milliseconds);
}

void ScoreTable::onLoad() {
    const bool frameSetting = program_.features().hasFrameSetting();
    if (frameSetting) applyBorderStyle();
    if (frameSetting && seeThroughSetting()) MakeTransparent();
    gennum2 = 0;
    Image2.setPicture(platform().loadPicture(program_.path("\\pic\\battle.gif")));
    start::StartDialog& dialog = program_.startDialog();
    move(dialog.left(), dialog.top());
    setBackColor(kLoadBackground);

    const CountryFile file = fillCountryLists();
    if (file.count <= kDefaultCountry)
        throw Error(file.path + ": the file has " + std::to_string(file.count) +
                    " lines; a country file must hold at least " + std::to_string(kDefaultCountry + 1) + " countries");
    const auto& countries = program_.countries();
    Combo1.setListIndex(kDefaultCountry);
    Combo2.setListIndex(kDefaultCountry);
    LiveP1.setCaption(countries[static_cast<std::size_t>(Combo1.listIndex())]);
    LiveP2.setCaption(countries[static_cast<std::size_t>(Combo2.listIndex())]);
    Combo1.setVisible(false);
    Combo2.setVisible(false);
    gennum1 = 0;
    gennum2 = 0;
    for (const int player : {1, 2})
        portrait(player).setPicture(platform().loadPicture(portraitPath(portraitSet(player), kStartPortrait)));
    // The saving of the picture that an earlier match's "OK" applied goes on.
    if (const auto& kept = program_.appliedCapture()) {
        setCapturePath(kept->path);
        setCaptureIntervalText(kept->interval);
        setBackgroundColour(kept->background);
        setCaptureInterval(kept->interval);
        program_.captureFile().forget();  // the new match's first picture is written
    }
    placeTopmost();
    // Setting the load background above replaced the key colour: put it back.
    if (frameSetting && seeThroughSetting()) MakeTransparent();
}

void ScoreTable::onControlChanged(const ui::Control& control, unsigned changes) {
    if ((changes & ui::change::kText) == 0) return;
    if (&control == &T1 || &control == &T2) {
        const auto number = [](const ui::Label& score) -> std::optional<long long> {
            const auto value = ui::parseNumber(score.caption());
            if (!value || *value != ui::wholePart(*value)) return std::nullopt;
            return ui::toInt(*value);
        };
        games_.saw(number(T1), number(T2));
    }
    if (&control == &LiveP1) fitCountryName(LiveP1, kCountry1Rect, true);
    if (&control == &LiveP2) fitCountryName(LiveP2, kCountry2Rect, false);
}

void ScoreTable::fitCountryName(ui::Label& name, const ui::Rect& laidOut, bool towardRight) {
    const int wanted = ui::pixelsToTwips(platform().textWidth(kCountryFont, name.caption()));
    ui::Rect rect = laidOut;
    double size = kCountryFont.size;
    if (wanted > laidOut.width) {
        const ui::Rect& series = BO.rect();
        rect.width = towardRight ? series.left - laidOut.left : laidOut.right() - series.right();
        if (!towardRight) rect.left = series.right();
        if (wanted > rect.width) size = std::max(size * kSmallestCountrySize, size * rect.width / wanted);
    }
    name.setRect(rect);
    name.setFontSize(size);
}

void ScoreTable::clearCountry(int player) {
    countryList(player).setListIndex(-1);
    flag(player).setPicture(nullptr);
    countryName(player).setCaption({});
}

void ScoreTable::onActivate() {
    auto& settings = program_.settings();
    setColourSwatch(1, settings.Player1Color.text);
    setColourSwatch(2, settings.Player2Color.text);
    if (seeThroughSetting()) MakeTransparent();
}

void ScoreTable::onCloseRequest() {
    // Closing the table from its frame would leave an invisible program with live key
    // chords: end the program as the emblem's quit command does.
    program_.quit();
}

}  // namespace quorvel::table
