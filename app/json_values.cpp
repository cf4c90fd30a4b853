#include "app/json_values.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

namespace tessary::app::json {

std::string Quoted(const std::string& s) { return nlohmann::json(s).dump(); }

namespace {

class Scanner {
 public:
  explicit Scanner(std::string_view text) : t_(text) {}

  Node Document() {
    Node n = Value(0);
    return n;
  }

 private:
  // Nesting of JSON containers allowed; maps nest at most kMaxNesting deep,
  // and each map level takes a few containers.
  static constexpr int kMaxDepth = 8 * kMaxNesting + 16;

  void SkipSpace() {
    while (i_ < t_.size() && (t_[i_] == ' ' || t_[i_] == '\t' || t_[i_] == '\n' || t_[i_] == '\r')) ++i_;
  }
  char Peek() const { return i_ < t_.size() ? t_[i_] : '\0'; }

  void SkipString() {
    ++i_;  // opening quote
    while (i_ < t_.size() && t_[i_] != '"') {
      if (t_[i_] == '\\') ++i_;
      ++i_;
    }
    ++i_;  // closing quote
  }

  Node Value(int depth) {
    SkipSpace();
    Node n;
    n.begin = i_;
    const char c = Peek();
    if (c == '{' || c == '[') {
      if (depth >= kMaxDepth) throw Failure{i_, "nesting too deep"};
      ++i_;
      const bool object = c == '{';
      n.kind = object ? Kind::Object : Kind::Array;
      const char close = object ? '}' : ']';
      SkipSpace();
      if (Peek() == close) {
        ++i_;
      } else {
        for (;;) {
          SkipSpace();
          if (object) {
            const std::size_t keyBegin = i_;
            SkipString();
            std::string key = nlohmann::json::parse(t_.substr(keyBegin, i_ - keyBegin)).get<std::string>();
            if (key.find('\0') != std::string::npos) throw Failure{keyBegin, "a field name must not contain \\u0000"};
            for (const auto& m : n.members)
              if (m.first == key) throw Failure{keyBegin, "duplicate field " + Quoted(key)};
            SkipSpace();
            ++i_;  // ':'
            n.members.emplace_back(std::move(key), Value(depth + 1));
            n.keyOffsets.push_back(keyBegin);
          } else {
            n.items.push_back(Value(depth + 1));
          }
          SkipSpace();
          if (i_ >= t_.size()) throw Failure{i_, "unexpected end of file"};
          if (t_[i_++] == close) break;  // else ','
        }
      }
    } else if (c == '"') {
      n.kind = Kind::String;
      SkipString();
    } else {
      while (i_ < t_.size() && t_[i_] != ',' && t_[i_] != '}' && t_[i_] != ']' && t_[i_] != ' ' &&
             t_[i_] != '\t' && t_[i_] != '\n' && t_[i_] != '\r')
        ++i_;
      const std::string_view token = t_.substr(n.begin, i_ - n.begin);
      n.kind = token == "true" ? Kind::True : token == "false" ? Kind::False : token == "null" ? Kind::Null : Kind::Number;
    }
    n.end = i_;
    return n;
  }

  std::string_view t_;
  std::size_t i_ = 0;
};

// A JSON number token (RFC 8259) spanning all of s.
bool IsNumberToken(std::string_view s) {
  std::size_t i = 0;
  auto digits = [&] {
    const std::size_t from = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    return i > from;
  };
  if (i < s.size() && s[i] == '-') ++i;
  if (i < s.size() && s[i] == '0') ++i;
  else if (!digits()) return false;
  if (i < s.size() && s[i] == '.') {
    ++i;
    if (!digits()) return false;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (!digits()) return false;
  }
  return i == s.size();
}

// The syntax check refuses numbers beyond double range (1e400) outright, with
// no position. This returns a copy of the text in which each such number is
// a 0 padded with spaces to the same length, so the check passes them and the
// reader, which reads the original text, reports them where they stand like
// any number beyond single precision. Empty when the text has none.
std::string TameHugeNumbers(std::string_view text) {
  std::string tamed;
  auto tokenChar = [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'; };
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] == '"') {  // skip a string
      for (++i; i < text.size() && text[i] != '"'; ++i)
        if (text[i] == '\\') ++i;
      ++i;
      continue;
    }
    if (!tokenChar(text[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && tokenChar(text[end])) ++end;
    const std::string_view token = text.substr(i, end - i);
    if (IsNumberToken(token) && std::isinf(std::strtod(std::string(token).c_str(), nullptr))) {
      if (tamed.empty()) tamed.assign(text);
      tamed.replace(i, token.size(), "0" + std::string(token.size() - 1, ' '));
    }
    i = end;
  }
  return tamed;
}

}  // namespace

Node Scan(std::string_view text) { return Scanner(text).Document(); }

std::string SyntaxMessage(const std::string& what) {
  const std::size_t colon = what.find(": ");
  std::string m = colon == std::string::npos ? what : what.substr(colon + 2);
  return m;
}

std::optional<SyntaxError> CheckSyntax(std::string_view text) {
  const std::string tamed = TameHugeNumbers(text);
  if (!tamed.empty()) text = tamed;
  struct Sax : nlohmann::json_sax<nlohmann::json> {
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::json::exception& e) override {
      error = SyntaxError{position > 0 ? position - 1 : 0, SyntaxMessage(e.what())};
      return false;
    }
    std::optional<SyntaxError> error;
  } sax;
  nlohmann::json::sax_parse(text, &sax);
  return sax.error;
}


std::string ValueReader::String(const Node& n, const std::string& what) const {
  std::string s = nlohmann::json::parse(Token(n)).get<std::string>();
  if (s.find('\0') != std::string::npos) Fail(n, what + " must not contain \\u0000");
  return s;
}

bool ValueReader::Bool(const Node& n, const std::string& what) const {
  if (n.kind == Kind::True) return true;
  if (n.kind == Kind::False) return false;
  Fail(n, what + " must be true or false");
}

float ValueReader::Float(const Node& n, const std::string& what) const {
  if (n.kind == Kind::String) {
    const std::string s = String(n);
    if (s == "nan") return std::numeric_limits<float>::quiet_NaN();
    if (s == "inf") return std::numeric_limits<float>::infinity();
    if (s == "-inf") return -std::numeric_limits<float>::infinity();
    Fail(n, what + " must be a number (or \"nan\", \"inf\", \"-inf\")");
  }
  if (n.kind != Kind::Number) Fail(n, what + " must be a number");
  const std::string token(Token(n));
  errno = 0;
  char* end = nullptr;
  const float f = std::strtof(token.c_str(), &end);
  if (end != token.c_str() + token.size()) Fail(n, what + " must be a number");
  if (std::isinf(f)) Fail(n, what + ": " + token + " is out of single-precision range");
  return f;
}

std::int64_t ValueReader::Integer(const Node& n, const std::string& what, std::int64_t lo, std::int64_t hi) const {
  const std::string_view token = Token(n);
  std::int64_t value = 0;
  const auto [ptr, ec] = std::from_chars(token.data(), token.data() + token.size(), value);
  if (n.kind != Kind::Number || ec != std::errc() || ptr != token.data() + token.size())
    Fail(n, what + " must be an integer");
  if (value < lo || value > hi)
    Fail(n, what + " must lie between " + std::to_string(lo) + " and " + std::to_string(hi));
  return value;
}

host::Color ValueReader::Color3(const Node& n, const std::string& what) const {
  const auto c = Floats<3>(n, what);
  return host::Color(c[0], c[1], c[2]);
}

host::AColor ValueReader::Color34(const Node& n, const std::string& what) const {
  if (n.kind == Kind::Array && n.items.size() == 3) {
    const auto c = Floats<3>(n, what);
    return host::AColor(c[0], c[1], c[2], 1.0f);
  }
  if (n.kind != Kind::Array || n.items.size() != 4)
    Fail(n, what + " must be an array of 3 or 4 numbers");
  const auto c = Floats<4>(n, what);
  return host::AColor(c[0], c[1], c[2], c[3]);
}

std::array<float, 2> ValueReader::Pair(const Node& n, const std::string& what) const {
  if (n.kind == Kind::Number || n.kind == Kind::String) {  // one value for both: 2, or "inf"
    const float f = Float(n, what);
    return {f, f};
  }
  if (n.kind != Kind::Array || n.items.size() != 2) Fail(n, what + " must be a number or an array of 2 numbers");
  return Floats<2>(n, what);
}

}  // namespace tessary::app::json
