#pragma once
// Random boxes, field values and input on each widget of the lit widget set, with a
// check after every step that drawing wrote nothing outside the widget's box. Used
// by the widget fuzz target and, on generated inputs, by the test suite.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace widgetfuzz {

// font: a TrueType file for the widgets that draw text.
void playWidgets(const std::uint8_t* data, std::size_t size, std::span<const std::uint8_t> font,
                 const std::function<void(const std::string&)>& fail);

} // namespace widgetfuzz
