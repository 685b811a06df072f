// Costs of the score table on the headless backend with the shipped program folder, the
// table shown after GO and the menu hidden: one idle tick of the key poll (no chord held)
// and one pointer move over the pick strip that loads a shipped portrait from disk.
//
//   quorvel_bench_table                     times per tick and per move (Google Benchmark)
//   quorvel_bench_table --ticks N           runs N idle ticks and exits, for
//       valgrind --tool=callgrind --toggle-collect='quorvel::table::ScoreTable::pollShortcuts()'
//   (bench/idle-tick-instructions.sh runs that and prints instructions per tick)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/app.h"
#include "platform/sim/sim_platform.h"
#include "start/start_dialog.h"
#include "table/score_table.h"

namespace {

struct IdleTable {
    quorvel::sim::SimPlatform platform{QUORVEL_PROGRAM_FOLDER};
    std::unique_ptr<quorvel::app::App> app;

    IdleTable() {
        app = std::make_unique<quorvel::app::App>(platform, quorvel::app::Release::R099);
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

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--ticks") == 0) {
        IdleTable table;
        const long long ticks = std::atoll(argv[2]);
        table.platform.advance(10 * ticks);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
