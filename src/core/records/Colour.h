// Colour names as the task settings store them ("clWhite", "clRed", …), and back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// 0xRRGGBB for a colour name, a "$00BBGGRR" hex value or a decimal BGR number; false when
// the text names no colour (callers then use white).
bool ColourFromName(std::string_view name, uint32_t& rgb);

// The named colours, in the order a colour list offers them.
struct NamedColour {
  const char* name;
  uint32_t rgb;
};
const std::vector<NamedColour>& NamedColours();
