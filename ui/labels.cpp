#include "ui/labels.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "compositing/blend_modes.h"
#include "module_text/module_text.h"
#include "resources/resource.h"

namespace tessary {

std::string FormatText(const std::string& pattern, const std::vector<TextArg>& args) {
  std::string out;
  out.reserve(pattern.size() + 32);
  std::size_t next = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%' || i + 1 == pattern.size()) {
      out += c;
      continue;
    }
    const char d = pattern[i + 1];
    if (d == '%') {
      out += '%';
      ++i;
    } else if (d == 'd' && next < args.size() && std::holds_alternative<int>(args[next])) {
      out += std::to_string(std::get<int>(args[next++]));
      ++i;
    } else if (d == 's' && next < args.size() && std::holds_alternative<std::string>(args[next])) {
      out += std::get<std::string>(args[next++]);
      ++i;
    } else {
      out += c;
    }
  }
  return out;
}

std::string LoadText(int id) {
  const char* s = GetString(id);
  return s ? std::string(s) : std::string();
}

std::string ModeName(int mode) {
  if (IsBlendMode(mode)) return LoadText(blendModeNameIds[static_cast<std::size_t>(mode)]);
  return FormatText(LoadText(IDS_MODE_NUMBER), {mode});
}

std::string LayerMapLabel(int layer, const std::string& modeName, int opacity, const std::string& former) {
  const std::size_t bar = former.rfind('|');
  if (bar == std::string::npos) return FormatText(LoadText(IDS_MAP_LABEL), {layer, modeName, opacity, former});
  return FormatText(LoadText(IDS_MAP_LABEL_TAIL), {layer, modeName, opacity, former.substr(bar)});
}

std::string MaskMapLabel(int layer, const std::string& former) {
  const std::size_t bar = former.rfind('|');
  if (bar == std::string::npos) return FormatText(LoadText(IDS_MASK_LABEL), {layer, former});
  return FormatText(LoadText(IDS_MASK_LABEL_TAIL), {layer, former.substr(bar)});
}

int OpacityLabelValue(float percent) {
  if (!std::isfinite(percent)) return 0;
  const double t = std::trunc(static_cast<double>(percent));
  if (t >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (t <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(t);
}

int LeadingInt(const char* text) {
  if (!text) return 0;
  const char* p = text;
  // White space as the C locale has it, then one optional sign.
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  // Saturating: the magnitude stops growing once it is past int's range.
  constexpr long long kLimit = static_cast<long long>(INT_MAX) + 1;
  long long magnitude = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    magnitude = std::min(magnitude * 10 + (*p - '0'), kLimit);
  }
  if (negative) return static_cast<int>(-magnitude);  // INT_MIN at the limit
  return static_cast<int>(std::min(magnitude, static_cast<long long>(INT_MAX)));
}

}  // namespace tessary
