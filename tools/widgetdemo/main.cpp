// widgetdemo: every widget of the lit set on one panel, each bound to a parameter
// of a small demo client, rendered without a display.
//
//   widgetdemo --screenshot out.png

#include "tools/guidemo/demo.h"
#include "tools/pngwrite/pngwrite.h"

#include "corvid/client/client.h"
#include "corvid/client/params.h"
#include "corvid/graphics/decode.h"
#include "corvid/graphics/mipmap.h"
#include "corvid/graphics/text/font.h"
#include "corvid/gui/graphics.h"
#include "corvid/pbrwidgets/bargraph.h"
#include "corvid/pbrwidgets/knob.h"
#include "corvid/pbrwidgets/label.h"
#include "corvid/pbrwidgets/logo.h"
#include "corvid/pbrwidgets/onoffswitch.h"
#include "corvid/pbrwidgets/panel.h"
#include "corvid/pbrwidgets/paramhint.h"
#include "corvid/pbrwidgets/slider.h"
#include "corvid/window/headlesswindow.h"
#include "resources/resources.h"
#include "spatium/gui/bowgame.h"
#include "spatium/gui/panknob.h"
#include "vireo/gui/dropdown.h"
#include "vireo/gui/imageknob.h"
#include "vireo/gui/radiobutton.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace corvid;

constexpr int kWidth = 763;
constexpr int kHeight = 494;

// The parameters the widgets are bound to, in index order.
enum : std::int32_t {
    kDimpled,
    kCylinder,
    kCone,
    kBall,
    kPan,
    kImageKnob,
    kFader,
    kLevel,
    kBypass,
    kTempo,
    kWave,
    kParameterCount
};

class DemoClient : public Client {
public:
    std::unique_ptr<IGraphics> createEditor() override { return nullptr; }
    void resetState(double, std::int32_t, std::int32_t, std::int32_t) override {}
    void processSubBlock(const float* const*, float* const*, std::int32_t, TransportInfo) override {
    }
    std::vector<std::unique_ptr<Parameter>> declareParameters() override {
        std::vector<std::unique_ptr<Parameter>> p;
        const char* knobs[] = {"Dimpled", "Cylinder", "Cone", "Ball"};
        for (std::int32_t i = kDimpled; i <= kBall; ++i)
            p.push_back(std::make_unique<LinearFloatParameter>(i, knobs[i], "%", 0.0, 100.0,
                                                               20.0 + 20.0 * i));
        p.push_back(std::make_unique<LinearFloatParameter>(kPan, "Pan", "deg", -90.0, 90.0, 30.0));
        p.push_back(
            std::make_unique<LinearFloatParameter>(kImageKnob, "Image", "%", 0.0, 100.0, 70.0));
        p.push_back(
            std::make_unique<LinearFloatParameter>(kFader, "Fader", "dB", -60.0, 6.0, -12.0));
        p.push_back(std::make_unique<LinearFloatParameter>(kLevel, "Level", "%", 0.0, 100.0, 80.0));
        p.push_back(std::make_unique<BoolParameter>(kBypass, "Bypass", true));
        p.push_back(std::make_unique<IntegerParameter>(kTempo, "Tempo", "", 0, 5, 2));
        p.push_back(std::make_unique<IntegerParameter>(kWave, "Wave", "", 0, 3, 1));
        return p;
    }
    std::vector<std::unique_ptr<Preset>> declarePresets() override {
        std::vector<std::unique_ptr<Preset>> presets;
        presets.push_back(defaultPreset());
        return presets;
    }
    PluginDescription declarePluginInfo() override {
        PluginDescription d;
        d.pluginName = "Widget demo";
        return d;
    }
    std::vector<ChannelLayout> declareChannelLayouts() override { return {{2, 2}}; }
};

template <typename P>
P* param(Client& client, std::int32_t index) {
    return static_cast<P*>(client.parameter(index));
}

class WidgetDemo : public GUIGraphics {
public:
    explicit WidgetDemo(Client& client)
        : GUIGraphics(kWidth, kHeight), text(spatium::resources::textFont()),
          title(spatium::resources::titleFont()),
          logoImage(decodeToRGBA(spatium::resources::logoPng())) {
        context.setEnvironmentMap(guidemo::makeSkybox(1024, 512));
        auto& panel = place(std::make_unique<UIPanel>(context), {0, 0, kWidth, kHeight});
        panel.panelDiffuse = {58, 62, 70, 0};

        const KnobBodyStyle styles[] = {KnobBodyStyle::dimpled, KnobBodyStyle::cylinder,
                                        KnobBodyStyle::cone, KnobBodyStyle::ball};
        const char* names[] = {"Dimpled", "Cylinder", "Cone", "Ball"};
        for (int i = 0; i < 4; ++i) {
            const int x = 30 + 85 * i;
            auto& k = place(
                std::make_unique<UIKnob>(context, param<FloatParameter>(client, kDimpled + i)),
                {x, 60, x + 65, 125});
            k.bodyStyle = styles[i];
            k.ledCount = 13;
            k.bodyRadius = 0.8f;
            label(names[i], {x - 5, 130, x + 70, 146}, 11.0f);
        }
        auto& pan =
            place(std::make_unique<spatium::PanKnob>(context, param<FloatParameter>(client, kPan)),
                  {380, 40, 492, 152});
        pan.baseAngle = 0.0f;
        pan.useBelowBaseColour = true;
        label("Pan knob", {386, 156, 486, 172}, 11.0f);

        imageKnobMap = std::make_unique<Mipmap<RGBA>>(knobPicture(), 4);
        place(std::make_unique<vireo::UIImageKnob>(
                  context, param<FloatParameter>(client, kImageKnob), imageKnobMap.get()),
              {520, 60, 585, 125});
        label("Image knob", {505, 130, 600, 146}, 11.0f);

        place(std::make_unique<UISlider>(context, param<Parameter>(client, kFader)),
              {40, 200, 69, 343});
        auto& styled = place(std::make_unique<UISlider>(context, param<Parameter>(client, kLevel)),
                             {95, 200, 124, 343});
        styled.handleStyle = 1;
        label("Sliders", {30, 350, 140, 366}, 11.0f);

        place(std::make_unique<UIOnOffSwitch>(context, param<BoolParameter>(client, kBypass)),
              {170, 215, 200, 265});
        label("Switch", {150, 270, 220, 286}, 11.0f);

        place(std::make_unique<UIParamHint>(context, param<Parameter>(client, kFader), &text),
              {150, 305, 230, 327});
        label("Hint", {150, 330, 230, 346}, 11.0f);

        bars = &place(std::make_unique<UIBargraph>(context, 2,
                                                   std::vector<RGBA>{{80, 255, 120, 0},
                                                                     {80, 255, 120, 0},
                                                                     {255, 220, 60, 0},
                                                                     {255, 70, 50, 0}}),
                      {250, 200, 290, 343});
        label("Bar graph", {235, 350, 305, 366}, 11.0f);

        auto dd = std::make_unique<vireo::VireoDropdown>(
            context, param<IntegerParameter>(client, kTempo), &text);
        for (const char* s : {"1/1", "1/2", "1/4", "1/8", "1/16", "1/32"}) dd->labels.push_back(s);
        place(std::move(dd), {330, 200, 377, 330});
        auto closed = std::make_unique<vireo::VireoDropdown>(
            context, param<IntegerParameter>(client, kTempo), &text);
        for (const char* s : {"1/1", "1/2", "1/4", "1/8", "1/16", "1/32"})
            closed->labels.push_back(s);
        place(std::move(closed), {400, 200, 447, 330});
        label("Dropdowns", {330, 350, 450, 366}, 11.0f);

        auto radio =
            vireo::VireoRadioButtonSet::create(param<IntegerParameter>(client, kWave), context);
        radio->setPosition({480, 200, 539, 340});
        addChild(std::move(radio));
        for (int i = 0; i < 4; ++i) {
            const char* waves[] = {"Sine", "Triangle", "Saw", "Square"};
            label(waves[i], {505, 200 + 35 * i + 9, 600, 200 + 35 * i + 26}, 10.0f);
        }
        label("Radio set", {470, 350, 560, 366}, 11.0f);

        auto game = std::make_unique<spatium::BowGame>(context);
        game->lightAll();
        game->flipTile(1, 2);
        place(std::move(game), {620, 200, 725, 284});
        label("Bow game", {620, 290, 725, 306}, 11.0f);

        auto& logo = place(std::make_unique<UILogo>(context), {600, 400, 740, 470});
        logo.image = logoImage.get();
        auto& heading = label("Widgets", {30, 10, 300, 40}, 22.0f);
        heading.setFont(&title);
        label("Logo", {600, 470, 740, 486}, 11.0f);
    }

    void arrange(const IntRect& space) override { position = space; }
    UIBargraph* bars = nullptr;

private:
    template <typename T>
    T& place(std::unique_ptr<T> element, const IntRect& box) {
        element->setPosition(box);
        T& ref = *element;
        addChild(std::move(element));
        return ref;
    }
    UILabel& label(const char* s, const IntRect& box, float size) {
        auto l = std::make_unique<UILabel>(context);
        l->setFont(&text);
        l->setText(s);
        l->setTextSize(size);
        l->setTextColor({235, 235, 235, 60});
        return place(std::move(l), box);
    }
    // The four squares an image knob reads, stacked: coverage, colour, height and
    // material of a ridged cap with a pointer.
    static std::unique_ptr<OwnedImage<RGBA>> knobPicture() {
        constexpr int n = 64;
        auto image = std::make_unique<OwnedImage<RGBA>>(n, 4 * n);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const float dx = float(x) - 31.5f, dy = float(y) - 31.5f;
                const float d = std::sqrt(dx * dx + dy * dy);
                const auto cover = std::uint8_t(std::clamp(29.5f - d, 0.0f, 1.0f) * 255.0f);
                const bool mark = std::fabs(dx) < 2.5f && dy < -10.0f;
                const auto ridge =
                    std::uint8_t(150.0f + 40.0f * std::sin(std::atan2(dy, dx) * 12.0f));
                const auto dome = std::uint8_t(std::sqrt(std::max(0.0f, 900.0f - d * d)) * 8.0f);
                image->pixelAt(x, y) = {cover, cover, cover, 255};
                image->pixelAt(x, y + n) =
                    mark ? RGBA{250, 120, 60, 120}
                         : RGBA{ridge, ridge, std::uint8_t(ridge / 2 + 70), 0};
                image->pixelAt(x, y + 2 * n) = {dome, dome, dome, 255};
                image->pixelAt(x, y + 3 * n) = {60, 255, 160, 255};
            }
        return image;
    }

    Font text, title;
    std::unique_ptr<OwnedImage<RGBA>> logoImage;
    std::unique_ptr<Mipmap<RGBA>> imageKnobMap;
};

int usage() {
    std::fprintf(stderr, "usage: widgetdemo --screenshot FILE.png\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::strcmp(argv[1], "--screenshot") != 0) return usage();
    auto client = createClient<DemoClient>();
    WidgetDemo editor(*client);
    HeadlessWindow& window = editor.openHeadlessEditor(PixelFormat::RGBA8);
    const float levels[] = {0.55f, 0.8f};
    editor.bars->setLevels(levels);
    // The open dropdown is clicked open; the fader is moved in an edit left open, so
    // its hint shows. Some ticks let the glows, the unfolding and the hint settle.
    editor.dispatchClick(340, 205, MouseButton::left, false, MouseState{});
    auto* fader = param<FloatParameter>(*client, kFader);
    for (int i = 0; i < 40; ++i) {
        if (i == 30) {
            fader->beginEdit();
            fader->setFromEditor(-6.0);
        }
        window.pumpEvents();
    }
    if (!tools::writePng(argv[2], window.screen())) {
        std::fprintf(stderr, "widgetdemo: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
