// The roster file read by the start dialog's load, a roster player applied at GO!!!, at
// the menu's OK and by the remote control, and swapping the two sides.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "control/control_menu.h"
#include "remote/api.h"
#include "scenario/program_folder.h"
#include "start/start_dialog.h"
#include "table/score_table.h"
#include "ui/keys.h"

namespace quorvel::testing {
namespace {

using nlohmann::json;

class Roster : public ::testing::Test {
protected:
    Program program;
    app::App& app() { return *program.app; }
    table::ScoreTable& table() { return app().table(); }
    control::ControlMenu& menu() { return app().controlMenu(); }

    void roster(const std::vector<std::string>& lines) { program.folder.writeLines("Players.csv", lines); }
    void go() {
        auto& dialog = app().startDialog();
        dialog.inputButtonClicked(dialog.Command1);
    }
    // Names the two players in the start dialog and presses GO!!!.
    void goWith(const std::string& name1, const std::string& name2, int language = -1) {
        ASSERT_TRUE(program.start()) << program.lastMessage();
        auto& dialog = app().startDialog();
        if (language >= 0) dialog.inputListPicked(dialog.Combo1, language);
        dialog.inputTextEdited(dialog.Text1, name1);
        dialog.inputTextEdited(dialog.Text2, name2);
        go();
    }
    remote::Response request(const std::string& method, const std::string& path, const std::string& body = "") {
        const remote::Api api({"127.0.0.1", 8421, ""});
        auto admitted = api.admit({method, path, "127.0.0.1:8421", "application/json", "", body});
        if (auto* refused = std::get_if<remote::Response>(&admitted)) return *refused;
        return remote::Api::run(app(), std::get<remote::Command>(admitted));
    }
    // The whole of both sides, for comparing a table before and after.
    std::string sides() {
        auto& t = table();
        std::string all = remote::Api::stateJson(app()) + t.Label4.caption() + t.Label5.caption() + t.Label5.tag() +
                          t.Label6.tag() + menu().Text1.text() + menu().Text3.text() + menu().Text4.text() +
                          menu().SC1.caption() + std::to_string(t.gennum1) + std::to_string(t.P1.font().size) +
                          std::to_string(t.SC1.fillColor()) + std::to_string(t.SC12->fillColor()) +
                          t.F1.picture()->source() + t.I1.picture()->source();
        for (bool shown : {t.F1.visible(), t.F2.visible(), t.LiveP1.visible(), t.LiveP2.visible(), t.I1.visible(),
                           t.I2.visible()})
            all += shown ? '1' : '0';
        return all;
    }
};

TEST_F(Roster, HeaderVariantsQuotesAndEncodingsAreRead) {
    // Semicolons, columns in any order and case, an unknown column, quotes holding
    // separators and doubled quotes, UTF-8 with its mark, CR LF.
    program.folder.write("Players.csv", "\xEF\xBB\xBFNotes;PORTRAIT;Name;Color;country;Tag\r\n"
                                        "\"a; b\";P2\\12;\" Ann \"\"the\"\" Ace \";skyblue;country 3;AceAnn\r\n"
                                        ";;Ёлка;;Страна 4\r\n;;;;;\r\n");
    ASSERT_TRUE(program.start()) << program.lastMessage();
    const auto& players = app().roster().players();
    ASSERT_EQ(players.size(), 2u);
    EXPECT_EQ(players[0].name, "Ann \"the\" Ace");
    EXPECT_EQ(players[0].portrait->set, "P2\\");
    EXPECT_EQ(players[0].portrait->number, 12);
    EXPECT_EQ(players[0].colour, 5);
    EXPECT_EQ(players[0].country->language, "English");
    EXPECT_EQ(players[0].country->place, 3);
    EXPECT_EQ(players[1].country->language, "Russian");
    EXPECT_FALSE(players[1].colour || players[1].portrait);
    EXPECT_EQ(app().roster().find("ёЛКА"), &players[1]);
    // A bracket site names a player by the tag, else by the name.
    EXPECT_EQ(app().roster().findOnSite("aceann"), &players[0]);
    EXPECT_EQ(app().roster().findOnSite("ЁЛКА"), &players[1]);

    // Commas, LF, the ANSI code page (Windows-1251).
    program.folder.write("Players.csv", "name,country\n\xC8\xE3\xEE\xF0\xFC,\"Land 9\"\n");
    ASSERT_TRUE(program.start()) << program.lastMessage();
    EXPECT_EQ(app().roster().players().at(0).name, "Игорь");
    EXPECT_EQ(app().roster().players().at(0).country->place, 9);
}

TEST_F(Roster, ABrokenFileIsToldNamingTheFileLineAndValueAndTheProgramGoesOn) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"player,country", "Ann,Country 1"}, "line 1"},
        {{"name", "Ann", "ANN"}, "line 3: the name is already on line 2 (the value \"ANN\")"},
        {{"name,country", "Ann,Atlantis"}, "line 2: no country file names this country (the value \"Atlantis\")"},
        {{"name,colour", "Ann,Teal"}, "line 2: no palette colour has this name"},
        {{"name,portrait", "Ann,P3/1"}, "line 2: the portrait is not a set"},
        {{"name,portrait", "Ann,P1/13"}, "line 2: the portrait's number"},
        {{"name", "\"Ann"}, "line 2: a field's quote is not closed"},
        {{"name,colour", ",Red"}, "line 2: the name is empty"},
        {{"name", "ılker", "İlker", "Ilker"}, "line 4: the name is already on line 3"},  // İ is i, not ı
    };
    for (const auto& [lines, message] : cases) {
        Program p;
        p.folder.writeLines("Players.csv", lines);
        EXPECT_TRUE(p.start());
        EXPECT_NE(p.lastMessage().find("Players.csv, " + message), std::string::npos) << p.lastMessage();
    }
    std::vector<std::string> many = {"name"};
    for (int i = 0; i <= day::kMaxRosterPlayers; ++i) many.push_back("P" + std::to_string(i));
    roster(many);
    EXPECT_TRUE(program.start());
    EXPECT_NE(program.lastMessage().find("line 10002: the roster holds at most 10000"), std::string::npos);
    EXPECT_NE(program.lastMessage().find("goes on without a roster"), std::string::npos);
    roster({"name,colour", "Ann,Red"});  // the next load keeps the roster read last
    goWith("Ann", "Bob");
    roster({"name,colour", "Ann,Teal"});
    menu().inputControlDoubleClick(menu().Picture2);
    EXPECT_NE(program.lastMessage().find("as it was last read (1 player)"), std::string::npos);
    go();
    EXPECT_EQ(table().Label5.tag(), "1");
    program.folder.writeLines("C_German.dat", std::vector<std::string>(302, "Land"));  // the program's own: fatal
    EXPECT_FALSE(program.start());
}

TEST_F(Roster, AShippedCountryShowsAsItselfInEveryLanguageOrIsToldButNeverGuessed) {
    std::filesystem::copy(QUORVEL_SOURCE_DIR "/data/program", program.folder.path(),
                          std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
    roster({"name,country", "Ann,France", "Bob,United States", "Cid,Réunion", "Dan,Sweden"});
    const std::pair<int, std::string> cases[] = {{0, "Соединённые Штаты|Реюньон|Франция"}, {5, "США|Реюньйон|Франція"}};
    for (const auto& [language, shown] : cases) {  // Russian, Ukrainian
        goWith("Bob", "Ann", language);
        const std::string bob = table().LiveP1.caption();
        EXPECT_EQ(request("POST", "/api/action/roster", R"({"player": 1, "name": "Cid"})").status, 200);
        EXPECT_EQ(bob + "|" + table().LiveP1.caption() + "|" + table().LiveP2.caption(), shown);
    }
    program.folder.remove("C_English.codes");  // as an older folder: Sweden's flag tells it, France's does not
    goWith("Dan", "Ann");
    // Ann's country cannot be told: she has none rather than Bob's, Sweden.
    EXPECT_EQ(table().LiveP1.caption() + std::to_string(table().Combo2.listIndex()), "Швеция-1");
    EXPECT_EQ(table().LiveP2.caption() + (table().F2.picture() ? "flag" : ""), "");
    const std::string told = program.lastNotice();
    EXPECT_NE(told.find("Players.csv, line 2: the Russian country list"), std::string::npos) << told;
    EXPECT_TRUE(told.ends_with("Франция, Французская Гвиана, Французские южные территории (the value \"France\")"));
    EXPECT_EQ(request("POST", "/api/action/roster", R"({"player": 1, "name": "Ann"})").status, 400);
}

TEST_F(Roster, GoAndOkApplyARosterPlayerAfterTheNameAndOlderReleasesReadNoRoster) {
    roster({"name,country,colour,portrait", "Ann,Country 12,Purple,Origin/3", "Bob,,White,P2/5",
            "Cid,Страна 4,,"});
    // Страна 4 and Country 9 are one country: the same flag, unlike every other.
    std::string flag = ProgramFolder::gifBytes();
    flag[13] = '\x80';
    program.folder.write("pic/flags/Russian/Страна 4.gif", flag);
    program.folder.write("pic/flags/English/Country 9.gif", flag);
    goWith("ann", "Nobody");
    EXPECT_EQ(table().P1.caption(), "Ann");
    EXPECT_EQ(table().Combo1.listIndex(), 12);
    EXPECT_EQ(table().LiveP1.caption(), "Country 12");
    EXPECT_NE(table().F1.picture()->source().find("English\\Country 12.gif"), std::string::npos);
    EXPECT_EQ(table().SC1.fillColor(), day::kPalette[6].color);
    EXPECT_EQ(table().Label5.tag(), "6");
    EXPECT_EQ(table().Label4.caption(), "Origin\\");
    EXPECT_NE(table().I1.picture()->source().find("Origin\\3.gif"), std::string::npos);
    EXPECT_EQ(table().P2.caption(), "Nobody");
    EXPECT_EQ(table().Combo2.listIndex(), 7);

    // At OK: player 2's half has no White, so the colour stays; a Russian country shows
    // as the same country of the English list.
    menu().inputTextEdited(menu().Text2, "BOB");
    menu().inputTextEdited(menu().Text1, "cid");
    const ui::Color colour2 = table().SC2.fillColor();
    menu().inputButtonClicked(menu().Command1);
    EXPECT_EQ(table().P2.caption() + table().LiveP2.caption() + std::to_string(table().Combo2.listIndex()), "Bob-1");
    EXPECT_EQ(table().SC2.fillColor(), colour2);
    EXPECT_NE(table().I2.picture()->source().find("P2\\5.gif"), std::string::npos);
    EXPECT_EQ(table().P1.caption(), "Cid");
    EXPECT_EQ(table().LiveP1.caption(), "Country 9");

    Program older;
    auto options = ProgramFolder::defaultOptions();
    options.resize(11);
    older.folder.writeLines("Options.ini", options);
    older.folder.writeLines("Players.csv", {"broken"});
    EXPECT_TRUE(older.start(day::Release::R097Window)) << older.lastMessage();
    EXPECT_TRUE(older.app->roster().empty());
    remote::Command swap;
    swap.kind = remote::Command::Kind::Swap;
    EXPECT_EQ(remote::Api::run(*older.app, swap).status, 404);
}

TEST_F(Roster, OkAndTheRemoteApplyAPlayerOnlyWhenTheNameChangesAndAfterASwapNobody) {
    roster({"name,country,colour,portrait", "Ann,Country 12,Purple,Origin/3", "Bob,Country 2,Blue,P2/5"});
    goWith("Ann", "Bob");
    const auto ok = [&] { menu().inputButtonClicked(menu().Command1); };
    table().inputListPicked(table().Combo1, 30);  // during the match: a country, a portrait, a swatch
    table().pressChord('Q');
    menu().inputControlClicked(menu().C1(1));
    menu().show();  // its boxes read from the table
    const std::string during = sides();
    menu().inputTextEdited(menu().Text1, "ANN");
    ok();
    EXPECT_EQ(during, sides()) << "the same name in another case keeps what the match set";
    table().swapSides();
    const std::string swapped = sides();
    ok();
    EXPECT_EQ(request("POST", "/api/action/roster", R"({"player": 2, "name": "ann"})").status, 200);
    EXPECT_EQ(swapped, sides()) << "neither OK after a swap nor the roster action for the player there applies";
    menu().inputTextEdited(menu().Text1, "Ann");
    ok();
    EXPECT_EQ(table().Combo1.listIndex(), 12) << "a name new to a side applies its player";
    EXPECT_EQ(request("POST", "/api/action/roster", R"({"player": 2, "name": "Bob"})").status, 200);
    EXPECT_EQ(table().Combo2.listIndex(), 2);
}

TEST_F(Roster, SwappingTwiceGivesBackTheTableAndTheChordIsGuarded) {
    roster({"name,country,colour,portrait", "Ann,Country 12,White,Origin/3"});
    goWith("Ann", "Jonas");
    table().T1.setCaption("2");
    table().P2.setFontSize(17);
    table().F2.setVisible(false);
    const std::string before = sides();
    table().swapSides();
    EXPECT_EQ(table().P2.caption(), "Ann");
    EXPECT_EQ(menu().Text2.text(), "Ann");
    EXPECT_EQ(table().T2.caption(), "2");
    EXPECT_EQ(table().P1.font().size, 17);
    EXPECT_EQ(table().Label6.tag(), "9") << "White keeps its swatch on player 2's side";
    EXPECT_EQ(table().Label5.caption(), "Origin\\");
    EXPECT_EQ(table().LiveP2.caption(), "Country 12");
    EXPECT_FALSE(table().F1.visible());
    EXPECT_NE(before, sides());
    table().swapSides();
    EXPECT_EQ(before, sides());

    // A held Ctrl+Shift+S swaps once, then again after the repeat guard.
    auto& platform = program.platform;
    for (int key : {ui::key::kControl, ui::key::kShift, int{'S'}}) platform.pressKey(key);
    platform.advance(10);
    EXPECT_EQ(table().P1.caption(), "Jonas");
    platform.advance(590);
    EXPECT_EQ(table().P1.caption(), "Jonas");
    platform.advance(20);
    EXPECT_EQ(table().P1.caption(), "Ann");
}

TEST_F(Roster, RemoteListsTheRosterAndSetsAPlayerOrSwapsTheSides) {
    roster({"name,country,colour,portrait", "Ann,,White,", "Bob,Country 2,,P1/1"});
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto list = json::parse(request("GET", "/api/roster").body);
    EXPECT_EQ(list["players"][1],
              json({{"name", "Bob"}, {"country", "Country 2"}, {"colour", nullptr}, {"portrait", "P1/1"}}));
    go();
    auto answer = request("POST", "/api/action/roster", R"({"player": 2, "name": "bob"})");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(json::parse(answer.body)["players"][1]["country"]["index"], 2);
    EXPECT_EQ(table().P2.caption(), "Bob");
    answer = request("POST", "/api/action/roster", R"({"player": 2, "name": "Ann"})");
    EXPECT_EQ(answer.status, 400);
    EXPECT_NE(answer.body.find("\\\"White\\\""), std::string::npos) << answer.body;
    EXPECT_EQ(table().P2.caption(), "Bob");
    EXPECT_EQ(request("POST", "/api/action/roster", R"({"player": 1, "name": "Zed"})").status, 400);
    EXPECT_EQ(request("POST", "/api/action/swap", "{}").status, 200);
    EXPECT_EQ(table().P1.caption(), "Bob");
}

}  // namespace
}  // namespace quorvel::testing
