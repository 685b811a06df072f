// The windowing layer's own rules: pointer routing and capture, the double-click
// sequence, timers on the virtual clock, failures, and forms freed after their event.
#include <gtest/gtest.h>

#include "platform/sim/sim_platform.h"
#include "ui/error.h"
#include "ui/form.h"

namespace quorvel::ui {
namespace {

class TestForm : public Form {
public:
    explicit TestForm(Runtime& runtime, bool* destroyed = nullptr)
        : Form(runtime, "Test"),
          back(add<Label>("back", Rect{0, 0, 3000, 3000})),
          plate(add<Shape>("plate", Rect{0, 0, 1500, 1500}, 0x404040)),
          front(add<Image>("front", Rect{1000, 1000, 1000, 1000})),
          frame(add<Frame>("frame", Rect{2000, 2000, 900, 900})),
          inFrame(add<Label>("inFrame", Rect{100, 100, 300, 300})),
          tick(addTimer("tick", 100, true)),
          destroyed_(destroyed) {
        inFrame.setContainer(&frame);
        setClientSize(3000, 3000);
        for (Control* c : {static_cast<Control*>(&back), static_cast<Control*>(&front), static_cast<Control*>(&inFrame)}) {
            const std::string name = c->name();
            c->onMouseDown = [this, name](const MouseEvent& e) {
                log.push_back(name + " down " + std::to_string(e.button) + " " + std::to_string(e.x) + "," +
                              std::to_string(e.y));
            };
            c->onMouseUp = [this, name](const MouseEvent&) { log.push_back(name + " up"); };
            c->onMouseMove = [this, name](const MouseEvent& e) {
                log.push_back(name + " move " + std::to_string(e.button) + " " + std::to_string(e.x) + "," +
                              std::to_string(e.y));
            };
            c->onClick = [this, name] { log.push_back(name + " click"); };
            c->onDblClick = [this, name] { log.push_back(name + " dblclick"); };
        }
        tick.onTick = [this] { log.push_back("tick " + std::to_string(ticks++)); };
    }
    ~TestForm() override {
        if (destroyed_) *destroyed_ = true;
    }

    Label& back;
    Shape& plate;
    Image& front;
    Frame& frame;
    Label& inFrame;
    Timer& tick;
    std::vector<std::string> log;
    int ticks = 0;

private:
    bool* destroyed_;
};

class Forms : public ::testing::Test {
protected:
    sim::SimPlatform platform{"/nonexistent"};
    Runtime runtime{platform, "Test"};
    TestForm form{runtime};
    void SetUp() override { form.load(); }
};

using Log = std::vector<std::string>;

TEST_F(Forms, PressGoesToTheFrontmostShownControlThatTakesThePointer) {
    form.inputPointerDown({1200, 1200}, mouse::kLeft, 0);  // under front, plate and back
    form.inputPointerUp({1200, 1200}, mouse::kLeft, 0);
    form.inputPointerDown({100, 100}, mouse::kRight, 0);   // the plate takes no pointer: back gets it
    form.inputPointerUp({100, 100}, mouse::kRight, 0);
    EXPECT_EQ(form.log, (Log{"front down 1 200,200", "front up", "front click", "back down 2 100,100", "back up",
                             "back click"}));

    form.log.clear();
    form.front.setVisible(false);
    form.inputPointerDown({1200, 1200}, mouse::kMiddle, 0);
    form.inputPointerUp({1200, 1200}, mouse::kMiddle, 0);
    EXPECT_EQ(form.log, (Log{"back down 4 1200,1200", "back up"})) << "a middle press makes no click";
}

TEST_F(Forms, ControlsInAHiddenFrameTakeNoPointerAndFrameCoordinatesAdd) {
    form.inputPointerDown({2150, 2150}, mouse::kLeft, 0);
    form.inputPointerUp({2150, 2150}, mouse::kLeft, 0);
    EXPECT_EQ(form.log.front(), "inFrame down 1 50,50");
    form.log.clear();
    form.frame.setVisible(false);
    form.inputPointerDown({2150, 2150}, mouse::kLeft, 0);
    EXPECT_EQ(form.log.front(), "back down 1 2150,2150");
}

TEST_F(Forms, PressedControlKeepsThePointerUntilTheLastButtonIsReleased) {
    form.inputPointerDown({1100, 1100}, mouse::kLeft, 0);
    form.inputPointerDown({1100, 1100}, mouse::kRight, 0);
    form.inputPointerMove({-600, 4000}, mouse::kLeft | mouse::kRight, 0);  // outside the window
    form.inputPointerUp({-600, 4000}, mouse::kLeft, 0);
    form.inputPointerMove({-700, 4000}, mouse::kRight, 0);
    form.inputPointerUp({-700, 4000}, mouse::kRight, 0);
    form.inputPointerMove({100, 100}, 0, 0);
    EXPECT_EQ(form.log, (Log{"front down 1 100,100", "front down 2 100,100", "front move 3 -1600,3000", "front up",
                             "front move 2 -1700,3000", "front up", "back move 0 100,100"}))
        << "releases outside the control make no click";
}

TEST_F(Forms, ALostCaptureFreesThePointerSoTheNextMoveGoesToWhatIsUnderIt) {
    form.inputPointerDown({1100, 1100}, mouse::kLeft, 0);
    form.inputPointerCaptureLost();
    form.inputPointerMove({100, 100}, 0, 0);
    form.inputPointerDown({100, 100}, mouse::kRight, 0);
    EXPECT_EQ(form.log, (Log{"front down 1 100,100", "back move 0 100,100", "back down 2 100,100"}));
}

TEST_F(Forms, DoubleClickArrivesAsPressReleaseClickDoubleClickRelease) {
    form.inputPointerDown({1500, 1500}, mouse::kLeft, 0);
    form.inputPointerUp({1500, 1500}, mouse::kLeft, 0);
    form.inputDoubleClick({1500, 1500}, mouse::kLeft, 0);
    form.inputPointerUp({1500, 1500}, mouse::kLeft, 0);
    EXPECT_EQ(form.log, (Log{"front down 1 500,500", "front up", "front click", "front dblclick", "front up"}));
}

TEST_F(Forms, TimersTickInTimeOrderAndStopWithTheirForm) {
    Timer& fast = *form.timers().front();
    platform.advance(350);
    EXPECT_EQ(form.ticks, 3);
    fast.setInterval(50);  // the countdown starts again
    platform.advance(49);
    EXPECT_EQ(form.ticks, 3);
    platform.advance(1);
    EXPECT_EQ(form.ticks, 4);
    fast.setEnabled(false);
    platform.advance(1000);
    EXPECT_EQ(form.ticks, 4);
    fast.setEnabled(true);
    form.closeWindow();
    platform.advance(1000);
    EXPECT_EQ(form.ticks, 4);
    EXPECT_THROW(fast.setInterval(65536), Error);
}

TEST_F(Forms, FailureInAHandlerShowsItsMessageEndsTheProgramAndDropsLaterEvents) {
    form.back.onMouseDown = [](const MouseEvent&) { throw Error("C:\\q\\Options.ini, line 4: \"x\" is not a number"); };
    form.inputPointerDown({100, 100}, mouse::kLeft, 0);
    ASSERT_EQ(platform.messageBoxes().size(), 1u);
    EXPECT_EQ(platform.messageBoxes()[0].text, "C:\\q\\Options.ini, line 4: \"x\" is not a number");
    EXPECT_EQ(platform.exitCode(), 1);
    platform.advance(1000);
    EXPECT_EQ(form.ticks, 0);
}

TEST(FormLifetime, FormUnloadedInItsOwnHandlerIsFreedWhenTheEventCompletes) {
    sim::SimPlatform platform{"/nonexistent"};
    Runtime runtime{platform, "Test"};
    bool destroyed = false;
    auto owned = std::make_unique<TestForm>(runtime, &destroyed);
    TestForm* form = owned.get();
    form->load();
    bool aliveAfterUnload = false;
    form->back.onMouseDown = [&](const MouseEvent&) {
        form->closeWindow();
        runtime.retire(std::move(owned));
        aliveAfterUnload = !destroyed;
        form->back.setCaption("still usable");  // the handler goes on with its own form
    };
    form->inputPointerDown({100, 100}, mouse::kLeft, 0);
    EXPECT_TRUE(aliveAfterUnload);
    EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace quorvel::ui
