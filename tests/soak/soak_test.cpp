// A seeded random operator drives the program on the headless backend for hours of
// virtual time: chords held, released and tapped; presses, drags and double-clicks with
// every button and modifier on every shown control of every window; typing into the text
// boxes, picks in the lists, button clicks, colour-dialog answers, the way back to the
// start dialog and GO again. It asks the program to quit only at the end, as an operator
// does after the match: GO if the start dialog is up, then Shift+right press on the
// emblem, which must end the program with code 0 and close every window. After every 10 ms of
// virtual time it checks what must always hold:
//   - the program is still running (no failure message);
//   - after a poll tick, both scores are numbers and not below 0, and the control menu's
//     height follows the parity of its expansion counter;
//   - the poll is never off for longer than the repeat guard allows;
// and after every operator action that the table's two country lists hold the country
// list.
//
//   QUORVEL_SOAK_HOURS   virtual hours (default 1)
//   QUORVEL_SOAK_SEED    the seed (default 20261207, so that a run repeats; printed)
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "control/control_menu.h"
#include "scenario/program_folder.h"
#include "start/start_dialog.h"
#include "table/score_table.h"
#include "ui/keys.h"
#include "ui/numtext.h"

namespace quorvel::testing {
namespace {

constexpr int kKeys[] = {ui::key::kControl, ui::key::kShift, ui::key::kTab, ui::key::kAlt, 'Q', 'W', 'V', 'B', '1',
                         '2', '8', '9', '0', '7', 'E', 'R', 'A', 'I'};
const char* const kTexts[] = {"", "0", "1", "3", "-2", "7.9", "abc", "1e3", "16384", "99999", "Zed", "2.5"};
constexpr long long kLongestPollPause = 620;  // the guard's 600 ms and one tick

class Operator {
public:
    Operator(Program& program, std::uint64_t seed) : program_(program), random_(seed) {}

    // Runs for `ms` of virtual time; returns an empty string, or what went wrong.
    std::string run(long long ms) {
        const long long end = program_.platform.now() + ms;
        while (program_.platform.now() < end) {
            act();
            if (auto fault = check(); !fault.empty()) return fault;
            const long long pause = pick(0, 9) == 0 ? pick(500, 3000) : pick(0, 120);
            for (long long waited = 0; waited < pause; waited += 10)
                if (auto fault = step(); !fault.empty()) return fault;
        }
        return {};
    }

    long long actions() const { return actions_; }

    // Ends the match and the program; returns an empty string, or what went wrong.
    std::string quit() {
        auto& platform = program_.platform;
        for (int key : kKeys) platform.releaseKey(key);
        app::App& app = *program_.app;
        if (!app.tableLoaded() || !app.table().visible()) {
            if (!app.startDialogLoaded() || !app.startDialog().visible()) return "neither the table nor the start dialog is up";
            app.startDialog().inputButtonClicked(app.startDialog().Command1);
            if (auto fault = step(); !fault.empty()) return fault;
            if (!app.tableLoaded() || !app.table().visible()) return "GO did not show the table";
        }
        auto& table = app.table();
        const ui::Rect emblem = table.Image2.formRect();
        table.inputPointerDown({emblem.left + emblem.width / 2, emblem.top + emblem.height / 2}, ui::mouse::kRight,
                               ui::modifier::kShift);
        if (!platform.quitCalled()) return "Shift+right press on the emblem did not end the program";
        if (platform.exitCode() != 0)
            return "the program ended with code " + std::to_string(platform.exitCode()) + ": " + program_.lastMessage();
        if (app.startDialogLoaded() || app.tableLoaded() || app.controlMenuLoaded())
            return "a window is still loaded after the program ended";
        return {};
    }

private:
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    template <class T, std::size_t N>
    const T& choose(const T (&items)[N]) {
        return items[static_cast<std::size_t>(pick(0, static_cast<int>(N) - 1))];
    }

    ui::Form* shownForm() {
        app::App& app = *program_.app;
        std::vector<ui::Form*> forms;
        if (app.startDialogLoaded() && app.startDialog().visible()) forms.push_back(&app.startDialog());
        if (app.tableLoaded() && app.table().visible()) forms.push_back(&app.table());
        if (app.controlMenuLoaded() && app.controlMenu().visible()) forms.push_back(&app.controlMenu());
        if (forms.empty()) return nullptr;
        return forms[static_cast<std::size_t>(pick(0, static_cast<int>(forms.size()) - 1))];
    }

    void act() {
        ++actions_;
        auto& platform = program_.platform;
        const int what = pick(0, 99);
        if (what < 30) {
            const int key = choose(kKeys);
            switch (pick(0, 2)) {
                case 0: platform.pressKey(key); break;
                case 1: platform.releaseKey(key); break;
                default: platform.tapKey(key); break;
            }
            return;
        }
        if (what < 33) {
            for (int key : kKeys) platform.releaseKey(key);
            return;
        }
        if (what < 35) {
            const std::uint32_t colour = static_cast<std::uint32_t>(pick(0, 0xFFFFFF));
            platform.answerColorDialog(pick(0, 1) ? std::optional<ui::Color>(colour) : std::nullopt);
            return;
        }
        ui::Form* form = shownForm();
        if (!form) return;
        const auto& controls = form->controls();
        ui::Control& control = *controls[static_cast<std::size_t>(pick(0, static_cast<int>(controls.size()) - 1))];
        if (!control.shown()) return;
        if (control.windowless())
            gesture(*form, control);
        else
            useNative(*form, control);
    }

    // A window may close under a press (back to the start dialog) and is then freed.
    bool alive(const ui::Form* form) const {
        const app::App& app = *program_.app;
        auto& mutableApp = *program_.app;
        return (app.startDialogLoaded() && form == &mutableApp.startDialog()) ||
               (app.tableLoaded() && form == &mutableApp.table()) ||
               (app.controlMenuLoaded() && form == &mutableApp.controlMenu());
    }

    // Ends the program: the operator does that only at the end.
    // A right press with Shift on the emblem, wherever the press was aimed: the emblem
    // lies over the edge of the series caption.
    bool quits(const ui::Form& form, ui::Point at, int button, int shift) const {
        if (!program_.app->tableLoaded() || &form != &program_.app->table()) return false;
        const auto& emblem = program_.app->table().Image2;
        return emblem.shown() && emblem.formRect().contains(at) && button == ui::mouse::kRight &&
               shift == ui::modifier::kShift;
    }

    void gesture(ui::Form& form, const ui::Control& control) {
        const ui::Rect r = control.formRect();
        const auto inside = [&] {
            return ui::Point{r.left + pick(0, std::max(0, r.width - 1)), r.top + pick(0, std::max(0, r.height - 1))};
        };
        const ui::Point at = inside();
        const int buttons[] = {ui::mouse::kLeft, ui::mouse::kRight, ui::mouse::kMiddle};
        const int button = choose(buttons);
        const int shift = pick(0, 3) == 0 ? pick(0, 7) : 0;
        if (quits(form, at, button, shift)) return;
        ui::Form* target = &form;
        if (pick(0, 4) == 0 && button == ui::mouse::kLeft) {
            target->inputPointerDown(at, button, shift);
            if (alive(target)) target->inputPointerUp(at, button, shift);
            if (alive(target)) target->inputDoubleClick(at, button, shift);
            if (alive(target)) target->inputPointerUp(at, button, shift);
            return;
        }
        target->inputPointerDown(at, button, shift);
        int held = button;
        if (pick(0, 3) == 0 && alive(target)) {
            const int second = choose(buttons);
            if (!quits(form, at, second, shift)) {
                target->inputPointerDown(at, second, shift);
                held |= second;
            }
        }
        for (int moves = pick(0, 6); moves > 0 && alive(target); --moves) {
            // Drags reach far outside the control and the window, where the pick strip lies.
            const ui::Point to{at.x + pick(-12000, 16000), at.y + pick(-3000, 6000)};
            target->inputPointerMove(to, held, shift);
        }
        // The releases of a window that closed under the press go nowhere.
        for (const int released : buttons)
            if ((held & released) != 0 && alive(target)) target->inputPointerUp(at, released, shift);
    }

    void useNative(ui::Form& form, ui::Control& control) {
        switch (control.kind()) {
            case ui::ControlKind::TextBox:
                // The capture interval is left at 0: with captures on, the random operator's
                // changes would write a picture file every second and the soak would measure
                // the disk. The capture has tests of its own.
                if (program_.app->controlMenuLoaded() && &form == &program_.app->controlMenu() && control.name() == "Text6")
                    break;
                form.inputTextEdited(control, choose(kTexts));
                break;
            case ui::ControlKind::ComboBox: {
                auto& combo = static_cast<ui::ComboBox&>(control);
                if (combo.listCount() > 0) form.inputListPicked(combo, pick(0, combo.listCount() - 1));
                break;
            }
            case ui::ControlKind::Button:
                if (pick(0, 1) == 0)
                    form.inputButtonClicked(static_cast<ui::Button&>(control));
                else
                    form.inputControlPointerDown(control, {10, 10}, ui::mouse::kRight, pick(0, 1));
                break;
            default: break;
        }
    }

    std::string check() {
        auto& platform = program_.platform;
        if (platform.quitCalled())
            return "the program ended with code " + std::to_string(platform.exitCode()) + ": " + program_.lastMessage();
        app::App& app = *program_.app;
        if (app.tableLoaded()) {
            auto& table = app.table();
            // An action may turn the poll on (a move over the emblem restarts it).
            if (&table == table_ && table.Timer1().enabled()) pollOn_ = platform.now();
            if (table.Combo1.items() != app.countries() || table.Combo2.items() != app.countries())
                return "the table's country lists do not hold the country list";
        }
        return {};
    }

    std::string step() {
        auto& platform = program_.platform;
        app::App& app = *program_.app;
        const table::ScoreTable* before = app.tableLoaded() ? &app.table() : nullptr;
        const bool pollWasOn = before && app.table().Timer1().enabled();
        platform.advance(10);
        if (platform.quitCalled()) return check();
        if (!app.tableLoaded()) {
            table_ = nullptr;  // the next table may be made where this one was
            return {};
        }
        auto& table = app.table();
        if (&table != table_) {
            table_ = &table;
            pollOn_ = platform.now();
        }
        if (table.Timer1().enabled()) {
            if (pollWasOn && before == &table) {
                for (const ui::Label* score : {&table.T1, &table.T2}) {
                    const auto value = ui::parseNumber(score->caption());
                    if (!value || *value < 0)
                        return "after a poll tick score " + score->name() + " reads \"" + score->caption() + "\"";
                }
                if (app.controlMenuLoaded()) {
                    const auto& menu = app.controlMenu();
                    const bool folded = menu.expansionCounter() % 2 == 0;
                    const int line = menu.NoticeLine && menu.NoticeLine->visible() ? menu.NoticeLine->rect().height : 0;
                    const int expected = folded ? control::ControlMenu::kCollapsedHeight + line
                                                : control::ControlMenu::kExpandedHeight;
                    if (menu.height() != expected)
                        return "the control menu is " + std::to_string(menu.height()) + " twips high at counter " +
                               menu.tag();
                }
            }
            pollOn_ = platform.now();
        } else if (platform.now() - pollOn_ > kLongestPollPause) {
            return "the key poll has been off for " + std::to_string(platform.now() - pollOn_) +
                   " ms (its guard " + (table.Timer6().enabled() ? "armed" : "not armed") + ")";
        }
        return {};
    }

    Program& program_;
    std::mt19937_64 random_;
    long long actions_ = 0;
    const table::ScoreTable* table_ = nullptr;
    long long pollOn_ = 0;
};

long long envNumber(const char* name, long long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::atoll(text) : fallback;
}

TEST(Soak, ARandomOperatorKeepsTheTableValidForHoursOfVirtualTime) {
    const std::uint64_t seed = static_cast<std::uint64_t>(envNumber("QUORVEL_SOAK_SEED", 20261207));
    const long long hours = envNumber("QUORVEL_SOAK_HOURS", 1);
    std::printf("soak: seed %llu, %lld virtual hours (QUORVEL_SOAK_SEED=%llu repeats it)\n",
                static_cast<unsigned long long>(seed), hours, static_cast<unsigned long long>(seed));
    Program program;
    ASSERT_TRUE(program.start()) << program.lastMessage();
    Operator op(program, seed);
    std::string fault = op.run(hours * 3600 * 1000);
    if (fault.empty()) fault = op.quit();
    EXPECT_EQ(fault, "") << "at " << program.platform.now() << " ms of virtual time, after " << op.actions()
                         << " actions; repeat with QUORVEL_SOAK_SEED=" << seed;
    std::printf("soak: %lld actions, %lld ms of virtual time\n", op.actions(), program.platform.now());
}

}  // namespace
}  // namespace quorvel::testing
