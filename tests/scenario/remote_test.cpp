// The remote control over real HTTP on loopback, with the program on the headless
// backend: the test's thread is the UI thread and runs the work the server posts while a
// client thread waits for its answer. Each action is compared with its chord, gesture or
// menu action on a twin program; bad requests are refused with the right status and
// message and change nothing; 10,000 concurrent requests are each applied once, in order.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <future>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "control/control_menu.h"
#include "day/palette.h"
#include "remote/api.h"
#include "remote/connections.h"
#include "remote/server.h"
#include "remote/table_feed.h"
#include "scenario/program_folder.h"
#include "start/start_dialog.h"
#include "support/raw_http.h"
#include "table/score_table.h"
#include "ui/error.h"
#include "ui/keys.h"

namespace quorvel::testing {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

struct Answer {
    int status = -1;  // -1: no answer
    json body;
    std::string contentType;
    httplib::Headers headers;
};

// A match on the headless backend (GO pressed, the table shown) with the remote control
// listening on a free loopback port.
class Remote : public ::testing::Test {
protected:
    Program program;
    std::unique_ptr<remote::Server> server;

    void SetUp() override {
        ASSERT_TRUE(program.start()) << program.lastMessage();
        go(program);
        listen(remote::Endpoint{"127.0.0.1", 0, ""});
    }
    void TearDown() override { server.reset(); }

    // The tests hold the UI thread while they write and read: longer than a deck's wait.
    void listen(const remote::Endpoint& endpoint, std::chrono::milliseconds uiWait = 10s) {
        server.reset();
        server = std::make_unique<remote::Server>(*program.app, endpoint, uiWait);
    }
    static void go(Program& p) {
        auto& dialog = p.app->startDialog();
        dialog.inputButtonClicked(dialog.Command1);
    }
    table::ScoreTable& table() { return program.app->table(); }
    control::ControlMenu& menu() { return program.app->controlMenu(); }
    std::string host() const { return "127.0.0.1:" + std::to_string(server->port()); }

    // Runs `call` on a client thread while this thread, the UI thread, runs the work it
    // posts, until the call returns.
    template <class Call>
    auto pumpWhile(Call call) {
        auto pending = std::async(std::launch::async, std::move(call));
        while (pending.wait_for(0ms) != std::future_status::ready) {
            program.platform.waitForPosted(5ms);
            program.platform.runPosted();
        }
        return pending.get();
    }

    std::string exchange(const std::string& bytes, bool endSending = true) {
        return exchangeRaw(server->port(), bytes, endSending, [this] {
            program.platform.waitForPosted(5ms);
            program.platform.runPosted();
        });
    }
    std::string scoreUp(int player, const char* connection = "keep-alive") const {
        return "POST /api/action/score-up HTTP/1.1\r\nHost: " + host() +
               "\r\nContent-Type: application/json\r\nContent-Length: 12\r\nConnection: " + connection +
               "\r\n\r\n{\"player\":" + std::to_string(player) + "}";
    }
    std::string upgradeTo(const std::string& path) const {
        return "GET " + path + " HTTP/1.1\r\nHost: " + host() +
               "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Version: 13\r\n"
               "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";
    }
    static std::size_t answers(const std::string& back, const std::string& status = "") {
        std::size_t count = 0;
        for (auto at = back.find("HTTP/1.1 " + status); at != std::string::npos; at = back.find("HTTP/1.1 " + status, at + 1))
            ++count;
        return count;
    }

    static Answer answer(const httplib::Result& result) {
        Answer a;
        if (!result) return a;
        a.status = result->status;
        a.contentType = result->get_header_value("Content-Type");
        a.headers = result->headers;
        a.body = json::parse(result->body, nullptr, false);
        if (a.body.is_discarded()) a.body = result->body;
        return a;
    }
    Answer post(const std::string& action, const std::string& body, httplib::Headers headers = {},
                const std::string& type = "application/json") {
        return pumpWhile([&] {
            httplib::Client client("127.0.0.1", server->port());
            return answer(client.Post("/api/action/" + action, headers, body, type));
        });
    }
    Answer get(const std::string& path, httplib::Headers headers = {}) {
        return pumpWhile([&] {
            httplib::Client client("127.0.0.1", server->port());
            return answer(client.Get(path, headers));
        });
    }
    // A WebSocket to `target` (path and query), opened while this thread runs the UI:
    // open, or refused with the status of the server's answer.
    std::unique_ptr<httplib::ws::WebSocketClient> socket(const std::string& target, int& status,
                                                          const httplib::Headers& headers = {}) {
        auto client = std::make_unique<httplib::ws::WebSocketClient>(
            "ws://127.0.0.1:" + std::to_string(server->port()) + target, headers);
        status = pumpWhile([&] { return client->connect().status(); });
        return client;
    }
    // The next message on a socket, while this thread runs the UI; null when it closed.
    json nextOn(httplib::ws::WebSocketClient& client) {
        return pumpWhile([&] {
            std::string message;
            return client.read(message) == httplib::ws::Fail ? json() : json::parse(message);
        });
    }
    json state() { return json::parse(remote::Api::stateJson(*program.app)); }
    // What a reader of the feed takes now, once the UI thread has run what was posted to it
    // (a first reader's call for the whole), without its version; null when nothing is new.
    json taken(remote::FeedStore::Reader& reader) {
        program.platform.runPosted();
        const auto message = reader.take();
        if (!message) return nullptr;
        json taken = json::parse(*message);
        EXPECT_EQ(taken["version"], reader.seen());
        taken.erase("version");
        return taken;
    }
    // A chord held for one tick of the poll, then the repeat guard's time.
    void chord(int key) {
        for (int k : {ui::key::kControl, ui::key::kShift, key}) program.platform.pressKey(k);
        program.platform.advance(10);
        for (int k : {ui::key::kControl, ui::key::kShift, key}) program.platform.releaseKey(k);
        program.platform.advance(700);
    }
    // Everything the actions may change: the reported state, the menu's boxes and the
    // colour bars.
    json everything() {
        json all = state();
        all["menu"] = {menu().Text1.text(), menu().Text2.text(), menu().Text3.text(), menu().Text4.text(),
                       menu().BO.text(),    menu().SC1.caption(), menu().SC2.caption()};
        all["bars"] = {table().SC1.fillColor(), table().SC2.fillColor(), table().SC12->visible(),
                       table().SC22->visible()};
        all["topmost"] = program.platform.window(table())->topmostCalls;
        return all;
    }
};

// --- Each action against what the keyboard does ---

// One action and the chord it mirrors, pressed on a twin program with Ctrl+Shift held.
struct ChordCase {
    const char* action;
    const char* body;
    int key;
    int times;  // the action and the chord, so often (a score down needs one up first)
};

class RemoteChords : public Remote, public ::testing::WithParamInterface<ChordCase> {};

TEST_P(RemoteChords, AnActionLeavesTheTableAndTheMenuAsItsChordDoes) {
    const ChordCase c = GetParam();
    Program twin;
    ASSERT_TRUE(twin.start()) << twin.lastMessage();
    go(twin);
    if (std::string(c.action) == "score-down") {
        // Both start at 2, so that a step down shows.
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(post("score-up", R"({"player":1})").status, 200);
            ASSERT_EQ(post("score-up", R"({"player":2})").status, 200);
            for (int key : {'1', '2'}) {
                for (int k : {ui::key::kControl, ui::key::kShift, key}) twin.platform.pressKey(k);
                twin.platform.advance(10);
                for (int k : {ui::key::kControl, ui::key::kShift, key}) twin.platform.releaseKey(k);
                twin.platform.advance(700);
            }
        }
    }
    json last;
    for (int i = 0; i < c.times; ++i) {
        const Answer a = post(c.action, c.body);
        ASSERT_EQ(a.status, 200) << a.body.dump();
        last = a.body;
        for (int k : {ui::key::kControl, ui::key::kShift, c.key}) twin.platform.pressKey(k);
        twin.platform.advance(10);
        for (int k : {ui::key::kControl, ui::key::kShift, c.key}) twin.platform.releaseKey(k);
        twin.platform.advance(700);
    }
    EXPECT_EQ(last, state()) << "the answer is the state the action left";
    EXPECT_EQ(state(), json::parse(remote::Api::stateJson(*twin.app)));
    auto& twinMenu = twin.app->controlMenu();
    EXPECT_EQ(menu().Text3.text(), twinMenu.Text3.text());
    EXPECT_EQ(menu().Text4.text(), twinMenu.Text4.text());
    EXPECT_EQ(table().gennum1, twin.app->table().gennum1);
    EXPECT_EQ(table().gennum2, twin.app->table().gennum2);
    EXPECT_EQ(table().Timer4().enabled(), twin.app->table().Timer4().enabled());
    EXPECT_EQ(table().Timer5().enabled(), twin.app->table().Timer5().enabled());
    EXPECT_EQ(program.platform.window(table())->topmostCalls, twin.platform.window(twin.app->table())->topmostCalls);
    EXPECT_TRUE(table().Timer1().enabled()) << "the key poll goes on: a request is no held key";
}

// portrait-next runs past picture 12 (13 presses) to show that the wrap is the chord's.
INSTANTIATE_TEST_SUITE_P(
    EachChordAction, RemoteChords,
    ::testing::Values(ChordCase{"score-up", R"({"player":1})", '1', 3}, ChordCase{"score-up", R"({"player":2})", '2', 2},
                      ChordCase{"score-down", R"({"player":1})", '8', 3},
                      ChordCase{"score-down", R"({"player":2})", '9', 1}, ChordCase{"score-reset", "{}", '0', 1},
                      ChordCase{"portrait-next", R"({"player":1})", 'Q', 14},
                      ChordCase{"portrait-next", R"({"player":2})", 'W', 2},
                      ChordCase{"portraits-hide", "{}", 'V', 1}, ChordCase{"pulse-series", R"({"on":false})", 'E', 1},
                      ChordCase{"pulse-countries", R"({"on":false})", 'R', 1}, ChordCase{"topmost", "{}", 'A', 1}),
    [](const ::testing::TestParamInfo<ChordCase>& entry) {
        std::string name = entry.param.action;
        for (char& ch : name)
            if (ch == '-') ch = '_';
        const std::string body = entry.param.body;
        if (body.find("\"player\":2") != std::string::npos) name += "_player_2";
        return name;
    });

TEST_F(Remote, ScoreUpOnATextScoreFollowsThePollsRuleAndTheMenuBoxKeepsItsOwnNumber) {
    // "OK" with a box that is not a number leaves the score; here the table itself holds
    // text, which the poll's rule puts right to 0 at once.
    table().T1.setCaption("abc");
    menu().Text3.setText("4");
    const Answer a = post("score-up", R"({"player":1})");
    ASSERT_EQ(a.status, 200);
    EXPECT_EQ(a.body["players"][0]["score"], "0");
    EXPECT_EQ(menu().Text3.text(), "5");
}

TEST_F(Remote, ScoreDownNeverGoesBelowZero) {
    const Answer a = post("score-down", R"({"player":2})");
    ASSERT_EQ(a.status, 200);
    EXPECT_EQ(table().T2.caption(), "0");
}

// --- The menu's and the gestures' actions ---

TEST_F(Remote, NamesAndSeriesAreHandedOverAsTheMenusOkDoesAndTheMenuShowsThem) {
    Answer a = post("names", R"({"player1":"Ана Петрова","player2":"Bo"})");
    ASSERT_EQ(a.status, 200) << a.body.dump();
    EXPECT_EQ(table().P1.caption(), "Ана Петрова");
    EXPECT_EQ(table().P2.caption(), "Bo");
    EXPECT_EQ(menu().Text1.text(), "Ана Петрова");
    EXPECT_EQ(a.body["players"][1]["name"], "Bo");

    // One name alone: the other stays as the table shows it, whatever its box held.
    menu().Text1.setText("typed but not applied");
    a = post("names", R"({"player2":"Cy"})");
    ASSERT_EQ(a.status, 200);
    EXPECT_EQ(table().P1.caption(), "Ана Петрова");
    EXPECT_EQ(table().P2.caption(), "Cy");
    EXPECT_EQ(menu().Text1.text(), "Ана Петрова");

    a = post("series", R"({"caption":"Best of 7"})");
    ASSERT_EQ(a.status, 200);
    EXPECT_EQ(table().BO.caption(), "Best of 7");
    EXPECT_EQ(table().BOShadow->caption(), "Best of 7");
    EXPECT_EQ(menu().BO.text(), "Best of 7");
    EXPECT_EQ(a.body["series"], "Best of 7");
}

TEST_F(Remote, ACountryIsPickedAsInTheTablesListWithItsFlag) {
    const Answer a = post("country", R"({"player":2,"index":3})");
    ASSERT_EQ(a.status, 200) << a.body.dump();
    const std::string& country = program.app->countries().at(3);
    EXPECT_EQ(table().Combo2.listIndex(), 3);
    EXPECT_EQ(table().LiveP2.caption(), country);
    EXPECT_NE(table().F2.picture()->source().find(country + ".gif"), std::string::npos);
    EXPECT_EQ(a.body["players"][1]["country"], (json{{"name", country}, {"index", 3}}));
}

TEST_F(Remote, AColourIsChosenAsByALeftPressOnItsSwatch) {
    Program twin;
    ASSERT_TRUE(twin.start());
    go(twin);
    auto& twinMenu = twin.app->controlMenu();
    twinMenu.show();
    const ui::Rect r = twinMenu.C1(13).formRect();
    const ui::Point at{r.left + r.width / 2, r.top + r.height / 2};
    twinMenu.inputPointerDown(at, ui::mouse::kLeft, 0);
    twinMenu.inputPointerUp(at, ui::mouse::kLeft, 0);

    const Answer a = post("colour", R"({"index":13})");
    ASSERT_EQ(a.status, 200) << a.body.dump();
    EXPECT_EQ(table().SC2.fillColor(), day::kPalette[13].color);
    EXPECT_EQ(table().SC2.fillColor(), twin.app->table().SC2.fillColor());
    EXPECT_EQ(menu().SC2.caption(), twinMenu.SC2.caption());
    EXPECT_EQ(program.app->settings().Player2Color.text, "13");
    EXPECT_EQ(a.body["players"][1]["colour"], (json{{"name", day::kPalette[13].name}, {"index", 13}}));
}

TEST_F(Remote, PulsesTurnOnAndOffAndShowAllShowsWhatWasHidden) {
    EXPECT_EQ(post("pulse-series", R"({"on":false})").body["pulses"]["series"]["on"], false);
    EXPECT_EQ(post("pulse-series", R"({"on":false})").body["pulses"]["series"]["on"], false) << "off stays off";
    EXPECT_EQ(post("pulse-series", R"({"on":true})").body["pulses"]["series"]["on"], true);
    table().inttimer5.setText("3");
    const Answer countries = post("pulse-countries", R"({"on":true})");
    EXPECT_EQ(countries.body["pulses"]["countries"], (json{{"on", true}, {"running", true}}));

    ASSERT_EQ(post("portraits-hide", "{}").status, 200);
    table().F1.setVisible(false);
    table().LiveP2.setVisible(false);
    table().Combo1.setVisible(true);
    const Answer a = post("show-all", "{}");
    ASSERT_EQ(a.status, 200);
    for (int p : {0, 1})
        EXPECT_EQ(a.body["players"][p]["visible"], (json{{"portrait", true}, {"flag", true}, {"country", true}}));
    EXPECT_FALSE(table().Combo1.visible());
}

TEST_F(Remote, TheStateNamesEveryPlayersValuesAndTheWindowUp) {
    const Answer a = get("/api/state");
    ASSERT_EQ(a.status, 200);
    EXPECT_EQ(a.contentType, "application/json");
    EXPECT_EQ(a.body["window"], "table");
    const json& p1 = a.body["players"][0];
    EXPECT_EQ(p1["name"], table().P1.caption());
    EXPECT_EQ(p1["score"], "0");
    // Options.ini of the test folder names countries 5 and 7, colours 2 and 11.
    EXPECT_EQ(p1["country"]["index"], 5);
    EXPECT_EQ(p1["colour"]["index"], 2);
    EXPECT_EQ(a.body["players"][1]["colour"]["index"], 11);
    EXPECT_EQ(p1["portrait"], (json{{"set", "P1"}, {"number", 12}}));
    EXPECT_TRUE(a.headers.find("Access-Control-Allow-Origin") == a.headers.end());
}

TEST_F(Remote, WithTheTableClosedActionsAreRefusedAndTheStateSaysTheStartDialogIsUp) {
    menu().show();
    const ui::Rect r = menu().Picture2.formRect();
    const ui::Point at{r.left + 5, r.top + 5};
    menu().inputPointerDown(at, ui::mouse::kLeft, 0);
    menu().inputPointerUp(at, ui::mouse::kLeft, 0);
    menu().inputDoubleClick(at, ui::mouse::kLeft, 0);
    ASSERT_FALSE(program.app->tableLoaded()) << "the menu's arrow goes back to the start dialog";

    const Answer a = post("score-up", R"({"player":1})");
    EXPECT_EQ(a.status, 409);
    EXPECT_NE(a.body["error"].get<std::string>().find("not open"), std::string::npos);
    EXPECT_FALSE(program.app->tableLoaded()) << "a refused action opens no window";
    const Answer s = get("/api/state");
    EXPECT_EQ(s.body["window"], "start");
    EXPECT_EQ(s.body["table_open"], false);
}

TEST_F(Remote, TheControlPageIsServedAtTheRoot) {
    const Answer a = get("/");
    ASSERT_EQ(a.status, 200);
    EXPECT_EQ(a.contentType, "text/html; charset=utf-8");
    const std::string page = a.body.get<std::string>();
    for (const char* id : {"id=\"up1\"", "id=\"down2\"", "id=\"reset\"", "id=\"portrait2\"", "/api/events", "/overlay?"})
        EXPECT_NE(page.find(id), std::string::npos) << id;
    // A page of another site may not show it in a frame and steer a click onto its buttons.
    EXPECT_EQ(a.headers.find("X-Frame-Options")->second, "DENY");
    EXPECT_EQ(a.headers.find("Content-Security-Policy")->second, "frame-ancestors 'none'");
}

TEST_F(Remote, EveryPageIsServedWholeWithItsStyleAndTheOneSocketScript) {
    for (const char* path : {"/", "/overlay", "/scene/upnext", "/scene/results"}) {
        const std::string page = get(path).body.get<std::string>();
        EXPECT_EQ(page.rfind("<!DOCTYPE html>\n", 0), 0u) << path;
        EXPECT_TRUE(page.ends_with(";\n</script>\n</body>\n</html>\n")) << path;
        EXPECT_EQ(page.find("{{"), std::string::npos) << path << ": a part left out";
        EXPECT_NE(page.find("<style>\n  "), std::string::npos) << path;
        EXPECT_NE(page.find("}\n</style>\n</head>"), std::string::npos) << path;
        EXPECT_NE(page.find("<script>\n\"use strict\";\nfunction follow(address, apply, lost) {"), std::string::npos)
            << path;
    }
}

// --- The overlay ---

TEST_F(Remote, TheOverlayFeedDescribesTheTableWholeThenOnlyWhatEachEventChanged) {
    remote::TableFeed feed(*program.app);
    remote::FeedStore::Reader reader(feed.store(), remote::FeedStore::Kind::Table);
    const json whole = taken(reader);
    ASSERT_EQ(whole["type"], "table");
    EXPECT_EQ(whole["form"], (json{{"width", 534}, {"height", 84}, {"back", "#010101"}, {"seeThrough", "#010101"},
                                   {"frame", 0}, {"picture", nullptr}}));
    std::map<std::string, json> by;
    std::string order;
    for (const json& c : whole["controls"]) {
        by[c["name"]] = c;
        order += c["name"].get<std::string>() + " ";
    }
    EXPECT_EQ(order,
              "BOShadow SC1 SC2 SC22 SC12 F1 F2 BO Shape1 Shape2 P1 P2 T1 T2 LiveP2 LiveP1 Image2 I2 I1 Label4 Label5 "
              "Label6 Label1 Label2 Label3 Language1 moveformmouse picturegen Combo1 Combo2 inttimer4 inttimer5 ")
        << "the window's drawing order: the native controls last, above the others";
    const json font = {{"name", "Arial Narrow"}, {"points", 21.75}, {"pixels", 29}, {"bold", true}, {"italic", false}};
    EXPECT_EQ(by["T1"], (json{{"i", 12}, {"name", "T1"}, {"kind", "label"}, {"shown", true}, {"x", 40}, {"y", 16},
                              {"width", 48}, {"height", 27}, {"caption", "0"}, {"fore", "#ffffff"}, {"back", "#f0f0f0"},
                              {"font", font}, {"align", "right"}, {"transparent", true}, {"wrap", true}}));
    EXPECT_EQ(by["I1"]["picture"], (json{{"src", "/pic/gen/P1/12.gif"}, {"width", 2}, {"height", 2}}));
    EXPECT_EQ(by["F1"]["picture"]["src"], "/pic/flags/English/Country%205.gif");
    // A hidden holder tells no more than that: not the capture file's path, for one.
    EXPECT_EQ(by["Label2"], (json{{"i", 23}, {"name", "Label2"}, {"kind", "label"}, {"shown", false}}));

    const auto delta = [](const json& controls) { return json{{"type", "delta"}, {"controls", controls}}; };
    // A control's look as the whole table gave it, with `changes`.
    const auto look = [&](const char* name, const json& changes) {
        json entry = changes;
        for (const char* key : {"fore", "back", "font", "align", "transparent", "wrap"})
            if (!entry.contains(key)) entry[key] = by[name][key];
        entry["i"] = by[name]["i"];
        return entry;
    };

    chord('1');
    EXPECT_EQ(taken(reader), delta({{{"i", 12}, {"caption", "1"}}})) << "a chord: the score, nothing else";
    program.platform.advance(1000);
    EXPECT_EQ(taken(reader), nullptr) << "idle ticks of the poll publish nothing";

    // A gesture: Shift and a left press on a name, one point larger.
    const ui::Rect name = table().P2.formRect();
    const ui::Point at{name.left + name.width / 2, name.top + name.height / 2};
    table().inputPointerDown(at, ui::mouse::kLeft, ui::modifier::kShift);
    table().inputPointerUp(at, ui::mouse::kLeft, ui::modifier::kShift);
    json grown = by["P2"]["font"];
    grown["points"] = 15.25;
    grown["pixels"] = 20;
    EXPECT_EQ(taken(reader), delta(json::array({look("P2", {{"font", grown}})})));

    ASSERT_EQ(post("colour", R"({"index":13})").status, 200);
    ASSERT_EQ(day::kPalette[13].color, ui::rgb(0x3e, 0xd2, 0x2d));
    EXPECT_EQ(taken(reader), delta({{{"i", 2}, {"fill", "#3ed22d"}}})) << "a colour: the bar";

    // A pulse step: the series caption's grey, from 250 down.
    table().inttimer4.setText("5");
    program.platform.advance(10);
    EXPECT_EQ(taken(reader), delta(json::array({look("BO", {{"fore", "#fafafa"}})})));

    // Back to the start dialog (Ctrl+Alt and a press on the emblem), then GO again.
    for (int k : {ui::key::kControl, ui::key::kAlt}) program.platform.pressKey(k);
    const ui::Rect emblem = table().Image2.formRect();
    table().inputPointerDown({emblem.left + 30, emblem.top + 30}, ui::mouse::kLeft, 0);
    for (int k : {ui::key::kControl, ui::key::kAlt}) program.platform.releaseKey(k);
    ASSERT_FALSE(program.app->tableLoaded());
    EXPECT_EQ(taken(reader), (json{{"type", "closed"}}));
    program.platform.advance(1000);
    EXPECT_EQ(taken(reader), nullptr);
    go(program);
    json again = taken(reader);
    EXPECT_EQ(again["type"], "table");
    EXPECT_EQ(again["controls"].size(), whole["controls"].size());
    EXPECT_EQ(again["controls"][12]["caption"], "0") << "a new table";
}

TEST_F(Remote, ASlowReaderGetsOnlyTheLatestStateAndAWaitingOneIsWokenByTheNextChange) {
    auto feed = std::make_unique<remote::TableFeed>(*program.app);
    remote::FeedStore::Reader slow(feed->store(), remote::FeedStore::Kind::Table);
    remote::FeedStore::Reader deck(feed->store(), remote::FeedStore::Kind::State);
    ASSERT_EQ(taken(slow)["type"], "table");
    EXPECT_EQ(json::parse(*deck.take()), state());

    for (int i = 0; i < 5; ++i) ASSERT_EQ(post("score-up", R"({"player":1})").status, 200);
    EXPECT_EQ(taken(slow), (json{{"type", "delta"}, {"controls", {{{"i", 12}, {"caption", "5"}}}}}))
        << "five events, one message";
    EXPECT_EQ(json::parse(*deck.take()), state());
    EXPECT_EQ(deck.take(), nullptr);
    program.platform.advance(1000);
    EXPECT_EQ(deck.take(), nullptr) << "the state is made anew only when it changed";

    auto waiting = std::async(std::launch::async, [&] { return slow.next(10s); });
    ASSERT_EQ(waiting.wait_for(50ms), std::future_status::timeout);
    ASSERT_EQ(post("score-up", R"({"player":2})").status, 200);
    const auto woken = waiting.get();
    ASSERT_TRUE(woken);
    EXPECT_EQ(json::parse(*woken)["controls"], (json{{{"i", 13}, {"caption", "1"}}}));

    // A peer gone: its reader is stopped from another thread, and stops waiting at once.
    deck.take();
    auto stopped = std::async(std::launch::async, [&] { return deck.next(10s); });
    ASSERT_EQ(stopped.wait_for(50ms), std::future_status::timeout);
    deck.stop();
    ASSERT_EQ(stopped.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(stopped.get(), nullptr);
    EXPECT_TRUE(deck.ended());

    feed.reset();
    EXPECT_TRUE(slow.ended());
    EXPECT_EQ(slow.next(10s), nullptr) << "a gone feed wakes its readers at once";
}

TEST_F(Remote, SocketsPushTheTableAndTheStateAsTheyChangeAndAPeerThatNeverReadsHoldsUpNoOne) {
    const int stuck = connectLoopback(server->port());
    const std::string upgrade = upgradeTo("/overlay/socket");
    ::send(stuck, upgrade.data(), upgrade.size(), MSG_NOSIGNAL);
    int status = 0;
    auto page = socket("/overlay/socket", status);
    auto deck = socket("/api/events", status);
    ASSERT_EQ(nextOn(*page)["type"], "table");
    ASSERT_EQ(nextOn(*deck)["players"][0]["score"], "0");
    for (int i = 0; i < 30; ++i) ASSERT_EQ(post("score-up", R"({"player":1})").status, 200);
    // Changes close together come as one message, the latest winning.
    json seen = nextOn(*page);
    while (seen.dump().find(R"("caption":"30")") == std::string::npos) {
        ASSERT_EQ(seen["type"], "delta");
        seen = nextOn(*page);
    }
    for (seen = nextOn(*deck); seen["players"][0]["score"] != "30";) seen = nextOn(*deck);
    ::close(stuck);
}

TEST_F(Remote, PicturesAreOnlyTheGifAndJpegFilesBelowThePicFolder) {
    program.folder.write("secret.gif", ProgramFolder::gifBytes());
    program.folder.write("pic/notes.txt", "GIF89a");
    program.folder.write("pic/fake.gif", "not a picture");
    const Answer gif = get("/pic/battle.gif");
    EXPECT_EQ(gif.status, 200);
    EXPECT_EQ(gif.contentType, "image/gif");
    EXPECT_EQ(gif.body.get<std::string>(), ProgramFolder::gifBytes());
    EXPECT_EQ(get("/pic/LOGO.JPG").contentType, "image/jpeg");
    EXPECT_EQ(get("/pic/flags/Russian/%D0%A1%D1%82%D1%80%D0%B0%D0%BD%D0%B0%203.gif").status, 200);

    // As the server hands requests over: the target as sent, the path decoded.
    const remote::Api api(remote::Endpoint{"127.0.0.1", 8421, ""}, program.folder.path());
    const auto status = [&](const std::string& target) {
        const remote::Request request{"GET", httplib::decode_path_component(target.substr(0, target.find('?'))),
                                      "127.0.0.1:8421", "", "", "", {}, target};
        return std::get<remote::Response>(api.admit(request)).status;
    };
    EXPECT_EQ(status("/pic/gen/P1/12.gif?v=2"), 200);
    for (const char* bad :
         {"/pic/../secret.gif", "/pic/%2e%2e/secret.gif", "/pic/gen/..%2f..%2fsecret.gif", "/pic/..%5csecret.gif",
          "/pic/gen%2fP1%2f12.gif", "/pic/gen\\P1\\12.gif", "/pic//secret.gif", "/pic/%2fetc%2fpasswd",
          "/pic/C:/secret.gif", "/pic/C:%5csecret.gif", "/pic/battle.gif::$DATA", "/pic/%u002e%u002e/secret.gif",
          "/pic/battle.gif.", "/pic/battle.gif%20", "/pic/battle.gif%00", "/pic/%zz.gif", "/pic/con.gif",
          "/pic/COM1.jpg", "/%70ic/battle.gif", "/pic/", "/pic/gen", "/pic/notes.txt", "/pic/fake.gif"})
        EXPECT_EQ(status(bad), 404) << bad;
}

TEST_F(Remote, TheOverlayAndItsPicturesTakeTheTokenInTheAddressAndRefuseAnotherSite) {
    // Every character a token may hold; on every address, where another computer's page
    // at the same port is another site too.
    listen(remote::Endpoint{"0.0.0.0", 0, "K7-._~2"});
    const std::string right = "token=K7-._~2";
    Answer a = get("/overlay");
    EXPECT_EQ(a.status, 401);
    EXPECT_NE(a.body["error"].get<std::string>().find("?token=TOKEN"), std::string::npos);
    a = get("/overlay?token=K7-._~3");
    EXPECT_EQ(a.status, 401);
    EXPECT_EQ(a.body.dump().find("K7"), std::string::npos) << "what was given is never repeated";
    EXPECT_EQ(get("/overlay?token=K7%2D._~2").status, 200) << "the query's escapes are decoded";
    a = get("/overlay?scale=2&" + right);
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.contentType, "text/html; charset=utf-8");
    // The control page shows it in a frame; another site may not.
    EXPECT_EQ(a.headers.find("X-Frame-Options")->second, "SAMEORIGIN");
    EXPECT_EQ(a.headers.find("Content-Security-Policy")->second, "frame-ancestors 'self'");
    EXPECT_NE(a.body.get<std::string>().find("/overlay/socket"), std::string::npos);
    for (const char* bad : {"abc", "5", "0.49", "", "%zz"})  // refused, in one line naming scale
        EXPECT_EQ(get("/overlay?" + right + "&scale=" + bad).body.get<std::string>().rfind("scale: ", 0), 0u) << bad;
    EXPECT_EQ(get("/pic/battle.gif?" + right).status, 200);
    EXPECT_EQ(get("/pic/battle.gif", {{"Authorization", "Bearer K7-._~2"}}).status, 200);
    EXPECT_EQ(post("score-up", R"({"player":1})", {{"Authorization", "Bearer K7-._~2"}}).status, 200);
    EXPECT_EQ(get("/api/state?" + right).status, 401) << "the interface takes the token in its header only";

    const std::string own = "http://127.0.0.1:" + std::to_string(server->port());
    const std::string foreign = "http://203.0.113.9:" + std::to_string(server->port());
    EXPECT_EQ(get("/overlay?" + right, {{"Origin", "http://evil.example"}}).status, 403);
    EXPECT_EQ(post("score-up", "{}", {{"Authorization", "Bearer K7-._~2"}, {"Origin", foreign}}).status, 403);
    EXPECT_EQ(get("/overlay?" + right, {{"Origin", own}}).status, 200);
    // The sockets: another site's page opens nothing; without the token neither.
    int status = 0;
    for (const char* path : {"/overlay/socket?", "/api/events?"}) {
        for (const std::string& other : {std::string("http://evil.example"), foreign}) {
            socket(path + right, status, {{"Origin", other}});
            EXPECT_EQ(status, 403) << path << other;
        }
        socket(path, status);
        EXPECT_EQ(status, 401) << path;
        auto open = socket(path + right, status, {{"Origin", own}});
        EXPECT_EQ(status, 101) << path;
        EXPECT_TRUE(nextOn(*open).is_object()) << path;
    }
    using remote::Api;
    EXPECT_TRUE(Api::originAllowed("", "127.0.0.1:8421") && Api::originAllowed("http://LOCALHOST:80", "localhost"));
    for (const char* other : {"null", "https://127.0.0.1:8421", "http://127.0.0.1:8422", "http://localhost:8421",
                              "http://127.0.0.1:8421.evil.example", "http://evil.example"})
        EXPECT_FALSE(Api::originAllowed(other, "127.0.0.1:8421")) << other;
}

// --- Refusals ---

struct BadCase {
    const char* what;
    const char* method;
    const char* path;
    const char* type;  // nullptr: no Content-Type
    std::string body;
    const char* host;  // nullptr: the listening address
    int status;
    const char* message;  // a part of the error
};

class RemoteRefusals : public Remote, public ::testing::WithParamInterface<BadCase> {};

TEST_P(RemoteRefusals, ABadRequestGetsItsStatusAndAMessageNamingTheFaultAndChangesNothing) {
    const BadCase c = GetParam();
    const json before = everything();
    const Answer a = pumpWhile([&] {
        httplib::Client client("127.0.0.1", server->port());
        httplib::Headers headers;
        if (c.host) headers.emplace("Host", c.host);
        const std::string method = c.method;
        const std::string type = c.type ? c.type : "";
        if (method == "POST") return answer(client.Post(c.path, headers, c.body, type));
        if (method == "PUT") return answer(client.Put(c.path, headers, c.body, type));
        if (method == "OPTIONS") return answer(client.Options(c.path, headers));
        return answer(client.Get(c.path, headers));
    });
    EXPECT_EQ(a.status, c.status) << a.body.dump();
    ASSERT_TRUE(a.body.is_object() && a.body.contains("error")) << a.body.dump();
    EXPECT_NE(a.body["error"].get<std::string>().find(c.message), std::string::npos) << a.body["error"];
    EXPECT_EQ(a.contentType, "application/json");
    EXPECT_TRUE(a.headers.find("Access-Control-Allow-Origin") == a.headers.end());
    EXPECT_EQ(a.headers.count("X-Frame-Options"), 1u);
    program.platform.advance(20);
    EXPECT_EQ(everything(), before);
}

const char* const kJson = "application/json";

INSTANTIATE_TEST_SUITE_P(
    BadInput, RemoteRefusals,
    ::testing::Values(
        BadCase{"unknown_action", "POST", "/api/action/score-sideways", kJson, "{}", nullptr, 404, "\"score-sideways\""},
        BadCase{"unknown_path", "GET", "/api/nothing", nullptr, "", nullptr, 404, "/api/nothing"},
        BadCase{"malformed_json", "POST", "/api/action/score-up", kJson, R"({"player":)", nullptr, 400, "not JSON"},
        BadCase{"number_beyond_every_type", "POST", "/api/action/series", kJson, "5555755e555", nullptr, 400,
                "not JSON: number overflow parsing '5555755e555'"},
        BadCase{"empty_body", "POST", "/api/action/score-reset", kJson, "", nullptr, 400, "empty"},
        BadCase{"array_body", "POST", "/api/action/score-reset", kJson, "[1]", nullptr, 400, "[1], not a JSON object"},
        BadCase{"player_as_text", "POST", "/api/action/score-up", kJson, R"({"player":"1"})", nullptr, 400,
                "player: \"1\""},
        BadCase{"player_3", "POST", "/api/action/score-up", kJson, R"({"player":3})", nullptr, 400,
                "player: 3 is not a player"},
        BadCase{"player_as_fraction", "POST", "/api/action/portrait-next", kJson, R"({"player":1.0})", nullptr, 400,
                "player: 1.0"},
        BadCase{"player_missing", "POST", "/api/action/score-down", kJson, "{}", nullptr, 400,
                "player: the field is missing"},
        BadCase{"unknown_field", "POST", "/api/action/score-reset", kJson, R"({"player":1})", nullptr, 400,
                "player: score-reset takes no such field"},
        BadCase{"name_not_text", "POST", "/api/action/names", kJson, R"({"player1":7})", nullptr, 400,
                "player1: 7 is not a string"},
        BadCase{"name_with_line_break", "POST", "/api/action/names", kJson, R"({"player1":"a\nb"})", nullptr, 400,
                "control character"},
        BadCase{"no_names", "POST", "/api/action/names", kJson, "{}", nullptr, 400, "at least one"},
        BadCase{"country_past_the_files", "POST", "/api/action/country", kJson, R"({"player":1,"index":301})",
                nullptr, 400, "index: 301"},
        BadCase{"country_past_the_list", "POST", "/api/action/country", kJson, R"({"player":1,"index":200})",
                nullptr, 400, "index: 200 is not a country of the list (0 to 199)"},
        BadCase{"swatch_19", "POST", "/api/action/colour", kJson, R"({"index":19})", nullptr, 400,
                "index: 19 is not a swatch"},
        BadCase{"pulse_as_number", "POST", "/api/action/pulse-series", kJson, R"({"on":1})", nullptr, 400,
                "on: 1 is not true or false"},
        BadCase{"no_content_type", "POST", "/api/action/score-up", nullptr, R"({"player":1})", nullptr, 415,
                "Content-Type"},
        BadCase{"form_post", "POST", "/api/action/score-up", "application/x-www-form-urlencoded", "player=1",
                nullptr, 415, "not application/json"},
        BadCase{"text_plain", "POST", "/api/action/score-up", "text/plain", R"({"player":1})", nullptr, 415,
                "\"text/plain\""},
        BadCase{"oversized_body", "POST", "/api/action/names", kJson,
                R"({"player1":")" + std::string(5000, 'x') + R"("})", nullptr, 413, "at most 4096"},
        BadCase{"foreign_host", "POST", "/api/action/score-up", kJson, R"({"player":1})", "evil.example:8421", 403,
                "\"evil.example:8421\""},
        BadCase{"foreign_host_on_state", "GET", "/api/state", nullptr, "", "attacker.example", 403, "Host"},
        BadCase{"get_on_an_action", "GET", "/api/action/score-up", nullptr, "", nullptr, 405, "only POST"},
        BadCase{"put_on_an_action", "PUT", "/api/action/score-up", kJson, R"({"player":1})", nullptr, 405,
                "only POST"},
        BadCase{"preflight", "OPTIONS", "/api/action/score-up", nullptr, "", nullptr, 405, "only POST"},
        BadCase{"multipart_form", "POST", "/api/action/score-up", "multipart/form-data; boundary=x",
                "--x\r\nContent-Disposition: form-data; name=\"player\"\r\n\r\n1\r\n--x--\r\n", nullptr, 415,
                "\"multipart/form-data; boundary=x\" is not application/json"},
        BadCase{"key_with_a_nul", "POST", "/api/action/score-reset", kJson, R"({"pla\u0000yer":1})", nullptr, 400,
                "pla?yer: score-reset takes no such field"}),
    [](const ::testing::TestParamInfo<BadCase>& entry) { return std::string(entry.param.what); });

TEST_F(Remote, AnOversizedBodySentInChunksIsRefusedAsOverTheBound) {
    const json before = everything();
    const std::string chunk(1024, ' ');
    const Answer a = pumpWhile([&] {
        httplib::Client client("127.0.0.1", server->port());
        int sent = 0;
        return answer(client.Post(
            "/api/action/score-reset",
            [&](std::size_t, httplib::DataSink& sink) {
                if (sent++ < 6) return sink.write(chunk.data(), chunk.size());
                sink.done();
                return true;
            },
            "application/json"));
    });
    EXPECT_EQ(a.status, 413);
    EXPECT_EQ(a.body["error"], "the body is over 4096 bytes; at most 4096 are taken");
    EXPECT_EQ(everything(), before);
}

TEST_F(Remote, WithATokenEveryRequestToTheInterfaceMustCarryIt) {
    listen(remote::Endpoint{"127.0.0.1", 0, "s3cret-token"});
    const json before = everything();
    Answer a = post("score-up", R"({"player":1})");
    EXPECT_EQ(a.status, 401);
    EXPECT_NE(a.body["error"].get<std::string>().find("missing"), std::string::npos);
    a = post("score-up", R"({"player":1})", {{"Authorization", "Bearer s3cret-tokem"}});
    EXPECT_EQ(a.status, 401);
    EXPECT_NE(a.body["error"].get<std::string>().find("wrong"), std::string::npos);
    a = post("score-up", R"({"player":1})", {{"Authorization", "Basic czNjcmV0LXRva2Vu"}});
    EXPECT_EQ(a.status, 401);
    EXPECT_EQ(get("/api/state").status, 401);
    EXPECT_EQ(everything(), before);

    a = post("score-up", R"({"player":1})", {{"Authorization", "Bearer s3cret-token"}});
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(table().T1.caption(), "1");
    EXPECT_EQ(get("/").status, 200) << "the static page opens without it; its script sends the token";
}

TEST_F(Remote, AHostNamingThisComputerByAnotherLoopbackNameIsAccepted) {
    const std::string port = std::to_string(server->port());
    EXPECT_EQ(get("/api/state", {{"Host", "localhost:" + port}}).status, 200);
    EXPECT_EQ(get("/api/state", {{"Host", "LOCALHOST:" + port}}).status, 200);
    EXPECT_EQ(get("/api/state", {{"Host", "127.0.0.1"}}).status, 403) << "without the port";
    EXPECT_EQ(get("/api/state", {{"Host", "127.0.0.1:1" + port}}).status, 403) << "another port";
    // A browser leaves out the port 80, and only that one.
    for (const char* on80 : {"127.0.0.1", "127.0.0.1:80"})
        EXPECT_FALSE(remote::Api({"127.0.0.1", 80, ""}).screen({"GET", "/api/state", on80, "", "", "", {}, "", ""}));
}

TEST_F(Remote, APortInUseIsAFailureNamingTheAddressAndTheReason) {
    const int taken = server->port();
    try {
        remote::Server second(*program.app, remote::Endpoint{"127.0.0.1", taken, ""});
        FAIL() << "a second server bound the same port";
    } catch (const Error& error) {
        EXPECT_EQ(std::string(error.what()),
                  "The remote control cannot listen on 127.0.0.1:" + std::to_string(taken) +
                      ": the port is already in use by another program");
    }
    try {
        remote::Server foreign(*program.app, remote::Endpoint{"192.0.2.1", 8421, "t"});
        FAIL() << "bound an address this computer does not have";
    } catch (const Error& error) {
        EXPECT_NE(std::string(error.what()).find("192.0.2.1:8421: the address is not one of this computer's"),
                  std::string::npos)
            << error.what();
    }
}

// --- Connections ---

TEST_F(Remote, ARefusedRequestIsAnsweredAtOnceAndNothingBehindItOnTheConnectionRuns) {
    const std::string head = "GET /api/state HTTP/1.1\r\nHost: " + host() + "\r\n";
    const std::string up = scoreUp(1);
    const std::pair<const char*, std::string> refused[] = {
        {"431", head + "X: " + std::string(40000, ' ')},  // a head over the bound
        {"414", "GET /" + std::string(9000, 'a') + " HTTP/1.1\r\nHost: " + host() + "\r\n\r\n"},
        {"405", "PROPFIND /api/state HTTP/1.1\r\nHost: " + host() + "\r\n\r\n"},
        // Told its refusal rather than to send its body.
        {"415", "POST /api/action/score-up HTTP/1.1\r\nHost: " + host() +
                    "\r\nContent-Type: text/plain\r\nContent-Length: 100000\r\nExpect: 100-continue\r\n\r\n"},
        {"400", head + "Content-Length: 12x\r\n\r\n"},
        {"400", head + "Transfer-Encoding: chunked\r\n\r\nzz\r\n"},
        {"413", std::string(up).replace(up.find("Length: 12"), 10, "Length: 5000")},  // its body never sent
        {"415", std::string(up).replace(up.find("Content-Type"), 12, "X")},
        {"405", "TRACE /api/state HTTP/1.1\r\nHost: " + host() + "\r\n\r\n"},
        {"405", "CONNECT " + host() + " HTTP/1.1\r\nHost: " + host() + "\r\n\r\n"},
        {"400", scoreUp(3)},
        // A socket's peer announcing a message of 1 MB.
        {"101", upgradeTo("/api/events") + std::string("\x81\xFF\0\0\0\0\0\x10\0\0", 10)}};
    for (const auto& [status, bytes] : refused) {
        // The client keeps its side open: the server answers and closes by itself.
        const auto started = std::chrono::steady_clock::now();
        const std::string back = exchange(bytes + scoreUp(2, "close"), false);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 1s) << back;
        EXPECT_EQ(answers(back), 1u) << back;
        EXPECT_EQ(back.rfind(std::string("HTTP/1.1 ") + status, 0), 0u) << back;
        EXPECT_EQ(table().T2.caption(), "0") << "the request behind a refused one ran: " << bytes.substr(0, 60);
    }
}

TEST_F(Remote, RequestsWrittenBackToBackAreEachAnsweredInOrderAndAppliedOnce) {
    std::string batch;
    for (int i = 1; i <= 100; ++i) batch += scoreUp(1, i == 100 ? "close" : "keep-alive");
    const std::string back = exchange(batch);
    EXPECT_EQ(answers(back, "200"), 100u);
    EXPECT_EQ(table().T1.caption(), "100");
    for (std::size_t score = 1, at = 0; score <= 100; ++score)
        ASSERT_NE(at = back.find("\"score\":\"" + std::to_string(score) + "\"", at), std::string::npos) << score;
}

TEST_F(Remote, ARequestTheUiThreadDoesNotTakeInTimeIsRefusedWithTheReasonAndNeverAppliedLater) {
    listen(remote::Endpoint{"127.0.0.1", 0, ""}, 200ms);
    const std::string back = exchangeRaw(server->port(), scoreUp(1, "close"), true, [] {});
    EXPECT_TRUE(back.starts_with("HTTP/1.1 503") && back.find("within 0.2 s (the program is busy); it was not applied") !=
                                                         std::string::npos) << back;
    program.platform.runPosted();
    EXPECT_EQ(table().T1.caption(), "0");
}

TEST_F(Remote, AFloodNeverDropsTheAnswerOfAnAppliedActionSoEveryActionIsAnsweredAndAppliedOnce) {
    // 1000 score-ups answered with a long name to a client that reads nothing until the
    // server's writing to it has stalled for longer than the grace of new connections...
    table().P2.setCaption(std::string(8000, 'x'));
    std::string batch;
    for (int i = 1; i <= 1000; ++i) batch += scoreUp(1, i == 1000 ? "close" : "keep-alive");
    const int writer = connectLoopback(server->port(), 4096);
    auto sent = std::async(std::launch::async, [&] { return ::send(writer, batch.data(), batch.size(), MSG_NOSIGNAL); });
    while (program.platform.waitForPosted(500ms)) program.platform.runPosted();
    ASSERT_NE(table().T1.caption(), "1000") << "the writer was never held up";
    // ...then a flood of slow senders from its address, past the bound on waiting ones,
    // taken in once a request on a connection opened after them is answered.
    std::vector<int> flood;
    for (int i = 0; i < 64; ++i) {
        flood.push_back(connectLoopback(server->port()));
        ::send(flood.back(), "GET /api/state HTTP/1.1\r\nHo", 27, MSG_NOSIGNAL);
    }
    EXPECT_EQ(answers(exchange("GET /overlay HTTP/1.1\r\nHost: " + host() + "\r\n\r\n"), "200"), 1u);
    const std::string back = pumpWhile([writer] {
        std::string got;
        char buffer[4096];
        for (ssize_t n = 0; (n = ::recv(writer, buffer, sizeof buffer, 0)) > 0;) got.append(buffer, std::size_t(n));
        return got;
    });
    EXPECT_EQ(sent.get(), ssize_t(batch.size()));
    // Each answered once, in order: all applied, none dropped.
    EXPECT_EQ(answers(back, "200"), 1000u);
    EXPECT_EQ(table().T1.caption(), "1000");
    for (std::size_t score = 1, at = 0; score <= 1000; ++score)
        ASSERT_NE(at = back.find("\"score\":\"" + std::to_string(score) + "\"", at), std::string::npos) << score;
    ::close(writer);
    for (int s : flood) ::close(s);
}

TEST_F(Remote, IdleSlowAndSocketConnectionsNeverKeepAnOrdinaryRequestOut) {
    const std::string upgrade = upgradeTo("/overlay/socket");
    std::vector<int> held;
    for (int i = 0; i < 250; ++i) {
        held.push_back(connectLoopback(server->port()));
        // Every fifth sends part of a head and stops, as a slow sender does; every fourth
        // holds a socket of the overlay open, as a streaming program's page does.
        if (i % 5 == 0) ::send(held.back(), "GET /api/state HTTP/1.1\r\nHo", 27, MSG_NOSIGNAL);
        if (i % 4 == 1) ::send(held.back(), upgrade.data(), upgrade.size(), MSG_NOSIGNAL);
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(answers(exchange("GET /api/state HTTP/1.1\r\nHost: " + host() + "\r\n\r\n"), "200"), 1u);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    }
    for (int s : held) ::close(s);
}

TEST_F(Remote, ABurstOfSocketsNeverPassesTheBoundAndReadersOfPipelinedAnswersKeepNoOneOut) {
    // 150 upgrades at once from one address: 100 sockets, the rest refused.
    std::vector<int> held;
    const std::string upgrade = upgradeTo("/api/events");
    for (int i = 0; i < 150; ++i) {
        held.push_back(connectLoopback(server->port()));
        ::send(held.back(), upgrade.data(), upgrade.size(), MSG_NOSIGNAL);
    }
    std::map<std::string, int> statuses;
    int open = -1;
    for (int s : held) {
        char line[12] = {};
        ::recv(s, line, sizeof line, MSG_WAITALL);
        ++statuses[std::string(line, sizeof line)];
        if (open < 0 && statuses["HTTP/1.1 101"]) open = s;
    }
    EXPECT_LE(statuses["HTTP/1.1 101"], 100);
    EXPECT_GT(statuses["HTTP/1.1 503"], 0);
    // A frame's head in two writes is read whole: the ping is answered.
    ::send(open, "\x89", 1, MSG_NOSIGNAL);
    std::this_thread::sleep_for(50ms);  // the second write apart from the first
    ::send(open, "\x80\0\0\0\0", 5, MSG_NOSIGNAL);
    const std::string pong("\x8A\0", 2);
    std::string frames;
    char buffer[4096];
    for (ssize_t n = 0; frames.find(pong) == std::string::npos && (n = ::recv(open, buffer, 4096, 0)) > 0;)
        frames.append(buffer, static_cast<std::size_t>(n));
    EXPECT_NE(frames.find(pong), std::string::npos);
    for (int s : held) ::close(s);
    held.clear();

    // Every connection the server takes, each sent pipelined requests it never reads the
    // answers of: a new request is still answered.
    std::string pipelined;
    for (int i = 0; i < 999; ++i) pipelined += "GET /overlay HTTP/1.1\r\nHost: " + host() + "\r\n\r\n";
    for (int i = 0; i < 384; ++i) {
        held.push_back(connectLoopback(server->port()));
        ::send(held.back(), pipelined.data(), pipelined.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    }
    // Once the writers are older than the grace given to new connections (however slowly a
    // busy machine lets the server take them in), a newcomer gets its answer.
    std::size_t answered = 0;
    for (const auto until = std::chrono::steady_clock::now() + 5s;
         !answered && std::chrono::steady_clock::now() < until;)
        answered = answers(exchange("GET /api/state HTTP/1.1\r\nHost: " + host() + "\r\n\r\n"), "200");
    EXPECT_EQ(answered, 1u);
    for (int s : held) ::close(s);
}

TEST_F(Remote, AFloodOfPostedWorkNeverHoldsOffTheKeyPollOrAHeldChord) {
    // Each piece of work holds the UI thread for a millisecond: two seconds' worth.
    program.platform.setPostedWorkCost(1);
    int ran = 0;
    for (int i = 0; i < 2000; ++i) program.platform.postToUiThread([&ran] { ++ran; });
    for (int step = 0; step < 10; ++step) {
        const long long queries = program.platform.keyQueries();
        program.platform.advance(10);
        ASSERT_GT(program.platform.keyQueries(), queries) << "no poll tick in the 10 ms up to " << program.platform.now();
    }
    // A chord held 0.15 s (its first poll turns the poll off for the repeat guard's 0.6 s).
    for (int k : {ui::key::kControl, ui::key::kShift, int{'1'}}) program.platform.pressKey(k);
    program.platform.advance(150);
    for (int k : {ui::key::kControl, ui::key::kShift, int{'1'}}) program.platform.releaseKey(k);
    EXPECT_EQ(table().T1.caption(), "1") << "the chord held for 150 ms was lost";
    EXPECT_LT(ran, 2000) << "the work waits for later slices";
    program.platform.advance(3000);
    EXPECT_EQ(ran, 2000);
}

// The connection server alone, with a short request deadline, through real sockets:
// what remote/http_hooks.h relies on in the library. Its own loop serves each connection
// (a method the library does not know gets the server's refusal, not the library's), a
// WebSocket outlives the deadline of the request that opened it (the library tells the
// stream of the upgrade), and a message whose frame has a long head goes out whole.
TEST(ConnectionHooks, TheLibraryStillServesThroughTheProgramsLoopStreamAndFrames) {
    remote::ConnectionLimits limits;
    limits.requestDeadline = 200ms;
    remote::ConnectionServer server(limits);
    server.setRefusal([](int status, const std::string&, httplib::Response& out) {
        out.body = "refused " + std::to_string(status);
    });
    std::atomic<bool> whole{false};
    server.WebSocket("/s", [&](const httplib::Request&, httplib::ws::WebSocket& socket) {
        std::string got;
        if (socket.read(got) == httplib::ws::Text)
            whole = remote::ConnectionServer::sendMessage(socket, std::string(200, 'x') + got);
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread listening([&] { server.listen_after_bind(); });
    server.wait_until_ready();

    const auto idle = [] { std::this_thread::yield(); };
    EXPECT_NE(exchangeRaw(port, "BREW / HTTP/1.1\r\nHost: x\r\n\r\n", true, idle).find("refused 405"),
              std::string::npos);
    httplib::ws::WebSocketClient client("ws://127.0.0.1:" + std::to_string(port) + "/s");
    ASSERT_EQ(client.connect().status(), 101);
    // The quiet the test is about: past the deadline of the upgrade's request.
    std::this_thread::sleep_for(3 * limits.requestDeadline);
    ASSERT_TRUE(client.send(std::string("hi")));
    std::string message;
    ASSERT_EQ(client.read(message), httplib::ws::Text);
    EXPECT_EQ(message, std::string(200, 'x') + "hi");
    client.close();
    server.shutDown();
    listening.join();
    EXPECT_TRUE(whole) << "the library wrote the frame's payload otherwise than from the message's own bytes";
}

// --- Load ---

TEST_F(Remote, TenThousandScoreUpsFromEightClientsAreEachAppliedOnceAndInOrderPerClient) {
    constexpr int kClients = 8;
    constexpr int kPerClient = 1250;
    std::atomic<int> running{kClients};
    std::vector<std::vector<int>> seen(kClients);
    std::vector<int> failures(kClients, 0);
    const int port = server->port();
    std::vector<std::thread> clients;
    const auto started = std::chrono::steady_clock::now();
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            client.set_tcp_nodelay(true);
            for (int i = 0; i < kPerClient; ++i) {
                const auto result = client.Post("/api/action/score-up", R"({"player":1})", "application/json");
                if (!result || result->status != 200) {
                    ++failures[static_cast<std::size_t>(c)];
                    continue;
                }
                const json body = json::parse(result->body);
                seen[static_cast<std::size_t>(c)].push_back(std::stoi(body["players"][0]["score"].get<std::string>()));
            }
            --running;
        });
    }
    // The UI thread: runs the posted actions, and the key poll on its timer in between.
    while (running > 0) {
        if (program.platform.waitForPosted(10ms))
            program.platform.runPosted();
        else
            program.platform.advance(10);
    }
    for (auto& t : clients) t.join();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("[ remote   ] %d score-ups from %d clients in %.2f s: %.0f requests/s\n", kClients * kPerClient,
                kClients, seconds, kClients * kPerClient / seconds);

    EXPECT_EQ(table().T1.caption(), "10000");
    EXPECT_EQ(menu().Text3.text(), "10000");
    std::vector<bool> taken(kClients * kPerClient + 1, false);
    for (int c = 0; c < kClients; ++c) {
        const auto& scores = seen[static_cast<std::size_t>(c)];
        EXPECT_EQ(failures[static_cast<std::size_t>(c)], 0);
        ASSERT_EQ(scores.size(), static_cast<std::size_t>(kPerClient));
        for (std::size_t i = 0; i < scores.size(); ++i) {
            if (i > 0) {
                ASSERT_LT(scores[i - 1], scores[i]) << "client " << c << "'s answers out of order";
            }
            ASSERT_FALSE(taken[static_cast<std::size_t>(scores[i])]) << "score " << scores[i] << " answered twice";
            taken[static_cast<std::size_t>(scores[i])] = true;
        }
    }
}

}  // namespace
}  // namespace quorvel::testing
