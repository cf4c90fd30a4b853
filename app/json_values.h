#pragma once
// Positioned JSON values, for readers that name the line and column of a
// fault: where every value of a JSON text stands, and the reading of a value
// as a string, number, colour and so on, failing with the value's offset.
// nlohmann checks the syntax (CheckSyntax); Scan then records the offsets
// that check forgets.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/scene_desc.h"
#include "host/color.h"

namespace tessary::app::json {

enum class Kind { Object, Array, String, Number, True, False, Null };

struct Member;

struct Node {
  Kind kind = Kind::Null;
  std::size_t begin = 0;
  std::size_t end = 0;
  std::vector<Member> members;          // objects, in file order
  std::vector<std::size_t> keyOffsets;  // where each member's key starts
  std::vector<Node> items;              // arrays
};

// A key and its value (a pair of an incomplete Node would not compile
// everywhere).
struct Member {
  Member(std::string key, Node value) : first(std::move(key)), second(std::move(value)) {}
  std::string first;
  Node second;
};

// A string of the file as JSON writes it, quoted and escaped: a message
// stays one line whatever the string holds.
std::string Quoted(const std::string& s);

// What is wrong, and at which offset of the text.
struct Failure {
  std::size_t offset;
  std::string message;
};

// Where every value of a syntactically valid text stands; a Failure for
// nesting deeper than a scene can need, a duplicate field or a NUL in a
// field name.
Node Scan(std::string_view text);

// Where each offset of a text stands (1-based line and column).
class Lines {
 public:
  explicit Lines(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\n') starts_.push_back(i + 1);
  }
  SourcePos At(std::size_t offset) const {
    const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
    const std::size_t line = static_cast<std::size_t>(after - starts_.begin());
    return {static_cast<int>(line), static_cast<int>(offset - starts_[line - 1] + 1)};
  }

 private:
  std::vector<std::size_t> starts_{0};
};

struct SyntaxError {
  std::size_t offset;
  std::string message;
};

// Checks the syntax without building a document (memory stays near the
// text's size); the first error, if any. Numbers beyond double range pass
// (the reader reports them where they stand).
std::optional<SyntaxError> CheckSyntax(std::string_view text);

// nlohmann's message without its "[json.exception...] parse error at ...: " prefix.
std::string SyntaxMessage(const std::string& what);

// Reads typed values from the positioned values of a text.
class ValueReader {
 public:
  explicit ValueReader(std::string_view text) : t_(text) {}

 protected:
  [[noreturn]] static void Fail(const Node& n, std::string message) { throw Failure{n.begin, std::move(message)}; }
  static void Expect(const Node& n, Kind kind, const char* message) {
    if (n.kind != kind) Fail(n, message);
  }
  std::string_view Token(const Node& n) const { return t_.substr(n.begin, n.end - n.begin); }

  // A string's value; `what` names it in the message when it holds a NUL,
  // which file names and the like would silently end at.
  std::string String(const Node& n, const std::string& what = "a string") const;
  bool Bool(const Node& n, const std::string& what) const;
  // A number, converted to single precision once from its text, or one of
  // the strings "nan", "inf", "-inf".
  float Float(const Node& n, const std::string& what) const;
  std::int64_t Integer(const Node& n, const std::string& what, std::int64_t lo, std::int64_t hi) const;
  template <std::size_t N>
  std::array<float, N> Floats(const Node& n, const std::string& what) const {
    if (n.kind != Kind::Array || n.items.size() != N)
      Fail(n, what + " must be an array of " + std::to_string(N) + " numbers");
    std::array<float, N> out{};
    for (std::size_t i = 0; i < N; ++i) out[i] = Float(n.items[i], what + "[" + std::to_string(i) + "]");
    return out;
  }
  host::Color Color3(const Node& n, const std::string& what) const;
  // [r, g, b] (alpha 1) or [r, g, b, a].
  host::AColor Color34(const Node& n, const std::string& what) const;
  // A number, or an array of two numbers.
  std::array<float, 2> Pair(const Node& n, const std::string& what) const;

  std::string_view t_;
};

}  // namespace tessary::app::json
