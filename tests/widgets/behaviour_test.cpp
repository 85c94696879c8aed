// Input handling of the widgets through the element tree's own routing: a headless
// window delivers moves, presses, releases, double clicks and timer ticks exactly
// as a platform window does, and a recording host sees every gesture.

#include "corvid/pbrwidgets/label.h"
#include "corvid/pbrwidgets/logo.h"
#include "corvid/pbrwidgets/paramhint.h"
#include "corvid/pbrwidgets/urlopener.h"
#include "spatium/gui/bowgame.h"
#include "tests/widgets/harness.h"
#include "vireo/gui/dropdown.h"
#include "vireo/gui/radiobutton.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace corvid;
using namespace widgettest;
using Log = std::vector<std::string>;

template <typename W>
W& place(TestEditor& gui, std::unique_ptr<W> w, IntRect box) {
    w->setPosition(box);
    return static_cast<W&>(gui.addChild(std::move(w)));
}

// A surface under the widgets that takes every click, to see what falls through.
class Catcher : public UIElement {
public:
    using UIElement::UIElement;
    bool onMouseClick(std::int32_t, std::int32_t, MouseButton, bool, MouseState) override {
        ++clicks;
        return true;
    }
    int clicks = 0;
};

void click(HeadlessWindow& w, std::int32_t x, std::int32_t y, bool dbl = false,
           MouseButton b = MouseButton::left) {
    w.mouseMove(x, y);
    w.mouseDown(b, dbl);
    w.mouseUp(b);
}

// ---------------------------------------------------------------- dropdown

struct DropdownRig {
    Host host;
    std::unique_ptr<IntegerParameter> p = host.integer(5, 2, 13, 4);
    TestEditor gui;
    Catcher* below = nullptr;
    vireo::VireoDropdown* dd = nullptr;
    HeadlessWindow* window = nullptr;
    DropdownRig() {
        below = &place(gui, std::make_unique<Catcher>(gui.getContext()), {0, 0, 200, 400});
        below->setZOrder(-1);
        auto d = std::make_unique<vireo::VireoDropdown>(gui.getContext(), p.get(), &testFont());
        for (int i = 0; i < 12; ++i) d->labels.push_back("L" + std::to_string(i));
        dd = &place(gui, std::move(d), {10, 20, 57, 340}); // 47 x 320: 12 choices, rows of 24.6
        window = &gui.openHeadlessEditor();
    }
};

TEST(Dropdown, ClosedIgnoresClicksBelowItsHeaderAndOpensOnIt) {
    DropdownRig r;
    click(*r.window, 30, 20 + 30); // row 1 of a closed list
    EXPECT_FALSE(r.dd->open);
    EXPECT_EQ(r.below->clicks, 1) << "the element beneath gets the click";
    click(*r.window, 30, 20 + 24); // last pixel row of the header
    EXPECT_TRUE(r.dd->open);
    EXPECT_EQ(r.below->clicks, 1);
    EXPECT_TRUE(r.host.recorder.log.empty());
}

TEST(Dropdown, ChoosingSetsWithoutEditBracketAndTheSameChoiceOnlyCloses) {
    DropdownRig r;
    click(*r.window, 30, 25);
    ASSERT_TRUE(r.dd->open);
    // Row 3 (y from 73.8 to 98.4 in the element) is value min + 2.
    click(*r.window, 30, 20 + 80);
    EXPECT_FALSE(r.dd->open);
    EXPECT_EQ(r.p->value(), 4 + 0) << "min 2 + row 3 - 1";
    EXPECT_TRUE(r.host.recorder.log.empty()) << "choosing the current value tells nobody";
    click(*r.window, 30, 25);
    click(*r.window, 30, 20 + 319); // last row: value 13
    EXPECT_EQ(r.p->value(), 13);
    EXPECT_EQ(r.host.recorder.log, (Log{"automate 5"}));
    EXPECT_FLOAT_EQ(r.host.recorder.lastValue, 1.0f);
    EXPECT_EQ(r.below->clicks, 0);
}

TEST(Dropdown, DoubleClickOnHeaderResetsWithoutEditBracket) {
    DropdownRig r;
    r.p->setFromEditor(9);
    r.host.recorder.log.clear();
    r.window->mouseMove(30, 25);
    r.window->mouseDown(MouseButton::left);
    r.window->mouseUp(MouseButton::left);
    EXPECT_TRUE(r.dd->open);
    r.window->mouseDown(MouseButton::left, true);
    r.window->mouseUp(MouseButton::left);
    EXPECT_EQ(r.p->value(), 4);
    EXPECT_FALSE(r.dd->open) << "the second click lands on the open header and closes";
    EXPECT_EQ(r.host.recorder.log, (Log{"automate 5"}));
}

TEST(Dropdown, UnfoldsRowByRowAndFoldsBack) {
    DropdownRig r;
    EXPECT_EQ(r.dd->visibleRows(), 1);
    click(*r.window, 30, 25);
    std::int32_t last = 1;
    bool grewByOne = true;
    for (int i = 0; i < 40; ++i) {
        r.window->advanceTime(15);
        r.window->tick();
        const std::int32_t rows = r.dd->visibleRows();
        grewByOne = grewByOne && rows >= last;
        last = rows;
    }
    EXPECT_TRUE(grewByOne);
    EXPECT_EQ(last, 13) << "header and all twelve choices once open";
    EXPECT_GT(r.dd->openAmount, 0.99f) << "settles within the 0.001 step";
    click(*r.window, 30, 25);
    for (int i = 0; i < 40; ++i) {
        r.window->advanceTime(15);
        r.window->tick();
    }
    EXPECT_EQ(r.dd->visibleRows(), 1);
}

// ---------------------------------------------------------------- radio buttons

TEST(RadioButtons, ClickIsOneEditAndLeftoverRowsFallThrough) {
    Host host;
    auto p = host.integer(2, 1, 4, 1); // four options
    TestEditor gui;
    auto& below = place(gui, std::make_unique<Catcher>(gui.getContext()), {0, 0, 200, 400});
    below.setZOrder(-1);
    // 59 x 142: buttons 35 high, two rows left over at the bottom.
    auto& set = place(gui, vireo::VireoRadioButtonSet::create(p.get(), gui.getContext()),
                      {10, 10, 69, 152});
    EXPECT_EQ(set.optionGlow.size(), 4u);
    auto& window = gui.openHeadlessEditor();

    click(window, 20, 10 + 2 * 35 + 3);
    EXPECT_EQ(p->value(), 3);
    EXPECT_EQ(host.recorder.log, (Log{"begin 2", "automate 2", "end 2"}));
    click(window, 20, 10 + 4 * 35 - 1); // last pixel of the last button
    EXPECT_EQ(p->value(), 4);
    host.recorder.log.clear();
    click(window, 20, 10 + 4 * 35); // first left-over row
    click(window, 20, 10 + 4 * 35 + 1);
    EXPECT_EQ(below.clicks, 2);
    EXPECT_TRUE(host.recorder.log.empty());
    click(window, 20, 10);
    EXPECT_EQ(p->value(), 1);
    EXPECT_EQ(host.recorder.log, (Log{"begin 2", "automate 2", "end 2"}));
}

TEST(RadioButtons, GlowFollowsTheValueAndStopsAsking) {
    Host host;
    auto p = host.integer(0, 0, 2, 0);
    TestEditor gui;
    auto& set =
        place(gui, vireo::VireoRadioButtonSet::create(p.get(), gui.getContext()), {0, 0, 59, 140});
    auto& window = gui.openHeadlessEditor();
    p->setFromEditor(2);
    for (int i = 0; i < 100; ++i) {
        window.advanceTime(15);
        window.tick();
    }
    EXPECT_GT(set.optionGlow[2], 0.99f);
    EXPECT_LT(set.optionGlow[0], 0.01f);
    const int paints = window.paintCount();
    window.advanceTime(15);
    window.tick();
    EXPECT_EQ(window.paintCount(), paints) << "a settled set asks for no redraw";
}

TEST(RadioButtons, TooSmallForItsOptionsTakesNoClicks) {
    Host host;
    auto p = host.integer(0, 0, 9, 0); // ten options in 8 pixel rows
    TestEditor gui;
    place(gui, vireo::VireoRadioButtonSet::create(p.get(), gui.getContext()), {0, 0, 20, 8});
    auto& window = gui.openHeadlessEditor();
    window.mouseMove(5, 5);
    EXPECT_FALSE(window.mouseDown(MouseButton::left));
    EXPECT_TRUE(host.recorder.log.empty());
}

// ---------------------------------------------------------------- value hint

TEST(ParamHint, FadesStartingAfterTheLastChangeOfAnOpenEdit) {
    Host host;
    LinearFloatParameter p(1, "Width", "%", 0.0, 100.0, 50.0);
    p.setClient(host.client.get());
    TestEditor gui;
    auto& hint = place(gui, std::make_unique<UIParamHint>(gui.getContext(), &p, &testFont()),
                       {20, 20, 60, 42});
    auto& window = gui.openHeadlessEditor();
    auto step = [&](int frames) {
        for (int i = 0; i < frames; ++i) {
            window.advanceTime(15);
            window.tick();
        }
    };
    step(5);
    EXPECT_EQ(hint.visibility, 0.0f) << "nothing shows without an edit";
    p.setFromEditor(10.0);
    step(5);
    EXPECT_EQ(hint.visibility, 0.0f) << "a change outside an edit shows nothing";

    p.beginEdit();
    step(11); // 0.15 s and one frame for rounding: fully shown
    EXPECT_EQ(hint.visibility, 1.0f);
    EXPECT_EQ(hint.currentText(), "10.00 %");
    // Keep changing for a while: stays up.
    for (int i = 0; i < 100; ++i) {
        p.setFromEditor(20.0 + i * 0.1);
        step(1);
        ASSERT_EQ(hint.visibility, 1.0f);
    }
    EXPECT_EQ(hint.currentText(), "29.90 %");
    // Edit still open, value still. The frame that took the last change left
    // sinceEdit at 0.015; the 56th frame after it still sees 0.84, the 57th 0.855.
    step(56);
    EXPECT_EQ(hint.visibility, 1.0f) << "still lingering at 0.84 s";
    step(1);
    EXPECT_LT(hint.visibility, 1.0f) << "fading from 0.855 s on, edit still open";
    step(21); // 0.3 s of fade, and one frame for rounding
    EXPECT_EQ(hint.visibility, 0.0f);
    p.endEdit();
    EXPECT_EQ(host.recorder.log.front(), "automate 1");
}

TEST(ParamHint, LongTextIsCutOnACharacterBoundary) {
    Host host;
    // A unit of 200 two-byte characters, far beyond the 256-byte buffer.
    std::string unit;
    for (int i = 0; i < 200; ++i) unit += "\xc3\xa9";
    LinearFloatParameter p(1, "P", unit, 0.0, 1.0, 0.5);
    TestEditor gui;
    auto& hint = place(gui, std::make_unique<UIParamHint>(gui.getContext(), &p, &testFont()),
                       {0, 0, 40, 22});
    hint.rebuildText();
    const std::string_view t = hint.currentText();
    EXPECT_LE(t.size(), UIParamHint::kTextCapacity);
    EXPECT_EQ(t.substr(0, 5), "0.50 ");
    // 251 bytes are left after "0.50 ": 125 whole characters.
    EXPECT_EQ(t.size(), 5u + 250u);
    EXPECT_EQ(cutUtf8("a\xe2\x82\xac", 3), "a");
    EXPECT_EQ(cutUtf8("a\xe2\x82\xac", 4), "a\xe2\x82\xac");
}

// ---------------------------------------------------------------- label and logo

TEST(Label, ClickableLabelOpensItsAddressAndGlows) {
    UrlRecorder urls;
    TestEditor gui;
    auto& below = place(gui, std::make_unique<Catcher>(gui.getContext()), {0, 0, 200, 400});
    below.setZOrder(-1);
    auto& label = place(gui, std::make_unique<UILabel>(gui.getContext()), {10, 10, 205, 23});
    label.setFont(&testFont());
    label.setText("www.example.com");
    label.textColor = {10, 20, 30, 200};
    auto& window = gui.openHeadlessEditor();

    click(window, 50, 15);
    EXPECT_TRUE(urls.opened.empty()) << "not clickable: the click falls through";
    EXPECT_EQ(below.clicks, 1);

    label.clickable = true;
    label.url = "https://example.com/";
    window.mouseMove(50, 15);
    EXPECT_EQ(label.effectiveTextColor().a, 240);
    window.mouseDown(MouseButton::left);
    EXPECT_EQ(urls.opened, (std::vector<std::string>{"https://example.com/"}));
    window.mouseMove(150, 300); // pressed, pointer gone
    EXPECT_EQ(label.effectiveTextColor().a, 255) << "200 + 80 capped";
    window.mouseUp(MouseButton::left);
    EXPECT_EQ(label.effectiveTextColor().a, 200);
    EXPECT_EQ(below.clicks, 1);
}

TEST(Logo, ClickIsTakenWithoutHoverAndTheGlowFollowsThePointer) {
    UrlRecorder urls;
    TestEditor gui;
    auto& logo = place(gui, std::make_unique<UILogo>(gui.getContext()), {20, 11, 80, 56});
    logo.url = "https://example.org/";
    auto& window = gui.openHeadlessEditor();
    // The very first event is the press: the pointer never moved over the logo.
    // Windows report the press position, so the window is told where it is.
    logo.setPosition({0, 0, 60, 45});
    EXPECT_TRUE(window.mouseDown(MouseButton::left));
    EXPECT_EQ(urls.opened.size(), 1u);
    window.mouseUp(MouseButton::left);
    window.mouseMove(30, 20);
    for (int i = 0; i < 30; ++i) {
        window.advanceTime(15);
        window.tick();
    }
    EXPECT_GT(logo.glowAmount, 0.99f);
    window.mouseMove(150, 300);
    for (int i = 0; i < 30; ++i) {
        window.advanceTime(15);
        window.tick();
    }
    EXPECT_LT(logo.glowAmount, 0.01f);
}

TEST(UrlOpener, RefusesAddressesAHandlerWouldMisread) {
    UrlRecorder urls;
    openUrl("");
    openUrl("--help");
    openUrl("https://a.example/\nrm");
    openUrl("https://a.example/");
    EXPECT_EQ(urls.opened, (std::vector<std::string>{"https://a.example/"}));
}

// ---------------------------------------------------------------- bow game

struct GameRig {
    TestEditor gui;
    spatium::BowGame* game;
    HeadlessWindow* window;
    GameRig() {
        game =
            &place(gui, std::make_unique<spatium::BowGame>(gui.getContext()), {10, 195, 115, 279});
        game->lightAll();
        window = &gui.openHeadlessEditor();
    }
    int litCount() const {
        int n = 0;
        for (bool b : game->tileLit) n += b;
        return n;
    }
};

TEST(BowGame, CornerClickFlipsOnlyTheClippedPlus) {
    GameRig r;
    EXPECT_EQ(r.game->tileWidth(), 21);
    EXPECT_EQ(r.game->leftMargin(), 0);
    click(*r.window, 10 + 2, 195 + 2); // tile (0, 0)
    // (0,0), (0,1), (1,0), (0,2), (2,0) fall inside the grid.
    EXPECT_EQ(r.litCount(), 15);
    for (int i : {0, 1, 2, 5, 10}) EXPECT_FALSE(r.game->tileLit[std::size_t(i)]) << i;
    click(*r.window, 10 + 104, 195 + 83); // tile (3, 4)
    for (int i : {19, 18, 17, 14, 9}) EXPECT_FALSE(r.game->tileLit[std::size_t(i)]) << i;
    EXPECT_EQ(r.litCount(), 10);
}

TEST(BowGame, OtherButtonsLightEverythingAndHoverStopsOnceSolved) {
    GameRig r;
    click(*r.window, 10 + 50, 195 + 40);
    const int lit = r.litCount();
    EXPECT_LT(lit, 20);
    r.window->mouseMove(200, 350); // outside the game
    r.window->mouseDown(MouseButton::right);
    r.window->mouseUp(MouseButton::right);
    EXPECT_EQ(r.litCount(), lit) << "the right click was not over the game: nothing";
    click(*r.window, 10 + 1, 195 + 1, false, MouseButton::right);
    EXPECT_EQ(r.litCount(), 20);
    click(*r.window, 10 + 50, 195 + 40, false, MouseButton::middle);
    EXPECT_EQ(r.litCount(), 20);

    // Hover marks the plus of the tile under the pointer.
    r.window->mouseMove(10 + 50, 195 + 40); // tile (1, 2)
    int hovered = 0;
    for (bool b : r.game->tileHovered) hovered += b;
    EXPECT_EQ(hovered, 8); // (1,2) and seven neighbours; (-1,2) is outside
    r.window->mouseMove(10 + 50, 195 + 100);
    for (bool b : r.game->tileHovered) EXPECT_FALSE(b);
}

TEST(BowGame, PointsOutsideTheGridHitNothing) {
    TestEditor gui;
    // 108 x 86: tiles 21 x 21, margins 2 (left, (108 - 105 + 1) / 2) and 1 (top).
    auto& game = place(gui, std::make_unique<spatium::BowGame>(gui.getContext()), {0, 0, 108, 86});
    std::int32_t row = 0, col = 0;
    EXPECT_EQ(game.leftMargin(), 2);
    EXPECT_EQ(game.topMargin(), 1);
    EXPECT_FALSE(game.tileAt(1, 10, row, col));
    EXPECT_FALSE(game.tileAt(10, 0, row, col));
    EXPECT_FALSE(game.tileAt(107, 10, row, col));
    EXPECT_TRUE(game.tileAt(2, 1, row, col));
    EXPECT_EQ(row, 0);
    EXPECT_EQ(col, 0);
    EXPECT_TRUE(game.tileAt(106, 84, row, col));
    EXPECT_EQ(row, 3);
    EXPECT_EQ(col, 4);
    spatium::BowGame tiny(gui.getContext());
    tiny.setPosition({0, 0, 4, 3});
    EXPECT_FALSE(tiny.tileAt(0, 0, row, col)) << "no tiles fit: no division by zero";
}

} // namespace
