#include "control/control_menu.h"

#include <algorithm>

#include "program/program.h"
#include "program/roster_names.h"
#include "control/icons.h"
#include "table/score_table.h"
#include "ui/error.h"
#include "ui/numtext.h"

namespace quorvel::control {
namespace {

constexpr ui::Color kMenuGrey = 0x00D9D9D9;

// Thumbnail positions (left, top in twips): a 4 x 3 grid at each side, and number 12
// beside "OK".
constexpr std::array<ui::Point, ControlMenu::kThumbnails> kThumbnails1 = {{
    {75, 390}, {525, 390}, {975, 390}, {1410, 390}, {60, 795}, {510, 795}, {960, 795},
    {1410, 795}, {60, 1215}, {510, 1215}, {960, 1215}, {1395, 1215}, {1830, 810},
}};
constexpr std::array<ui::Point, ControlMenu::kThumbnails> kThumbnails2 = {{
    {3960, 390}, {4410, 390}, {4860, 390}, {5295, 390}, {3945, 795}, {4395, 795}, {4845, 795},
    {5280, 795}, {3945, 1215}, {4395, 1215}, {4845, 1215}, {5280, 1230}, {3510, 810},
}};

// Where each palette swatch sits (twips): player 1's ten at the left, player 2's nine at
// the right, the two Dark ones and player 1's White halves of a swatch.
constexpr std::array<ui::Rect, day::kPaletteSize> kSwatchRects = {{
    {0, 1680, 315, 315},    {330, 1680, 315, 315},  {645, 1680, 315, 315},  {945, 1680, 315, 315},
    {1245, 1680, 315, 315}, {1545, 1680, 315, 315}, {1845, 1680, 315, 315}, {2145, 1680, 315, 315},
    {2445, 1680, 315, 180}, {2445, 1860, 315, 180}, {3255, 1680, 315, 315}, {3570, 1680, 315, 315},
    {3885, 1680, 315, 315}, {4185, 1680, 315, 315}, {4485, 1680, 315, 315}, {4785, 1680, 315, 315},
    {5085, 1680, 315, 315}, {5385, 1680, 315, 315}, {2940, 1680, 315, 180},
}};

// The day's next match. The folded menu has no free room (portraits, palette and buttons
// fill it edge to edge); unfolded, the screenshot frame has one between the interval box
// and "background colour".
constexpr ui::Rect kNextMatchButton{3300, 2955, 240, 180};
// The notice line, below the palette and the swap button.
constexpr ui::Rect kNoticeLine{60, 2055, 5595, 255};
constexpr ui::Color kNoticeColour = ui::rgb(160, 0, 0);

void toggle(ui::Control& control) { control.setVisible(!control.visible()); }

ui::PicturePtr iconPicture(ui::Platform& platform, const char* name, const Icon& icon) {
    return platform.makePicture(name, icon.width, icon.height, icon.pixels);
}

}  // namespace

ControlMenu::ControlMenu(program::Program& program)
    : ui::Form(program.runtime(), "Form3"),
      program_(program),
      Frame1(add<ui::Frame>("Frame1", ui::Rect{60, 2145, 5610, 1170})),
      Label1(add<ui::Label>("Label1", ui::Rect{390, 225, 5085, 225})),
      Label2(add<ui::Label>("Label2", ui::Rect{60, 510, 1140, 300})),
      Label3(add<ui::Label>("Label3", ui::Rect{60, 750, 2880, 375})),
      Label4(add<ui::Label>("Label4", ui::Rect{3540, 825, 915, 210})),
      Label5(add<ui::Label>("Label5", ui::Rect{4470, 825, 1065, 270})),
      SC1(add<ui::Label>("SC1", ui::Rect{2040, 345, 705, 345})),
      SC2(add<ui::Label>("SC2", ui::Rect{3030, 345, 705, 345})),
      Picture5(add<ui::PictureBox>("Picture5", ui::Rect{1830, 345, 210, 330})),
      Picture6(add<ui::PictureBox>("Picture6", ui::Rect{3690, 345, 210, 330})),
      Picture1(add<ui::PictureBox>("Picture1", ui::Rect{2700, 360, 330, 300})),
      Image1(add<ui::Image>("Image1", ui::Rect{2220, 1200, 1320, 465})),
      Picture3(add<ui::PictureBox>("Picture3", ui::Rect{1860, 1290, 300, 300})),
      Picture2(add<ui::PictureBox>("Picture2", ui::Rect{3585, 1290, 300, 300})),
      Picture4(add<ui::PictureBox>("Picture4", ui::Rect{2700, 1665, 300, 375})),
      Text1(add<ui::TextBox>("Text1", ui::Rect{30, 30, 1770, 285})),
      Text3(add<ui::TextBox>("Text3", ui::Rect{1800, 30, 320, 285})),
      BO(add<ui::TextBox>("BO", ui::Rect{2130, 30, 1455, 285})),
      Text4(add<ui::TextBox>("Text4", ui::Rect{3600, 30, 320, 285})),
      Text2(add<ui::TextBox>("Text2", ui::Rect{3900, 30, 1755, 300})),
      Command1(add<ui::Button>("Command1", ui::Rect{2280, 780, 1185, 420})),
      Text5(add<ui::TextBox>("Text5", ui::Rect{1200, 2640, 4410, 285})),
      Text6(add<ui::TextBox>("Text6", ui::Rect{2715, 765, 495, 285})) {
    setCaption(std::string(37, ' ') + "-=Control menu=-");
    setBorderStyle(ui::BorderStyle::FixedSingle);
    setBackColor(kMenuGrey);
    setClientSize(5715, 3330);
    setTag("0");

    for (ui::Control* inside : {static_cast<ui::Control*>(&Label1), static_cast<ui::Control*>(&Label2),
                                static_cast<ui::Control*>(&Label3), static_cast<ui::Control*>(&Label4),
                                static_cast<ui::Control*>(&Label5), static_cast<ui::Control*>(&Text6)})
        inside->setContainer(&Frame1);
    Frame1.setCaption("Скриншот окна");
    Frame1.setBackColor(kMenuGrey);
    Label1.setCaption("Сохранять в файл изображение окна (*.bmp; *.png; *.gif; *.ipg)");
    Label2.setCaption("Путь к файлу:");
    Label3.setCaption("Интервал" + std::string(43, ' ') + "(только натуральные значения)");
    Label4.setCaption("Цвет фона:");
    for (ui::Label* label : {&Label1, &Label2, &Label3, &Label4}) label->setBackColor(kMenuGrey);
    Label5.setBackColor(0x00000000);

    for (int i = 0; i < day::kPaletteSize; ++i) {
        const day::Swatch& swatch = day::kPalette[static_cast<std::size_t>(i)];
        auto& label = add<ui::Label>("C1", kSwatchRects[static_cast<std::size_t>(i)], i);
        label.setBackColor(swatch.color);
        label.setTag(swatch.name);
        swatches_.push_back(&label);
    }
    for (int i = 0; i < kThumbnails; ++i) {
        const int size1 = i == 0 ? 400 : 405;
        const auto at1 = kThumbnails1[static_cast<std::size_t>(i)];
        const auto at2 = kThumbnails2[static_cast<std::size_t>(i)];
        thumbnails1_.push_back(&add<ui::Image>("img1", ui::Rect{at1.x, at1.y, size1, size1}, i));
        thumbnails2_.push_back(&add<ui::Image>("img2", ui::Rect{at2.x, at2.y, 405, 405}, i));
    }

    const ui::Font colourNameFont{"Arial Narrow", 11.25, false, true};
    for (ui::Label* label : {&SC1, &SC2}) {
        label->setAlignment(ui::Alignment::Center);
        label->setFont(colourNameFont);
        label->setForeColor(0x001D1F16);
    }
    SC1.setCaption("Green");
    SC1.setBackColor(0x002DD23E);
    SC2.setCaption("Red");
    SC2.setBackColor(0x000000FF);
    Picture4.setBackColor(0x00C0C0C0);
    Picture1.setPicture(iconPicture(platform(), "bar icon", barIcon()));
    Picture3.setPicture(iconPicture(platform(), "portraits icon", diagonalIcon()));
    Picture2.setPicture(iconPicture(platform(), "back icon", arrowIcon()));
    Picture4.setPicture(iconPicture(platform(), "bar layout icon", twoBarsIcon()));
    Image1.setPicture(iconPicture(platform(), "logo", logo()));
    const day::Features& has = program.features();
    if (has.hasSwap()) {
        Picture7 = &add<ui::PictureBox>("Picture7", ui::Rect{3000, 1860, 255, 180});
        Picture7->setBackColor(kMenuGrey);
        Picture7->setPicture(iconPicture(platform(), "swap icon", swapIcon()));
        Picture7->onClick = [this] { program_.table().swapSides(); };
    }
    if (has.hasSchedule()) {
        Picture8 = &add<ui::PictureBox>("Picture8", kNextMatchButton);
        Picture8->setBackColor(kMenuGrey);
        Picture8->setPicture(iconPicture(platform(), "next match icon", nextIcon()));
        Picture8->onClick = [this] { program_.table().nextMatchByHand(); };
    }
    if (has.hasNotices()) {
        NoticeLine = &add<ui::Label>("NoticeLine", kNoticeLine);
        NoticeLine->setBackColor(kMenuGrey);
        NoticeLine->setForeColor(kNoticeColour);
        NoticeLine->setFont({"MS Sans Serif", 8.25, true});
        NoticeLine->setOneLine(true);
        NoticeLine->setVisible(false);
        NoticeLine->onClick = [this] {
            program_.notices().putAway();
            showNotice();
        };
    }
    Text1.setText("Text1");
    Text3.setText("0");
    BO.setText("BO 5");
    Text4.setText("0");
    Text2.setText("Text2");
    Command1.setCaption("OK");
    Command1.setFont({"MS Sans Serif", 9.75});
    Text5.setText("Text5");
    Text6.setText("0");

    Command1.onClick = [this] { applyToTable(); };
    Command1.onMouseDown = [this](const ui::MouseEvent& e) {
        if (e.shift == ui::modifier::kShift) {
            setExpansionCounter(expansionCounter() + 1);
            applyExpansion();
        }
        if (e.button == ui::mouse::kRight) {
            applyToTable();
            program_.unloadControlMenu();
        }
    };
    Text6.onChange = [this] {
        // Text that is not a number, or a number the timer cannot take, leaves the
        // interval as it was.
        const auto value = ui::parseNumber(Text6.text());
        if (!value || *value < 0) return;
        const auto interval = ui::toInt(*value);
        if (interval && *interval <= ui::Timer::kMaxInterval) program_.table().Timer3().setInterval(*interval);
    };
    Picture1.onMouseDown = [this](const ui::MouseEvent& e) {
        auto& table = program_.table();
        if (e.button == ui::mouse::kRight) {
            for (ui::Control* c : {static_cast<ui::Control*>(&table.F1), static_cast<ui::Control*>(&table.F2),
                                   static_cast<ui::Control*>(&table.LiveP1), static_cast<ui::Control*>(&table.LiveP2)})
                toggle(*c);
        }
        if (e.button == ui::mouse::kLeft && e.shift == 0) {
            toggle(table.BO);
            if (table.BOShadow) toggle(*table.BOShadow);
        }
        if (e.button == ui::mouse::kLeft && e.shift == ui::modifier::kShift && program_.features().seriesShiftClickTogglesCountries()) {
            toggle(table.LiveP1);
            toggle(table.LiveP2);
        }
    };
    Picture3.onClick = [this] {
        toggle(program_.table().I1);
        toggle(program_.table().I2);
    };
    if (program_.features().scoreBoxesToggleScores()) {
        Text3.onDblClick = [this] {
            toggle(program_.table().T1);
            toggle(program_.table().T2);
        };
        Text4.onDblClick = Text3.onDblClick;
    }
    Picture2.onDblClick = [this] { backToStartDialog(); };
    Image1.onClick = [this] { OpenSite(kWebPage); };
    connectColours();
    connectPortraits();

    // The roster's names offered while a name is typed (release 0.99 reads a roster).
    if (program.features().hasRoster()) {
        addSuggestions(Text1, program::rosterNames(program));
        addSuggestions(Text2, program::rosterNames(program));
    }
}

int ControlMenu::expansionCounter() const {
    return static_cast<int>(ui::parseNumber(tag()).value_or(0));
}

void ControlMenu::setExpansionCounter(int counter) { setTag(ui::formatNumber(static_cast<long long>(counter))); }

void ControlMenu::applyExpansion() {
    const bool unfolded = expansionCounter() % 2 != 0;
    const int noticeLine = NoticeLine && NoticeLine->visible() && !unfolded ? kNoticeLine.height : 0;
    setHeight((unfolded ? kExpandedHeight : kCollapsedHeight) + noticeLine);
}

void ControlMenu::showNotice() {
    if (!NoticeLine) return;
    const day::Notice* notice = program_.notices().unread();
    if (notice) {
        std::string line = notice->when.substr(11, 5) + "  " + notice->text;
        std::replace(line.begin(), line.end(), '\n', ' ');
        NoticeLine->setCaption(std::move(line));
    }
    NoticeLine->setVisible(notice != nullptr);
    applyExpansion();
}

void ControlMenu::OpenSite(const std::string& address) { platform().shellOpen(address); }

void ControlMenu::fillThumbnails() {
    auto& table = program_.table();
    for (int n = 0; n < kThumbnails; ++n) {
        img1(n).setPicture(platform().loadPicture(table.portraitPath(table.portraitSet(1), n)));
        img2(n).setPicture(platform().loadPicture(table.portraitPath(table.portraitSet(2), n)));
    }
}

void ControlMenu::onLoad() {
    Text5.setText(program_.path("\\screenshot.bmp"));
    fillThumbnails();
    customColors_.fill(0);
    setHeight(kCollapsedHeight);
    showNotice();
    // Reading the holder labels creates the score table, hidden, if it does not exist.
    auto& table = program_.table();
    for (const int player : {1, 2})
        showSwatch(colourName(player),
                   static_cast<int>(ui::wholePart(ui::parseNumber(table.colourSwatch(player)).value_or(-1))));
}

void ControlMenu::showSwatch(ui::Label& label, int index) {
    if (index < 0 || index >= day::kPaletteSize)
        throw Error("The colour index " + std::to_string(index) + " names no swatch of the palette (0 to 18)");
    label.setBackColor(C1(index).backColor());
    label.setCaption(C1(index).tag());
}

void ControlMenu::onActivate() {
    auto& table = program_.table();
    Text1.setText(table.P1.caption());
    Text2.setText(table.P2.caption());
    Text3.setText(table.T1.caption());
    Text4.setText(table.T2.caption());
    BO.setText(table.BO.caption());
    // The colour labels follow the main bars; their names follow the last choice.
    // Release 0.94 leaves them as the last swatch press or the load set them.
    if (program_.features().colourLabelsFollowBars()) {
        SC1.setBackColor(table.SC1.fillColor());
        SC2.setBackColor(table.SC2.fillColor());
        const auto swatchName = [this](const std::string& tagText) {
            const auto index = ui::parseNumber(tagText);
            if (!index || *index < 0 || *index >= day::kPaletteSize) return std::string();
            return C1(static_cast<int>(*index)).tag();
        };
        SC1.setCaption(swatchName(table.colourSwatch(1)));
        SC2.setCaption(swatchName(table.colourSwatch(2)));
    }
    // The earlier releases keep the chosen background in the holder label only.
    Label5.setBackColor(program_.features().hasTableBackground() ? table.backColor() : table.backgroundColour());
    if (table.capturePath() != "Label2") Text5.setText(table.capturePath());
    if (table.captureIntervalText() != "Label3") Text6.setText(table.captureIntervalText());
}

void ControlMenu::applyToTable() {
    auto& table = program_.table();
    const std::string before1 = table.P1.caption();
    const std::string before2 = table.P2.caption();
    applyNames();
    // A score box that is not a number leaves that score as it was; the earlier
    // releases write whatever the boxes hold.
    const day::Features& has = program_.features();
    const bool typed = Text3.text() != table.T1.caption() || Text4.text() != table.T2.caption();
    if (!has.keepsScoresNumeric() || ui::isNumeric(Text3.text())) table.T1.setCaption(Text3.text());
    if (!has.keepsScoresNumeric() || ui::isNumeric(Text4.text())) table.T2.setCaption(Text4.text());
    if (typed) table.scoresTyped();
    applySeries();
    table.setBackgroundColour(Label5.backColor());
    table.setCapturePath(Text5.text());
    table.setCaptureIntervalText(Text6.text());
    program_.appliedCapture() = program::AppliedCapture{Text5.text(), Text6.text(), Label5.backColor()};
    table.setCaptureInterval(Text6.text());
    table.restartCaptures();
    if (has.okPaintsBackground()) table.setBackColor(Label5.backColor());
    if (has.hasRoster()) applyRosterChanges(before1, before2);
}

void ControlMenu::applyNames() {
    auto& table = program_.table();
    table.P1.setCaption(Text1.text());
    table.P2.setCaption(Text2.text());
}

void ControlMenu::applySeries() {
    auto& table = program_.table();
    table.BO.setCaption(BO.text());
    if (table.BOShadow) table.BOShadow->setCaption(BO.text());
}

void ControlMenu::backToStartDialog() {
    program_.table().showStartDialogWithNames();
    program_.unloadTable();
    program_.unloadControlMenu();
}

void ControlMenu::onCloseRequest() { program_.unloadControlMenu(); }

}  // namespace quorvel::control
