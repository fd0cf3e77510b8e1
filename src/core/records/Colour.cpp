#include "core/records/Colour.h"

#include <cctype>

#include "core/text/Text.h"

const std::vector<NamedColour>& NamedColours() {
  static const std::vector<NamedColour> colours = {
      {"clBlack", 0x000000}, {"clMaroon", 0x800000},     {"clGreen", 0x008000},
      {"clOlive", 0x808000}, {"clNavy", 0x000080},       {"clPurple", 0x800080},
      {"clTeal", 0x008080},  {"clGray", 0x808080},       {"clSilver", 0xC0C0C0},
      {"clRed", 0xFF0000},   {"clLime", 0x00FF00},       {"clYellow", 0xFFFF00},
      {"clBlue", 0x0000FF},  {"clFuchsia", 0xFF00FF},    {"clAqua", 0x00FFFF},
      {"clWhite", 0xFFFFFF}, {"clMoneyGreen", 0xC0DCC0}, {"clSkyBlue", 0xA6CAF0},
      {"clCream", 0xFFFBF0}, {"clMedGray", 0xA0A0A4},
  };
  return colours;
}

namespace {
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

uint32_t FromBgr(uint32_t bgr) {
  return ((bgr & 0xFF) << 16) | (bgr & 0xFF00) | ((bgr >> 16) & 0xFF);
}
}  // namespace

bool ColourFromName(std::string_view raw, uint32_t& rgb) {
  const std::string_view name = text::TrimView(raw);
  if (name.empty()) return false;
  for (const NamedColour& c : NamedColours()) {
    if (SameName(name, c.name)) {
      rgb = c.rgb;
      return true;
    }
  }
  // A colour stored as a number: "$00BBGGRR" or decimal, both blue-green-red.
  if (name[0] == '$' && name.size() > 1 && name.size() <= 9) {
    uint32_t v = 0;
    for (char ch : name.substr(1)) {
      const int d = std::isdigit(static_cast<unsigned char>(ch))
                        ? ch - '0'
                        : (std::isxdigit(static_cast<unsigned char>(ch))
                               ? std::tolower(static_cast<unsigned char>(ch)) - 'a' + 10
                               : -1);
      if (d < 0) return false;
      v = v * 16 + static_cast<uint32_t>(d);
    }
    if (v > 0xFFFFFF) return false;
    rgb = FromBgr(v);
    return true;
  }
  int32_t n = 0;
  if (text::ParseInt32(name, n) && n <= 0xFFFFFF) {
    rgb = FromBgr(static_cast<uint32_t>(n));
    return true;
  }
  return false;
}
