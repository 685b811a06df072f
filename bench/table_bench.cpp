// Costs of the score table on the headless backend with the shipped program folder, the
// table shown after GO and the menu hidden: one idle tick of the key poll (no chord held)
// one pointer move over the pick strip that loads a shipped portrait from disk, and one
// capture tick of the table: drawn and compared with the picture last written, then left
// alone (unchanged) or written (changed) as a PNG or a BMP. Also the start dialog's load
// (every file read, the three windows made) without a roster and with 10,000 players, and
// one keystroke in a name box of the control menu with a roster of 10,000 players: the
// suggestions under it updated.
//
//   quorvel_bench_table                     times per tick and per move (Google Benchmark)
//   quorvel_bench_table --ticks N           runs N idle ticks and exits, for
//       valgrind --tool=callgrind --toggle-collect='quorvel::table::ScoreTable::pollShortcuts()'
//   (bench/idle-tick-instructions.sh runs that and prints instructions per tick)
//   quorvel_bench_table --next-matches N    puts the first and second match of a day of 200 on
//       the table in turn, N times, each in an event of its own as the chord N does, with
//       the overlay's feed read, for valgrind --tool=callgrind
//       --toggle-collect='quorvel::table::ScoreTable::goToMatch(*'
//       --toggle-collect='quorvel::remote::TableFeed::eventEnded(*'
//   (bench/next-match-instructions.sh runs that and prints instructions per match)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "day/roster.h"
#include "control/control_menu.h"
#include "platform/sim/sim_platform.h"
#include "remote/table_feed.h"
#include "start/start_dialog.h"
#include "table/score_table.h"

namespace {

struct IdleTable {
    quorvel::sim::SimPlatform platform;
    std::unique_ptr<quorvel::app::App> app;

    explicit IdleTable(const std::string& folder = QUORVEL_PROGRAM_FOLDER) : platform(folder) {
        app = std::make_unique<quorvel::app::App>(platform, quorvel::day::Release::R099);
        app->start();
        if (platform.quitCalled()) {
            std::fprintf(stderr, "the program did not start: %s\n",
                         platform.messageBoxes().empty() ? "" : platform.messageBoxes().back().text.c_str());
            std::exit(1);
        }
        auto& dialog = app->startDialog();
        dialog.inputButtonClicked(dialog.Command1);
        platform.advance(700);  // past the repeat guard's first run
    }
};

void BM_IdleTick(benchmark::State& state) {
    IdleTable table;
    for (auto _ : state) table.platform.advance(10);
    state.counters["key queries/tick"] =
        benchmark::Counter(static_cast<double>(table.platform.keyQueries()), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_IdleTick);

// A left drag below player 1's portrait, alternating between two cells of the pick strip:
// each move reads and decodes a portrait file, puts it on the table and asks for a repaint.
void BM_PickStripMove(benchmark::State& state) {
    IdleTable table;
    auto& t = table.app->table();
    const quorvel::ui::Rect portrait = t.I1.formRect();
    t.inputPointerDown({portrait.left + 300, portrait.top + 300}, quorvel::ui::mouse::kLeft, 0);
    int x = 0;
    for (auto _ : state) {
        x = x == 0 ? 1500 : 0;  // cells 4 and 5
        t.inputPointerMove({portrait.left + x, portrait.top + 3000}, quorvel::ui::mouse::kLeft, 0);
    }
    if (t.I1.picture()->source().find("\\pic\\gen\\P1\\") == std::string::npos) state.SkipWithError("no portrait");
}
BENCHMARK(BM_PickStripMove)->Unit(benchmark::kMicrosecond);

// Arg 0: the table unchanged; 1: changed, written as PNG; 2: changed, written as BMP. A
// changed table is recoloured and the clock moved on a second, out of the timing.
void BM_CaptureTick(benchmark::State& state) {
    using quorvel::ui::CaptureFile;
    IdleTable table;
    auto& t = table.app->table();
    const bool png = state.range(0) != 2;
    const std::string file =
        (std::filesystem::temp_directory_path() / (png ? "quorvel-bench.png" : "quorvel-bench.bmp")).string();
    const auto format = png ? quorvel::ui::ImageFormat::Png : quorvel::ui::ImageFormat::Bmp;
    const auto expected = state.range(0) == 0 ? CaptureFile::Outcome::Unchanged : CaptureFile::Outcome::Written;
    CaptureFile capture;
    capture.update(t, file, format);
    for (auto _ : state) {
        if (state.range(0) != 0) {
            state.PauseTiming();
            t.SC1.setFillColor(t.SC1.fillColor() ^ 0xFFu);
            table.platform.advance(1000);
            state.ResumeTiming();
        }
        if (capture.update(t, file, format) != expected) state.SkipWithError("not the expected outcome");
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_CaptureTick)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

// 10,000 players of three words each (the last a number), Latin and Cyrillic alike, and a
// keystroke that a tenth of the names match in their second word and none at their start:
// every name is looked at.
void BM_SuggestionKeystroke(benchmark::State& state) {
    using quorvel::day::RosterPlayer;
    IdleTable table;
    static const char* const kFirst[] = {"Alexei", "Boris", "Clara", "Dmitri", "Elena", "Фёдор", "Галина", "Иван",
                                         "Ksenia", "Lev", "Мария", "Nikolai", "Olga", "Павел", "Roman", "Светлана"};
    static const char* const kLast[] = {"Ivanov", "Петров", "Smirnova", "Кузнецов", "Popov", "Соколова", "Lebedev",
                                        "Козлов", "Novikova", "Морозов"};
    quorvel::day::Roster roster;
    roster.reserve(10000);
    for (int i = 0; i < 10000; ++i) {
        RosterPlayer player;
        player.name = std::string(kFirst[i % 16]) + " " + kLast[(i / 16) % 10] + " " + std::to_string(i);
        roster.add(std::move(player));
    }
    table.app->setRoster(std::move(roster));
    auto& menu = table.app->controlMenu();
    menu.show();
    const std::string typed[] = {"Пе", "Пет"};
    int k = 0;
    menu.inputTextEdited(menu.Text1, typed[1]);
    for (auto _ : state) {
        k ^= 1;
        menu.inputTextEdited(menu.Text1, typed[k]);
    }
    const auto* list = menu.Text1.suggestions();
    if (!list || list->rows().size() != 10) state.SkipWithError("not a full list");
}
BENCHMARK(BM_SuggestionKeystroke)->Unit(benchmark::kMicrosecond);

// Arg: the players in Players.csv of a copy of the shipped folder (0: no such file), each
// with a country, a colour and a portrait. One iteration: a program started up to its start
// dialog shown.
void BM_StartDialogLoad(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / "quorvel-bench-roster";
    fs::remove_all(folder);
    fs::copy(QUORVEL_PROGRAM_FOLDER, folder, fs::copy_options::recursive);
    fs::remove(folder / "Players.csv");
    if (state.range(0) > 0) {
        static const char* const colours[] = {"Gold",   "Red",    "Blue", "Green", "Orange",
                                              "SkyBlue", "Purple", "Pink", "Dark",  "White"};
        static const char* const countries[] = {"Sweden", "Japan", "Brazil", "Canada", "Chile", "Finland", "Poland"};
        std::string csv = "name;country;colour;portrait\r\n";
        for (long long i = 0; i < state.range(0); ++i)
            csv += "Player " + std::to_string(100000 + i) + " Tester;" + countries[i % 7] + ";" + colours[i % 10] +
                   ";P" + std::to_string(1 + i % 2) + "/" + std::to_string(i % 13) + "\r\n";
        std::ofstream(folder / "Players.csv", std::ios::binary) << csv;
    }
    for (auto _ : state) {
        quorvel::sim::SimPlatform platform{folder.string()};
        quorvel::app::App app(platform, quorvel::day::Release::R099);
        app.start();
        if (platform.quitCalled() || app.roster().players().size() != static_cast<std::size_t>(state.range(0)))
            state.SkipWithError("the program did not start with its roster");
    }
    fs::remove_all(folder);
}
BENCHMARK(BM_StartDialogLoad)->Arg(0)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--ticks") == 0) {
        IdleTable table;
        const long long ticks = std::atoll(argv[2]);
        table.platform.advance(10 * ticks);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--next-matches") == 0) {
        // As bench/next-match.py: the shipped folder with a day of 200 matches between the
        // sample roster's players, each player 1 another than the last.
        namespace fs = std::filesystem;
        const fs::path folder = fs::temp_directory_path() / "quorvel-bench-day";
        fs::remove_all(folder);
        fs::copy(QUORVEL_PROGRAM_FOLDER, folder, fs::copy_options::recursive);
        std::vector<std::string> names;
        std::ifstream roster(folder / "Players.csv");
        for (std::string line; std::getline(roster, line);) names.push_back(line.substr(0, line.find(';')));
        names.erase(names.begin());
        std::string day = "player1;player2;series;round;time\r\n";
        for (std::size_t i = 0; i < 200; ++i)
            day += names[i % names.size()] + ";" + names[(i + 7) % names.size()] + ";Best of 3;Match " +
                   std::to_string(i + 1) + ";\r\n";
        std::ofstream(folder / "Matches.csv", std::ios::binary) << day;
        bool ended = false;
        {
            IdleTable table(folder.string());
            auto& app = *table.app;
            // The overlay's feed with a reader of the table and one of the state, as a stream
            // page and a deck keep them: each match is described once, at the end of its event.
            quorvel::remote::TableFeed feed(app);
            using Kind = quorvel::remote::FeedStore::Kind;
            const quorvel::remote::FeedStore::Reader page(feed.store(), Kind::Table);
            const quorvel::remote::FeedStore::Reader deck(feed.store(), Kind::State);
            table.platform.runPosted();
            const long long matches = std::atoll(argv[2]);
            for (long long i = 0; i < matches; ++i)
                app.runtime().dispatch([&] { app.table().goToMatch(static_cast<std::size_t>(i % 2)); });
            ended = app.day().current() == static_cast<std::size_t>((matches - 1) % 2);
        }
        fs::remove_all(folder);
        return ended ? 0 : 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
