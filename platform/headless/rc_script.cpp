// The reader of resource scripts: a lexer with the script's preprocessor
// (#define, #include, #if) and a parser of the dialog and string-table
// statements. One file, longer than most, because the two are tied both
// ways (the lexer evaluates #define values with the parser's expression
// reader) and share the private token and failure types.

#include "platform/headless/rc_script.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <limits>
#include <utility>

namespace tessary::headless {

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Style and identifier names a script may use without defining them: what
// <windows.h> provides to the resource compiler.
const std::map<std::string, long long>& BuiltinNames() {
  static const std::map<std::string, long long> names = {
      {"WS_OVERLAPPED", WS_OVERLAPPED}, {"WS_POPUP", WS_POPUP},       {"WS_CHILD", WS_CHILD},
      {"WS_VISIBLE", WS_VISIBLE},       {"WS_DISABLED", WS_DISABLED}, {"WS_CAPTION", WS_CAPTION},
      {"WS_BORDER", WS_BORDER},         {"WS_DLGFRAME", WS_DLGFRAME}, {"WS_VSCROLL", WS_VSCROLL},
      {"WS_HSCROLL", WS_HSCROLL},       {"WS_SYSMENU", WS_SYSMENU},   {"WS_THICKFRAME", WS_THICKFRAME},
      {"WS_GROUP", WS_GROUP},           {"WS_TABSTOP", WS_TABSTOP},   {"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE},
      {"WS_EX_STATICEDGE", WS_EX_STATICEDGE}, {"WS_EX_TRANSPARENT", WS_EX_TRANSPARENT},
      {"DS_3DLOOK", DS_3DLOOK},         {"DS_FIXEDSYS", DS_FIXEDSYS}, {"DS_SETFONT", DS_SETFONT},
      {"DS_MODALFRAME", DS_MODALFRAME}, {"DS_CONTROL", DS_CONTROL},   {"DS_CENTER", DS_CENTER},
      {"BS_PUSHBUTTON", BS_PUSHBUTTON}, {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
      {"BS_CHECKBOX", BS_CHECKBOX},     {"BS_AUTOCHECKBOX", BS_AUTOCHECKBOX},
      {"BS_RADIOBUTTON", BS_RADIOBUTTON}, {"BS_3STATE", BS_3STATE},   {"BS_AUTO3STATE", BS_AUTO3STATE},
      {"BS_GROUPBOX", BS_GROUPBOX},     {"BS_AUTORADIOBUTTON", BS_AUTORADIOBUTTON},
      {"BS_LEFTTEXT", BS_LEFTTEXT},     {"SS_LEFT", SS_LEFT},         {"SS_CENTER", SS_CENTER},
      {"SS_RIGHT", SS_RIGHT},           {"SS_NOPREFIX", SS_NOPREFIX}, {"SS_NOTIFY", SS_NOTIFY},
      {"SS_SUNKEN", SS_SUNKEN},         {"ES_LEFT", ES_LEFT},         {"ES_CENTER", ES_CENTER},
      {"ES_RIGHT", ES_RIGHT},           {"ES_MULTILINE", ES_MULTILINE}, {"ES_AUTOHSCROLL", ES_AUTOHSCROLL},
      {"ES_READONLY", ES_READONLY},     {"ES_NUMBER", ES_NUMBER},     {"CBS_SIMPLE", CBS_SIMPLE},
      {"CBS_DROPDOWN", CBS_DROPDOWN},   {"CBS_DROPDOWNLIST", CBS_DROPDOWNLIST},
      {"CBS_AUTOHSCROLL", CBS_AUTOHSCROLL}, {"CBS_SORT", CBS_SORT},  {"SBS_HORZ", SBS_HORZ},
      {"SBS_VERT", SBS_VERT},           {"IDOK", IDOK},               {"IDCANCEL", IDCANCEL},
      {"LBS_NOTIFY", 0x1},
  };
  return names;
}

enum class Tok { Ident, Number, String, Punct, End };

struct Token {
  Tok kind = Tok::End;
  std::string text;  // identifier (as written), string contents or punctuation
  long long value = 0;
  int line = 0;
  std::string file;
};

struct Failure {
  std::string message;
};

// ---------------------------------------------------------------------------
// Preprocessing and tokenising
// ---------------------------------------------------------------------------

class Lexer {
 public:
  Lexer(const RcFileReader& reader, std::map<std::string, long long>& defines)
      : reader_(reader), defines_(defines) {}

  // Appends the tokens of `text` (named `file`) to tokens_; includes recurse.
  void Run(std::string_view text, const std::string& file, int depth) {
    total_ += text.size();
    if (total_ > kMaxScriptBytes) Fail(file, 1, "script and its includes exceed " + std::to_string(kMaxScriptBytes) + " bytes");
    std::string clean = StripComments(text, file);
    std::vector<bool> active;  // conditional stack: is this branch taken?
    std::vector<bool> taken;   // has any branch of this level been taken?
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos <= clean.size()) {
      std::size_t nl = clean.find('\n', pos);
      if (nl == std::string::npos) nl = clean.size();
      std::string line = clean.substr(pos, nl - pos);
      pos = nl + 1;
      ++lineNo;
      // Join continued lines.
      while (!line.empty() && line.back() == '\\' && pos <= clean.size()) {
        line.pop_back();
        std::size_t next = clean.find('\n', pos);
        if (next == std::string::npos) next = clean.size();
        line += clean.substr(pos, next - pos);
        pos = next + 1;
        ++lineNo;
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::size_t first = line.find_first_not_of(" \t");
      bool on = std::all_of(active.begin(), active.end(), [](bool b) { return b; });
      if (first != std::string::npos && line[first] == '#') {
        Directive(line.substr(first + 1), file, lineNo, depth, on, active, taken);
        continue;
      }
      if (on) Tokenise(line, file, lineNo);
    }
    if (!active.empty()) Fail(file, lineNo, "#if/#ifdef without #endif");
  }

  std::vector<Token> tokens;

 private:
  [[noreturn]] static void Fail(const std::string& file, int line, const std::string& msg) {
    throw Failure{file + ":" + std::to_string(line) + ": " + msg};
  }

  // Replaces comments by blanks, keeping newlines and string contents.
  static std::string StripComments(std::string_view in, const std::string& file) {
    std::string out;
    out.reserve(in.size());
    int line = 1;
    for (std::size_t i = 0; i < in.size(); ++i) {
      char c = in[i];
      if (c == '\n') ++line;
      if (c == '"') {
        out += c;
        for (++i; i < in.size() && in[i] != '\n'; ++i) {
          out += in[i];
          if (in[i] == '\\' && i + 1 < in.size() && in[i + 1] != '\n') {
            out += in[++i];
          } else if (in[i] == '"') {
            break;
          }
        }
        if (i < in.size() && in[i] == '\n') {
          out += '\n';
          ++line;
        }
        continue;
      }
      if (c == '/' && i + 1 < in.size() && in[i + 1] == '/') {
        while (i < in.size() && in[i] != '\n') ++i;
        if (i < in.size()) {
          out += '\n';
          ++line;
        }
        continue;
      }
      if (c == '/' && i + 1 < in.size() && in[i + 1] == '*') {
        int startLine = line;
        i += 2;
        while (i + 1 < in.size() && !(in[i] == '*' && in[i + 1] == '/')) {
          if (in[i] == '\n') {
            out += '\n';
            ++line;
          }
          ++i;
        }
        if (i + 1 >= in.size()) Fail(file, startLine, "unterminated comment");
        ++i;
        out += ' ';
        continue;
      }
      out += c;
    }
    return out;
  }

  void Directive(const std::string& body, const std::string& file, int line, int depth, bool on,
                 std::vector<bool>& active, std::vector<bool>& taken) {
    std::size_t p = body.find_first_not_of(" \t");
    std::size_t e = p == std::string::npos ? p : body.find_first_of(" \t(\"<", p);
    std::string name = p == std::string::npos ? "" : body.substr(p, e == std::string::npos ? std::string::npos : e - p);
    std::string rest = e == std::string::npos ? "" : body.substr(e);
    std::string arg = Trim(rest);
    if (name == "ifdef" || name == "ifndef") {
      bool defined = defines_.count(arg) != 0 || macros_.count(arg) != 0;
      bool cond = name == "ifdef" ? defined : !defined;
      active.push_back(cond);
      taken.push_back(cond);
      return;
    }
    if (name == "if") {
      bool cond = on && EvalCondition(arg, file, line) != 0;
      active.push_back(cond);
      taken.push_back(cond);
      return;
    }
    if (name == "elif") {
      if (active.empty()) Fail(file, line, "#elif without #if");
      bool cond = !taken.back() && EvalCondition(arg, file, line) != 0;
      active.back() = cond;
      if (cond) taken.back() = true;
      return;
    }
    if (name == "else") {
      if (active.empty()) Fail(file, line, "#else without #if");
      active.back() = !taken.back();
      taken.back() = true;
      return;
    }
    if (name == "endif") {
      if (active.empty()) Fail(file, line, "#endif without #if");
      active.pop_back();
      taken.pop_back();
      return;
    }
    if (!on) return;
    if (name == "pragma" || name.empty()) return;
    if (name == "include") {
      if (!arg.empty() && arg.front() == '<') return;  // system headers: their names are built in
      if (arg.size() < 2 || arg.front() != '"' || arg.back() != '"') Fail(file, line, "malformed #include: " + arg);
      std::string inc = arg.substr(1, arg.size() - 2);
      if (depth + 1 > kMaxIncludeDepth) Fail(file, line, "includes nested deeper than " + std::to_string(kMaxIncludeDepth));
      std::optional<std::string> content = reader_ ? reader_(inc) : std::nullopt;
      if (!content) Fail(file, line, "cannot open included file \"" + inc + "\"");
      Run(*content, inc, depth + 1);
      return;
    }
    if (name == "define") {
      std::size_t ne = arg.find_first_of(" \t(");
      std::string macro = arg.substr(0, ne);
      if (macro.empty() || !IsIdentStart(macro[0])) Fail(file, line, "malformed #define");
      if (ne != std::string::npos && arg[ne] == '(') return;  // function-like macros are code-only
      std::string value = ne == std::string::npos ? "" : Trim(arg.substr(ne));
      macros_.insert(macro);
      if (value.empty()) return;
      std::optional<long long> v = TryEval(value);
      if (v) defines_[macro] = *v;
      return;
    }
    if (name == "undef") {
      defines_.erase(arg);
      macros_.erase(arg);
      return;
    }
    if (name == "error") Fail(file, line, "#error " + arg);
    Fail(file, line, "unsupported preprocessor directive #" + name);
  }

  static std::string Trim(const std::string& s) {
    std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    std::size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
  }

  long long EvalCondition(const std::string& expr, const std::string& file, int line) {
    // defined(X) / defined X become 1 or 0 before evaluation.
    std::string s = expr;
    for (std::size_t p = s.find("defined"); p != std::string::npos; p = s.find("defined")) {
      std::size_t q = p + 7;
      while (q < s.size() && (s[q] == ' ' || s[q] == '(')) ++q;
      std::size_t r = q;
      while (r < s.size() && (std::isalnum(static_cast<unsigned char>(s[r])) || s[r] == '_')) ++r;
      std::string id = s.substr(q, r - q);
      while (r < s.size() && (s[r] == ' ' || s[r] == ')')) ++r;
      bool d = defines_.count(id) != 0 || macros_.count(id) != 0;
      s.replace(p, r - p, d ? "1 " : "0 ");
    }
    std::optional<long long> v = TryEval(s);
    if (!v) Fail(file, line, "cannot evaluate #if " + expr);
    return *v;
  }

  std::optional<long long> TryEval(const std::string& text);

  static bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }

  void Tokenise(const std::string& line, const std::string& file, int lineNo) {
    std::size_t i = 0;
    while (i < line.size()) {
      char c = line[i];
      if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++i;
        continue;
      }
      Token t;
      t.line = lineNo;
      t.file = file;
      if (c == 'L' && i + 1 < line.size() && line[i + 1] == '"') ++i, c = '"';
      if (c == '"') {
        t.kind = Tok::String;
        ++i;
        bool closed = false;
        while (i < line.size()) {
          char d = line[i++];
          if (d == '"') {
            if (i < line.size() && line[i] == '"') {
              t.text += '"';
              ++i;
              continue;
            }
            closed = true;
            break;
          }
          if (d == '\\' && i < line.size()) {
            char esc = line[i++];
            switch (esc) {
              case 'n': t.text += '\n'; break;
              case 't': t.text += '\t'; break;
              case 'r': t.text += '\r'; break;
              case 'a': t.text += '\a'; break;
              case '0': t.text += '\0'; break;
              case '\\': t.text += '\\'; break;
              case '"': t.text += '"'; break;
              default: t.text += '\\'; t.text += esc; break;
            }
          } else {
            t.text += d;
          }
          if (t.text.size() > kMaxStringLength) Fail(file, lineNo, "string longer than " + std::to_string(kMaxStringLength) + " characters");
        }
        if (!closed) Fail(file, lineNo, "unterminated string");
      } else if (std::isdigit(static_cast<unsigned char>(c))) {
        t.kind = Tok::Number;
        std::size_t start = i;
        int base = 10;
        if (c == '0' && i + 1 < line.size() && (line[i + 1] == 'x' || line[i + 1] == 'X')) {
          base = 16;
          i += 2;
        }
        unsigned long long v = 0;
        std::size_t digits = 0;
        while (i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i]))) {
          char d = line[i];
          int dv = std::isdigit(static_cast<unsigned char>(d)) ? d - '0' : (std::tolower(static_cast<unsigned char>(d)) - 'a' + 10);
          if (dv >= base) break;
          v = v * static_cast<unsigned long long>(base) + static_cast<unsigned long long>(dv);
          if (v > 0xFFFFFFFFull) Fail(file, lineNo, "number too large: " + line.substr(start, i - start + 1));
          ++i;
          ++digits;
        }
        if (digits == 0) Fail(file, lineNo, "malformed number");
        while (i < line.size() && (line[i] == 'L' || line[i] == 'l' || line[i] == 'U' || line[i] == 'u')) ++i;
        if (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_'))
          Fail(file, lineNo, "malformed number: " + line.substr(start, i - start + 1));
        t.value = static_cast<long long>(v);
        t.text = line.substr(start, i - start);
      } else if (IsIdentStart(c)) {
        t.kind = Tok::Ident;
        std::size_t start = i;
        while (i < line.size() && (std::isalnum(static_cast<unsigned char>(line[i])) || line[i] == '_')) ++i;
        t.text = line.substr(start, i - start);
      } else if (std::string_view(",|()+-~&{}*/").find(c) != std::string_view::npos) {
        t.kind = Tok::Punct;
        t.text = std::string(1, c);
        ++i;
      } else {
        Fail(file, lineNo, std::string("unexpected character '") + c + "'");
      }
      tokens.push_back(std::move(t));
    }
  }

  const RcFileReader& reader_;
  std::map<std::string, long long>& defines_;
  std::set<std::string> macros_;
  std::size_t total_ = 0;
};

// ---------------------------------------------------------------------------
// Expressions and statements
// ---------------------------------------------------------------------------

class Parser {
 public:
  Parser(std::vector<Token> tokens, std::map<std::string, long long>& defines, std::string scriptName)
      : toks_(std::move(tokens)), defines_(defines), scriptName_(std::move(scriptName)) {
    Token end;
    end.kind = Tok::End;
    end.line = toks_.empty() ? 1 : toks_.back().line;
    end.file = toks_.empty() ? scriptName_ : toks_.back().file;
    toks_.push_back(end);
  }

  ResourceScript Run() {
    ResourceScript script;
    while (Peek().kind != Tok::End) Statement(script);
    script.defines = defines_;
    return script;
  }

  long long Expr() { return OrExpr(); }

 private:
  const Token& Peek(std::size_t ahead = 0) const { return toks_[std::min(pos_ + ahead, toks_.size() - 1)]; }
  const Token& Next() {
    const Token& t = toks_[pos_];
    if (pos_ + 1 < toks_.size()) ++pos_;
    return t;
  }
  static std::string Describe(const Token& t) {
    switch (t.kind) {
      case Tok::End: return "end of script";
      case Tok::String: return "\"" + t.text + "\"";
      case Tok::Ident:
      case Tok::Number:
      case Tok::Punct: return "'" + t.text + "'";
    }
    return "?";
  }
  [[noreturn]] void Fail(const Token& at, const std::string& msg) const {
    throw Failure{at.file + ":" + std::to_string(at.line) + ": " + msg + ", found " + Describe(at)};
  }
  bool IsPunct(const char* p) const { return Peek().kind == Tok::Punct && Peek().text == p; }
  bool IsWord(const char* w) const { return Peek().kind == Tok::Ident && Upper(Peek().text) == w; }
  void Expect(const char* p, const char* what) {
    if (!IsPunct(p)) Fail(Peek(), std::string("expected '") + p + "' " + what);
    Next();
  }
  void Comma(const char* what) { Expect(",", what); }
  bool OptionalComma() {
    if (IsPunct(",")) {
      Next();
      return true;
    }
    return false;
  }
  void Begin() {
    if (IsWord("BEGIN") || IsPunct("{")) {
      Next();
      return;
    }
    Fail(Peek(), "expected BEGIN");
  }
  bool AtEnd() const { return IsWord("END") || IsPunct("}"); }

  long long OrExpr() {
    long long v = AndExpr();
    while (IsPunct("|")) {
      Next();
      v |= AndExpr();
    }
    return v;
  }
  long long AndExpr() {
    long long v = AddExpr();
    while (IsPunct("&")) {
      Next();
      v &= AddExpr();
    }
    return v;
  }
  long long AddExpr() {
    long long v = MulExpr();
    while (IsPunct("+") || IsPunct("-")) {
      bool plus = Next().text == "+";
      long long r = MulExpr();
      v = plus ? v + r : v - r;
      Bound(v);
    }
    return v;
  }
  long long MulExpr() {
    long long v = Unary();
    while (IsPunct("*") || IsPunct("/")) {
      const Token& op = Next();
      long long r = Unary();
      if (op.text == "*") {
        v *= r;
      } else {
        if (r == 0) Fail(op, "division by zero");
        v /= r;
      }
      Bound(v);
    }
    return v;
  }
  void Bound(long long v) const {
    if (v > 0xFFFFFFFFll || v < -0x80000000ll) Fail(Peek(), "value out of range");
  }
  long long Unary() {
    if (IsPunct("-")) {
      Next();
      return -Unary();
    }
    if (IsPunct("~") || IsWord("NOT")) {
      Next();
      return ~Unary() & 0xFFFFFFFFll;
    }
    if (IsPunct("(")) {
      Next();
      long long v = Expr();
      Expect(")", "to close the parenthesis");
      return v;
    }
    const Token& t = Peek();
    if (t.kind == Tok::Number) {
      Next();
      return t.value;
    }
    if (t.kind == Tok::Ident) {
      auto it = defines_.find(t.text);
      if (it != defines_.end()) {
        Next();
        return it->second;
      }
      auto b = BuiltinNames().find(t.text);
      if (b != BuiltinNames().end()) {
        Next();
        return b->second;
      }
      Fail(t, "unknown identifier");
    }
    Fail(t, "expected a number");
  }

  int IntExpr() {
    long long v = Expr();
    // Control IDs and coordinates are 16-bit on Windows; -1 (IDC_STATIC) is common.
    if (v < -32768 || v > 65535) Fail(Peek(), "value " + std::to_string(v) + " out of range");
    return static_cast<int>(v);
  }

  // ['NOT'] term ('|' ['NOT'] term)*, applied onto `base`.
  DWORD StyleList(DWORD base) {
    DWORD style = base;
    do {
      bool neg = false;
      if (IsWord("NOT")) {
        Next();
        neg = true;
      }
      DWORD v = static_cast<DWORD>(AddExpr() & 0xFFFFFFFFll);
      style = neg ? (style & ~v) : (style | v);
      if (!IsPunct("|")) break;
      Next();
    } while (true);
    return style;
  }

  std::string String(const char* what) {
    if (Peek().kind != Tok::String) Fail(Peek(), std::string("expected a string ") + what);
    return Next().text;
  }

  ResName Name() {
    const Token& t = Peek();
    ResName n;
    if (t.kind == Tok::Number) {
      n.id = IntExpr();
      return n;
    }
    if (t.kind == Tok::Ident) {
      auto it = defines_.find(t.text);
      if (it != defines_.end()) {
        n.id = IntExpr();
        return n;
      }
      Next();
      n.name = Upper(t.text);
      return n;
    }
    if (t.kind == Tok::String) {
      Next();
      n.name = Upper(t.text);
      return n;
    }
    Fail(t, "expected a resource name");
  }

  void SkipMemoryFlags() {
    static const char* const flags[] = {"DISCARDABLE", "MOVEABLE", "PURE", "PRELOAD", "LOADONCALL", "FIXED", "IMPURE"};
    while (Peek().kind == Tok::Ident &&
           std::any_of(std::begin(flags), std::end(flags), [&](const char* f) { return IsWord(f); }))
      Next();
  }

  void Language() {
    Next();  // LANGUAGE
    for (int i = 0; i < 2; ++i) {
      if (Peek().kind != Tok::Ident && Peek().kind != Tok::Number) Fail(Peek(), "expected a language identifier");
      Next();
      if (i == 0) Comma("between the language and sub-language");
    }
  }

  void Statement(ResourceScript& script) {
    if (IsWord("LANGUAGE")) return Language();
    if (IsWord("STRINGTABLE")) return StringTable(script);
    const Token& start = Peek();
    ResName name = Name();
    if (Peek().kind != Tok::Ident) Fail(Peek(), "expected a resource type after the resource name");
    std::string type = Upper(Peek().text);
    if (type == "DIALOG" || type == "DIALOGEX") {
      Next();
      Dialog(script, std::move(name), type == "DIALOGEX", start.line);
      return;
    }
    if (type == "BITMAP") {
      Next();
      SkipMemoryFlags();
      BitmapResource b;
      b.name = std::move(name);
      b.line = start.line;
      b.file = String("naming the bitmap file");
      if (script.FindBitmap(b.name)) Fail(start, "bitmap defined twice");
      script.bitmaps.push_back(std::move(b));
      return;
    }
    Fail(Peek(), "unsupported resource type");
  }

  void StringTable(ResourceScript& script) {
    Next();
    SkipMemoryFlags();
    while (IsWord("LANGUAGE") || IsWord("CHARACTERISTICS") || IsWord("VERSION")) {
      if (IsWord("LANGUAGE")) {
        Language();
      } else {
        Next();
        Expr();
      }
    }
    Begin();
    while (!AtEnd()) {
      const Token& at = Peek();
      if (at.kind == Tok::End) Fail(at, "expected END of the string table");
      long long id = Expr();
      if (id < 0 || id > 65535) Fail(at, "string ID " + std::to_string(id) + " out of range");
      OptionalComma();
      std::string text = String("for the string table entry");
      while (Peek().kind == Tok::String) {  // adjacent strings join
        text += Next().text;
        if (text.size() > kMaxStringLength) Fail(at, "string too long");
      }
      if (!script.strings.emplace(static_cast<int>(id), std::move(text)).second)
        Fail(at, "string ID " + std::to_string(id) + " defined twice");
    }
    Next();  // END
  }

  void Dialog(ResourceScript& script, ResName name, bool extended, int line) {
    SkipMemoryFlags();
    DialogTemplate d;
    d.name = std::move(name);
    d.extended = extended;
    d.line = line;
    d.x = IntExpr();
    Comma("after the dialog's x");
    d.y = IntExpr();
    Comma("after the dialog's y");
    d.cx = IntExpr();
    Comma("after the dialog's width");
    d.cy = IntExpr();
    if (extended && OptionalComma()) Expr();  // help ID
    bool styleGiven = false;
    while (!IsWord("BEGIN") && !IsPunct("{")) {
      const Token& t = Peek();
      if (t.kind != Tok::Ident) Fail(t, "expected a dialog option or BEGIN");
      std::string opt = Upper(t.text);
      Next();
      if (opt == "STYLE") {
        d.style = StyleList(0);
        styleGiven = true;
      } else if (opt == "EXSTYLE") {
        d.exStyle = StyleList(0);
      } else if (opt == "CAPTION") {
        d.caption = String("for the caption");
      } else if (opt == "FONT") {
        d.fontSize = IntExpr();
        Comma("after the font size");
        d.fontFace = String("naming the font");
        while (OptionalComma()) Expr();  // weight, italic, charset
      } else if (opt == "CLASS" || opt == "MENU") {
        Next();
      } else if (opt == "LANGUAGE") {
        --pos_;
        Language();
      } else if (opt == "CHARACTERISTICS" || opt == "VERSION") {
        Expr();
      } else {
        Fail(t, "unknown dialog option");
      }
    }
    if (!styleGiven) d.style = WS_POPUP | WS_BORDER | WS_SYSMENU;
    if (!d.caption.empty()) d.style |= WS_CAPTION;
    if (d.fontSize != 0) d.style |= DS_SETFONT;
    Begin();
    while (!AtEnd()) {
      if (Peek().kind == Tok::End) Fail(Peek(), "expected END of the dialog");
      if (d.controls.size() >= kMaxControlsPerDialog) Fail(Peek(), "too many controls in one dialog");
      d.controls.push_back(Control(extended));
    }
    Next();  // END
    if (script.FindDialog(d.name)) Fail(toks_[pos_ - 1], "dialog defined twice");
    script.dialogs.push_back(std::move(d));
  }

  struct Kind {
    const char* keyword;
    const char* cls;
    DWORD style;
    bool hasText;
  };

  ControlTemplate Control(bool extended) {
    static const Kind kinds[] = {
        {"LTEXT", "Static", SS_LEFT | WS_GROUP, true},
        {"RTEXT", "Static", SS_RIGHT | WS_GROUP, true},
        {"CTEXT", "Static", SS_CENTER | WS_GROUP, true},
        {"PUSHBUTTON", "Button", BS_PUSHBUTTON | WS_TABSTOP, true},
        {"DEFPUSHBUTTON", "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, true},
        {"GROUPBOX", "Button", BS_GROUPBOX, true},
        {"CHECKBOX", "Button", BS_CHECKBOX | WS_TABSTOP, true},
        {"AUTOCHECKBOX", "Button", BS_AUTOCHECKBOX | WS_TABSTOP, true},
        {"RADIOBUTTON", "Button", BS_RADIOBUTTON, true},
        {"AUTORADIOBUTTON", "Button", BS_AUTORADIOBUTTON, true},
        {"STATE3", "Button", BS_3STATE | WS_TABSTOP, true},
        {"AUTO3STATE", "Button", BS_AUTO3STATE | WS_TABSTOP, true},
        {"EDITTEXT", "Edit", ES_LEFT | WS_BORDER | WS_TABSTOP, false},
        {"COMBOBOX", "ComboBox", CBS_SIMPLE | WS_TABSTOP, false},
        {"LISTBOX", "ListBox", 0x1 | WS_BORDER, false},
        {"SCROLLBAR", "ScrollBar", SBS_HORZ, false},
    };
    const Token& start = Peek();
    if (start.kind != Tok::Ident) Fail(start, "expected a control statement");
    std::string kw = Upper(start.text);
    Next();
    ControlTemplate c;
    c.keyword = kw;
    c.line = start.line;
    if (kw == "CONTROL") {
      c.text = ControlText();
      Comma("after the control text");
      c.id = IntExpr();
      Comma("after the control ID");
      if (Peek().kind == Tok::String) {
        c.className = Next().text;
      } else if (Peek().kind == Tok::Ident) {
        c.className = Next().text;
      } else {
        Fail(Peek(), "expected the control's class name");
      }
      Comma("after the class name");
      c.style = StyleList(WS_CHILD | WS_VISIBLE);
      Comma("after the style");
      Rect(c);
      if (OptionalComma()) c.exStyle = StyleList(0);
      if (extended && OptionalComma()) Expr();  // help ID
      return c;
    }
    const Kind* kind = nullptr;
    for (const Kind& k : kinds)
      if (kw == k.keyword) kind = &k;
    if (!kind) Fail(start, "unknown control statement");
    c.className = kind->cls;
    if (kind->hasText) {
      c.text = ControlText();
      Comma("after the control text");
    }
    c.id = IntExpr();
    Comma("after the control ID");
    Rect(c);
    c.style = WS_CHILD | WS_VISIBLE | kind->style;
    if (OptionalComma()) {
      c.style = StyleList(c.style);
      if (OptionalComma()) {
        c.exStyle = StyleList(0);
        if (extended && OptionalComma()) Expr();
      }
    }
    return c;
  }

  std::string ControlText() {
    if (Peek().kind == Tok::String) return Next().text;
    if (Peek().kind == Tok::Number || Peek().kind == Tok::Ident) return std::to_string(Expr());
    Fail(Peek(), "expected the control text");
  }

  void Rect(ControlTemplate& c) {
    c.x = IntExpr();
    Comma("after x");
    c.y = IntExpr();
    Comma("after y");
    c.cx = IntExpr();
    Comma("after the width");
    c.cy = IntExpr();
  }

  std::vector<Token> toks_;
  std::size_t pos_ = 0;
  std::map<std::string, long long>& defines_;
  std::string scriptName_;
};

std::optional<long long> Lexer::TryEval(const std::string& text) {
  try {
    Lexer sub(reader_, defines_);
    sub.Tokenise(text, "#define", 1);
    if (sub.tokens.empty()) return std::nullopt;
    Parser p(std::move(sub.tokens), defines_, "#define");
    long long v = p.Expr();
    return v;
  } catch (const Failure&) {
    return std::nullopt;
  }
}

}  // namespace

ResName ResName::FromArg(LPCSTR arg) {
  ResName n;
  if (IS_INTRESOURCE(arg)) {
    n.id = static_cast<int>(reinterpret_cast<UINT_PTR>(arg));
  } else if (arg[0] == '#') {
    n.id = std::atoi(arg + 1);
  } else {
    n.name = Upper(arg);
  }
  return n;
}

const ControlTemplate* DialogTemplate::FindControl(int controlId) const {
  for (const ControlTemplate& c : controls)
    if (c.id == controlId) return &c;
  return nullptr;
}

const std::string* ResourceScript::FindString(int id) const {
  auto it = strings.find(id);
  return it == strings.end() ? nullptr : &it->second;
}

const DialogTemplate* ResourceScript::FindDialog(const ResName& name) const {
  for (const DialogTemplate& d : dialogs)
    if (d.name == name) return &d;
  return nullptr;
}

const BitmapResource* ResourceScript::FindBitmap(const ResName& name) const {
  for (const BitmapResource& b : bitmaps)
    if (b.name == name) return &b;
  return nullptr;
}

RcParseResult ParseResourceScript(std::string_view text, std::string_view scriptName, const RcFileReader& readFile) {
  RcParseResult result;
  std::string name(scriptName);
  try {
    if (text.size() > kMaxScriptBytes) throw Failure{name + ": script larger than " + std::to_string(kMaxScriptBytes) + " bytes"};
    if (text.find('\0') != std::string_view::npos) throw Failure{name + ": script contains a NUL byte"};
    std::map<std::string, long long> defines;
    Lexer lexer(readFile, defines);
    lexer.Run(text, name, 0);
    Parser parser(std::move(lexer.tokens), defines, name);
    result.script = parser.Run();
  } catch (const Failure& f) {
    result.error = f.message;
    result.script.reset();
  }
  return result;
}

}  // namespace tessary::headless
