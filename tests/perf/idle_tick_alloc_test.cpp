// An idle tick of the key poll (no chord held) must not touch the heap: the program runs
// it a hundred times a second for hours. Counts every allocation of the process through
// the replaceable global operator new while idle ticks run on the virtual clock.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "control/control_menu.h"
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
    EXPECT_EQ(platform.keyQueries() - queries, 55 * 1000) << "the ticks did run";
}

}  // namespace
}  // namespace quorvel::testing
