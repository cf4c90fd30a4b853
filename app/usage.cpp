#include "app/usage.h"

#include <charconv>

namespace tessary::app {

namespace {

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The option or argument a parser message starts with ("--size: ..."), and
// the rest.
void SplitName(const std::string& what, std::string& name, std::string& rest) {
  const std::size_t colon = what.find(": ");
  if (colon == std::string::npos || what.find(' ') < colon) {
    name.clear();
    rest = what;
    return;
  }
  name = what.substr(0, colon);
  rest = what.substr(colon + 2);
}

std::string Times(std::size_t n) { return n == 1 ? "once" : std::to_string(n) + " times"; }

// The count a parser message carries after `marker` ("received 2" -> 2).
std::size_t CountAfter(const std::string& text, const std::string& marker) {
  const std::size_t at = text.find(marker);
  if (at == std::string::npos) return 0;
  std::size_t value = 0;
  const char* begin = text.data() + at + marker.size();
  std::from_chars(begin, text.data() + text.size(), value);
  return value;
}

}  // namespace

std::string CommandList(const char* last) {
  return std::string("render, eval, convert, info, check, modes, layers ") + last + " assemble";
}

std::string CommandWord(const std::vector<std::string>& args) {
  if (args.empty() || StartsWith(args[0], "-")) return "";
  return args[0];
}

std::string DescribeParseError(const CLI::ParseError& e) {
  // The parser's error classes, not their names: some carry the name of the
  // command in place of their own.
  const std::string what = e.what();
  std::string name, rest;
  SplitName(what, name, rest);
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
    // "--size: At Most 1 required but received 2": an option given twice.
    if (rest.find("At Most") != std::string::npos)
      return name + " takes one value, given " + Times(CountAfter(rest, "received ")) + " (give it once)";
    // "--uv: 2 required TEXT missing", "--uv: At least 2 required but received 1"
    if (!name.empty()) {
      const std::size_t wanted = rest.find("At least") != std::string::npos ? CountAfter(rest, "At least ")
                                                                              : CountAfter(rest, "");
      if (wanted > 1) return name + " takes " + std::to_string(wanted) + " values";
      return name + ": a value is missing";
    }
    // "Expected exactly 2 arguments to --uv, got 1"
    const std::size_t to = what.find(" arguments to ");
    if (to != std::string::npos) {
      const std::size_t begin = to + 14;
      const std::size_t comma = what.find(',', begin);
      const std::string option = what.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin);
      return option + " takes " + std::to_string(CountAfter(what, "exactly ")) + " values, got " +
             std::to_string(CountAfter(what, "got "));
    }
    return what;
  }
  if (dynamic_cast<const CLI::RequiredError*>(&e)) {
    if (StartsWith(what, "A subcommand")) return "a command is required (" + CommandList("or") + ")";
    // "--output is required", "scene is required"
    const std::size_t is = what.find(" is required");
    if (is != std::string::npos) return "missing " + what.substr(0, is);
    return what;
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
    const std::size_t colon = what.find(": ");
    return std::string(what.find("arguments were") != std::string::npos ? "unexpected arguments: "
                                                                        : "unexpected argument: ") +
           (colon == std::string::npos ? what : what.substr(colon + 2));
  }
  if (dynamic_cast<const CLI::ExcludesError*>(&e)) {
    // "--upto excludes --solo"
    const std::size_t at = what.find(" excludes ");
    if (at != std::string::npos) return "give " + what.substr(0, at) + " or " + what.substr(at + 10) + ", not both";
  }
  if (dynamic_cast<const CLI::ConversionError*>(&e) && rest.find("too many inputs for a flag") != std::string::npos)
    return name + " is a switch and takes no value";
  return what;
}

std::string UsageHint(const std::string& command) {
  return "Run 'tessary " + (command.empty() ? std::string() : command + " ") + "--help' for usage.";
}

CLI::Validator WholeNumberIn(int lo, int hi) {
  const std::string range = std::to_string(lo) + " to " + std::to_string(hi);
  return CLI::Validator(
      [lo, hi, range](std::string& text) -> std::string {
        long long v = 0;
        const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
        if (text.empty() || ec != std::errc() || p != text.data() + text.size() || v < lo || v > hi)
          return "expected a whole number from " + range + ", got \"" + text + "\"";
        return std::string();
      },
      "INT in " + range);
}

CLI::Validator OneOf(const std::vector<std::string>& values) {
  std::string list;
  for (std::size_t i = 0; i < values.size(); ++i) list += (i == 0 ? "" : i + 1 == values.size() ? " or " : ", ") + values[i];
  return CLI::Validator(
      [values, list](std::string& text) -> std::string {
        for (const std::string& v : values)
          if (text == v) return std::string();
        return "expected " + list + ", got \"" + text + "\"";
      },
      list);
}

}  // namespace tessary::app
