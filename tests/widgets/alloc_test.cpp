// Every widget's paint, once warm, allocates nothing: a redraw runs every frame of a
// drag, on the editor's pool, and the heap's lock would stall it.

#include "corvid/graphics/mipmap.h"
#include "corvid/pbrwidgets/bargraph.h"
#include "corvid/pbrwidgets/knob.h"
#include "corvid/pbrwidgets/label.h"
#include "corvid/pbrwidgets/logo.h"
#include "corvid/pbrwidgets/onoffswitch.h"
#include "corvid/pbrwidgets/panel.h"
#include "corvid/pbrwidgets/paramhint.h"
#include "corvid/pbrwidgets/slider.h"
#include "spatium/gui/bowgame.h"
#include "spatium/gui/panknob.h"
#include "tests/support/countingalloc.h"
#include "tests/widgets/harness.h"
#include "vireo/gui/dropdown.h"
#include "vireo/gui/imageknob.h"
#include "vireo/gui/radiobutton.h"

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <vector>

namespace {

using namespace corvid;
using namespace widgettest;

TEST(WidgetPaint, WarmPaintsAllocateNothing) {
    corvid::testing::countAllocationsOnThisThread(true);
    // Called directly: Clang may drop a new-expression whose result is unused.
    ::operator delete(::operator new(sizeof(int)));
    corvid::testing::countAllocationsOnThisThread(false);
    ASSERT_EQ(corvid::testing::takeCountedAllocations(), 1);

    Host host;
    auto choice = host.integer(0, 0, 11, 3);
    LinearFloatParameter amount(1, "Amount", "%", 0.0, 100.0, 25.0);
    BoolParameter toggle(2, "Toggle", true);
    UIContext ctx;
    auto picture = std::make_unique<OwnedImage<RGBA>>(16, 64);
    picture->fill(RGBA{255, 90, 30, 255});
    const Mipmap<RGBA> knobPicture(std::move(picture), 2);
    OwnedImage<RGBA> art(20, 9);
    art.fill(RGBA{10, 200, 30, 128});

    std::vector<std::unique_ptr<UIElement>> widgets;
    widgets.push_back(std::make_unique<UIKnob>(ctx, &amount));
    widgets.push_back(std::make_unique<spatium::PanKnob>(ctx, &amount));
    widgets.push_back(std::make_unique<vireo::UIImageKnob>(ctx, &amount, &knobPicture));
    widgets.push_back(std::make_unique<UISlider>(ctx, &amount));
    widgets.push_back(std::make_unique<UIOnOffSwitch>(ctx, &toggle));
    auto label = std::make_unique<UILabel>(ctx);
    label->setFont(&testFont());
    label->setText("Spatium");
    widgets.push_back(std::move(label));
    auto logo = std::make_unique<UILogo>(ctx);
    logo->image = &art;
    widgets.push_back(std::move(logo));
    auto hint = std::make_unique<UIParamHint>(ctx, &amount, &testFont());
    hint->visibility = 1.0f;
    hint->rebuildText();
    widgets.push_back(std::move(hint));
    widgets.push_back(std::make_unique<UIPanel>(ctx));
    widgets.push_back(
        std::make_unique<UIBargraph>(ctx, 3, std::vector<RGBA>(8, RGBA{200, 40, 40, 0})));
    auto dropdown = std::make_unique<vireo::VireoDropdown>(ctx, choice.get(), &testFont());
    dropdown->labels = {"1/1", "1/2", "1/4", "1/8"};
    dropdown->openAmount = 1.0f;
    widgets.push_back(std::move(dropdown));
    widgets.push_back(vireo::VireoRadioButtonSet::create(choice.get(), ctx));
    widgets.push_back(std::make_unique<spatium::BowGame>(ctx));

    Maps maps(80, 80);
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        UIElement* w = widgets[i].get();
        w->setPosition({3, 2, 68, 75});
        const std::vector<IntRect> boxes{{0, 0, 80, 40}, {0, 40, 80, 80}};
        maps.paint(*w, boxes); // warm: glyphs rasterised, layers sized
        w->markDirty();
        corvid::testing::countAllocationsOnThisThread(true);
        maps.paint(*w, boxes);
        corvid::testing::countAllocationsOnThisThread(false);
        EXPECT_EQ(corvid::testing::takeCountedAllocations(), 0) << "widget " << i;
    }
}

} // namespace
