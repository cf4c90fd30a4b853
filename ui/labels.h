#pragma once
// Texts of the Layers rollout: the names given to layer maps and masks, the
// mode names, and the reading of typed layer numbers. Everything is built
// in std::string, so names of any length are kept whole.

#include <string>
#include <variant>
#include <vector>

namespace tessary {

// Fills the %d and %s of pattern with args in order ("%%" is a percent
// sign). A directive without an argument of its kind, or any other
// directive, is copied as written; unused arguments are ignored.
using TextArg = std::variant<int, std::string>;
std::string FormatText(const std::string& pattern, const std::vector<TextArg>& args);

// The string resource id as a std::string ("" when missing).
std::string LoadText(int id);

// The name of blend mode `mode`; a number outside the mode table is shown
// as "Mode <number>".
std::string ModeName(int mode);

// The name a layer map gets: "| L: <layer>, <mode>, <opacity> | <former>";
// when the former name holds a "|", everything before its last "|" is
// rebuilt and the rest kept: "| L: <layer>, <mode>, <opacity> |<rest>".
std::string LayerMapLabel(int layer, const std::string& modeName, int opacity, const std::string& former);
// The same for a mask map: "| L: <layer>, Mask | <former>".
std::string MaskMapLabel(int layer, const std::string& former);

// Opacity percent as the whole number shown in a label: truncated toward
// zero; a value that is not finite gives 0, one beyond int's range the
// nearest int.
int OpacityLabelValue(float percent);

// The decimal value of the text's leading number, read as the C runtime's
// atoi reads it on Windows: leading white space skipped, one optional sign,
// then digits; 0 when the text does not start with a number; a number
// beyond int's range gives INT_MAX or INT_MIN.
int LeadingInt(const char* text);

}  // namespace tessary
