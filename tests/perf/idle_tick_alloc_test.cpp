// An idle tick of the key poll (no chord held) must not touch the heap: the program runs
// it a hundred times a second for hours. Counts every allocation of the process through
// the replaceable global operator new while idle ticks run on the virtual clock.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include <httplib.h>

#include <future>

#include "control/control_menu.h"
#include "remote/server.h"
#include "remote/table_feed.h"
#include "scenario/program_folder.h"
#include "start/start_dialog.h"
#include "table/score_table.h"

namespace {
std::atomic<long long> allocations{0};
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace quorvel::testing {
namespace {

TEST(IdleTick, AllocatesNothingBeforeAndAfterGoWithTheMenuShownOrHidden) {
    Program program;
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& platform = program.platform;
    // Before GO, on the hidden table.
    platform.advance(700);
    long long before = allocations;
    platform.advance(1000);
    EXPECT_EQ(allocations - before, 0) << "100 idle ticks on the hidden table";

    auto& dialog = program.app->startDialog();
    before = allocations;
    dialog.inputButtonClicked(dialog.Command1);
    ASSERT_GT(allocations - before, 0) << "GO allocates: the counter sees the program's allocations";
    program.app->controlMenu().show();
    platform.advance(700);
    before = allocations;
    const long long queries = platform.keyQueries();
    platform.advance(10000);
    EXPECT_EQ(allocations - before, 0) << "1000 idle ticks with the table and the menu shown";
    EXPECT_EQ(platform.keyQueries() - queries, 63 * 1000) << "the ticks did run";

    auto& menu = program.app->controlMenu();
    menu.inputTextEdited(menu.Text6, "1");
    menu.inputButtonClicked(menu.Command1);  // a capture every 100 ms; the first one writes
    platform.advance(1000);
    before = allocations;
    platform.advance(10000);
    EXPECT_EQ(allocations - before, 0) << "100 captures of the unchanged table, drawn and compared";
    EXPECT_EQ(platform.imagesSaved(), 1);
}

TEST(IdleTick, WithTheRemoteControlListeningStaysAsItWasAndTheServerWaitsWithoutAllocating) {
    Program program;
    ASSERT_TRUE(program.start()) << program.lastMessage();
    auto& platform = program.platform;
    auto& dialog = program.app->startDialog();
    dialog.inputButtonClicked(dialog.Command1);
    remote::Server server(*program.app, remote::Endpoint{"127.0.0.1", 0, ""});
    // One request first, so that the server's threads have started and served.
    auto answered = std::async(std::launch::async, [&] {
        httplib::Client client("127.0.0.1", server.port());
        const auto result = client.Post("/api/action/score-up", R"({"player":1})", "application/json");
        return result ? result->status : -1;
    });
    while (answered.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        platform.waitForPosted(std::chrono::milliseconds(5));
        platform.runPosted();
    }
    ASSERT_EQ(answered.get(), 200);
    ASSERT_EQ(program.app->table().T1.caption(), "1");
    // An overlay page and a deck reading what changes.
    remote::TableFeed feed(*program.app);
    remote::FeedStore::Reader page(feed.store(), remote::FeedStore::Kind::Table);
    remote::FeedStore::Reader deck(feed.store(), remote::FeedStore::Kind::State);

    platform.advance(700);
    ASSERT_TRUE(page.take() && deck.take()) << "both were described whole";
    const long long before = allocations;
    const long long queries = platform.keyQueries();
    platform.advance(10000);
    EXPECT_EQ(allocations - before, 0) << "1000 idle ticks, and the server's threads, while no request comes";
    EXPECT_EQ(platform.keyQueries() - queries, 63 * 1000) << "the same key queries a tick as without the server";
    EXPECT_FALSE(page.take() || deck.take()) << "idle ticks publish nothing";
}

}  // namespace
}  // namespace quorvel::testing
