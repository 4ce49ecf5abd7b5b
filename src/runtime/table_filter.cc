// Filter expressions: a small recursive-descent parser producing a tree of
// nodes whose comparisons are bound to field positions and pre-converted
// literals, so that evaluation never fails.
#include "runtime/table_filter.h"

#include <charconv>
#include <cmath>
#include <string>

#include "runtime/convert.h"
#include "runtime/host_error.h"
#include "runtime/record.h"

namespace zel {

unsigned char UpperCase1252(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  // Latin-1 lower-case letters (except the division sign and y-diaeresis).
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  if (c == 0x9A || c == 0x9C || c == 0x9E)
    return static_cast<unsigned char>(c - 16);  // s-caron, oe, z-caron
  if (c == 0xFF) return 0x9F;
  return c;
}

int CompareText(std::string_view a, std::string_view b, bool case_insensitive) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (case_insensitive) {
      x = UpperCase1252(x);
      y = UpperCase1252(y);
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b, true) == 0;
}

namespace {

enum class Category { kText, kNumber, kBoolean, kDateTime };

Category CategoryOf(FieldType type) {
  switch (type) {
    case FieldType::kString:
    case FieldType::kWideString:
    case FieldType::kMemo:
    case FieldType::kWideMemo:
    case FieldType::kBlob:
    case FieldType::kGraphic:
      return Category::kText;
    case FieldType::kBoolean:
      return Category::kBoolean;
    case FieldType::kDate:
    case FieldType::kTime:
    case FieldType::kDateTime:
    case FieldType::kSQLTimeStamp:
      return Category::kDateTime;
    default:
      return Category::kNumber;
  }
}

enum class Op { kEq, kNe, kLt, kGt, kLe, kGe };

Op Mirror(Op op) {
  switch (op) {
    case Op::kLt:
      return Op::kGt;
    case Op::kGt:
      return Op::kLt;
    case Op::kLe:
      return Op::kGe;
    case Op::kGe:
      return Op::kLe;
    default:
      return op;
  }
}

bool Holds(Op op, int cmp) {
  switch (op) {
    case Op::kEq:
      return cmp == 0;
    case Op::kNe:
      return cmp != 0;
    case Op::kLt:
      return cmp < 0;
    case Op::kGt:
      return cmp > 0;
    case Op::kLe:
      return cmp <= 0;
    case Op::kGe:
      return cmp >= 0;
  }
  return false;
}

int CompareNumbers(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Numeric view of a stored value; false for a null.
bool NumberValue(const RecordLayout& l, const uint8_t* r, size_t f, double& out) {
  if (l.IsNull(r, f) || l.IsText(f)) return false;
  out = l.IsDouble(f) ? l.Float(r, f) : static_cast<double>(l.Int(r, f));
  return true;
}

// A number written in a filter or held by a text field: "." or the locale's
// decimal separator.
bool ParseNumber(std::string_view text, double& out, const FormatSettings& fs) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  text = TrimRight(text);
  if (text.empty()) return false;
  double v = 0;
  std::string_view t = text;
  if (t.front() == '+') t.remove_prefix(1);
  const auto res = std::from_chars(t.data(), t.data() + t.size(), v);
  if (res.ec == std::errc() && res.ptr == t.data() + t.size()) {
    out = v;
    return true;
  }
  return TryStrToFloat(text, out, fs);
}

// ---- Nodes --------------------------------------------------------------

class Constant : public FilterExpression {
 public:
  explicit Constant(bool value) : value_(value) {}
  bool Matches(const RecordLayout&, const uint8_t*) const override { return value_; }

 private:
  bool value_;
};

class Not : public FilterExpression {
 public:
  explicit Not(std::shared_ptr<FilterExpression> inner) : inner_(std::move(inner)) {}
  bool Matches(const RecordLayout& l, const uint8_t* r) const override {
    return !inner_->Matches(l, r);
  }

 private:
  std::shared_ptr<FilterExpression> inner_;
};

// A chain of terms joined by AND (or by OR), held flat so that a long chain
// costs neither stack depth to evaluate nor to destroy.
class Junction : public FilterExpression {
 public:
  Junction(bool is_and, std::vector<std::shared_ptr<FilterExpression>> terms)
      : is_and_(is_and), terms_(std::move(terms)) {}
  bool Matches(const RecordLayout& l, const uint8_t* r) const override {
    // AND stops at the first failing term, OR at the first passing one.
    for (const auto& term : terms_) {
      if (term->Matches(l, r) != is_and_) return !is_and_;
    }
    return is_and_;
  }

 private:
  bool is_and_;
  std::vector<std::shared_ptr<FilterExpression>> terms_;
};

class IsNull : public FilterExpression {
 public:
  IsNull(size_t field, bool negate) : field_(field), negate_(negate) {}
  bool Matches(const RecordLayout& l, const uint8_t* r) const override {
    return l.IsNull(r, field_) != negate_;
  }

 private:
  size_t field_;
  bool negate_;
};

// Text field against a text literal; a null reads as "", trailing blanks
// do not count.
class TextCompare : public FilterExpression {
 public:
  TextCompare(size_t field, Op op, std::string literal, bool ci)
      : field_(field), op_(op), literal_(TrimRight(literal)), ci_(ci) {}
  bool Matches(const RecordLayout& l, const uint8_t* r) const override {
    return Holds(op_, CompareText(TrimRight(l.Text(r, field_)), literal_, ci_));
  }

 private:
  size_t field_;
  Op op_;
  std::string literal_;
  bool ci_;
};

// Number, boolean or date-time field against a number; a null never matches.
class NumberCompare : public FilterExpression {
 public:
  NumberCompare(size_t field, Op op, double literal) : field_(field), op_(op), literal_(literal) {}
  bool Matches(const RecordLayout& l, const uint8_t* r) const override {
    double x;
    return NumberValue(l, r, field_, x) && Holds(op_, CompareNumbers(x, literal_));
  }

 private:
  size_t field_;
  Op op_;
  double literal_;
};

// Text field against a number: the text is read as a number; a text that is
// not one never matches.
class TextAsNumberCompare : public FilterExpression {
 public:
  TextAsNumberCompare(size_t field, Op op, double literal, const FormatSettings& fs)
      : field_(field), op_(op), literal_(literal), fs_(fs) {}
  bool Matches(const RecordLayout& l, const uint8_t* r) const override {
    double x;
    return ParseNumber(l.Text(r, field_), x, fs_) && Holds(op_, CompareNumbers(x, literal_));
  }

 private:
  size_t field_;
  Op op_;
  double literal_;
  FormatSettings fs_;
};

class FieldCompare : public FilterExpression {
 public:
  FieldCompare(size_t a, Category ca, size_t b, Category cb, Op op, bool ci,
               const FormatSettings& fs)
      : a_(a), b_(b), ca_(ca), cb_(cb), op_(op), ci_(ci), fs_(fs) {}
  bool Matches(const RecordLayout& l, const uint8_t* r) const override {
    if (ca_ == Category::kText && cb_ == Category::kText) {
      return Holds(op_, CompareText(TrimRight(l.Text(r, a_)), TrimRight(l.Text(r, b_)), ci_));
    }
    double x, y;
    if (!Number(l, r, a_, ca_, x) || !Number(l, r, b_, cb_, y)) return false;
    return Holds(op_, CompareNumbers(x, y));
  }

 private:
  bool Number(const RecordLayout& l, const uint8_t* r, size_t f, Category c, double& out) const {
    if (c == Category::kText) return ParseNumber(l.Text(r, f), out, fs_);
    return NumberValue(l, r, f, out);
  }
  size_t a_, b_;
  Category ca_, cb_;
  Op op_;
  bool ci_;
  FormatSettings fs_;
};

// ---- Lexer --------------------------------------------------------------

enum class Tok { kEnd, kName, kText, kNumber, kLParen, kRParen, kOp };

struct Token {
  Tok kind = Tok::kEnd;
  std::string text;  // name, text literal or number spelling
  Op op = Op::kEq;
  size_t at = 0;
  bool quoted_name = false;  // [NAME]: never a keyword
};

bool NameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool NamePart(unsigned char c) { return NameStart(c) || (c >= '0' && c <= '9') || c == '.'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }

class Parser {
 public:
  Parser(std::string_view text, const std::vector<FieldDef>& fields, bool ci,
         const FormatSettings& fs)
      : text_(text), fields_(fields), ci_(ci), fs_(fs) {
    Advance();
  }

  std::shared_ptr<FilterExpression> Parse() {
    auto expr = ParseOr();
    if (tok_.kind != Tok::kEnd) Fail("unexpected '" + tok_.text + "'");
    return expr;
  }

 private:
  struct Operand {
    enum Kind { kField, kText, kNumber } kind = kField;
    size_t field = 0;
    std::string text;
    double number = 0;
    bool boolean = false;  // a TRUE/FALSE literal (number 1/0)
  };

  [[noreturn]] void Fail(const std::string& why) const {
    throw DatasetError("Invalid filter expression \"" + std::string(text_) + "\": " + why);
  }

  bool Keyword(const char* word) const {
    return tok_.kind == Tok::kName && !tok_.quoted_name && SameName(tok_.text, word);
  }

  void Advance() {
    while (pos_ < text_.size() && static_cast<unsigned char>(text_[pos_]) <= ' ') ++pos_;
    tok_ = Token{};
    tok_.at = pos_;
    if (pos_ >= text_.size()) {
      tok_.text = "end of expression";
      return;
    }
    const char c = text_[pos_];
    if (c == '(' || c == ')') {
      tok_.kind = c == '(' ? Tok::kLParen : Tok::kRParen;
      tok_.text = std::string(1, c);
      ++pos_;
    } else if (c == '\'') {
      tok_.kind = Tok::kText;
      ++pos_;
      for (;;) {
        if (pos_ >= text_.size()) Fail("unterminated text");
        if (text_[pos_] == '\'') {
          if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
            tok_.text.push_back('\'');
            pos_ += 2;
            continue;
          }
          ++pos_;
          break;
        }
        tok_.text.push_back(text_[pos_++]);
      }
    } else if (c == '[') {
      const size_t end = text_.find(']', pos_);
      if (end == std::string_view::npos) Fail("unterminated field name");
      tok_.kind = Tok::kName;
      tok_.quoted_name = true;
      tok_.text = std::string(text_.substr(pos_ + 1, end - pos_ - 1));
      pos_ = end + 1;
    } else if (Digit(c) || (c == '.' && pos_ + 1 < text_.size() && Digit(text_[pos_ + 1]))) {
      tok_.kind = Tok::kNumber;
      bool dot = false;
      while (pos_ < text_.size() && (Digit(text_[pos_]) || (text_[pos_] == '.' && !dot))) {
        dot = dot || text_[pos_] == '.';
        tok_.text.push_back(text_[pos_++]);
      }
    } else if (NameStart(static_cast<unsigned char>(c))) {
      tok_.kind = Tok::kName;
      while (pos_ < text_.size() && NamePart(static_cast<unsigned char>(text_[pos_]))) {
        tok_.text.push_back(text_[pos_++]);
      }
    } else {
      static const struct {
        const char* spelling;
        Op op;
      } kOps[] = {{"<>", Op::kNe}, {"!=", Op::kNe}, {"<=", Op::kLe}, {">=", Op::kGe},
                  {"=", Op::kEq},  {"<", Op::kLt},  {">", Op::kGt}};
      for (const auto& o : kOps) {
        if (text_.substr(pos_).starts_with(o.spelling)) {
          tok_.kind = Tok::kOp;
          tok_.op = o.op;
          // Built as a new string and moved in: assigning the C string in
          // place trips a false -Wrestrict in GCC 12 at -O3.
          tok_.text = std::string(o.spelling);
          pos_ += std::string_view(o.spelling).size();
          return;
        }
      }
      // '-' starts a negative number; anything else is foreign.
      if (c == '-') {
        tok_.kind = Tok::kOp;
        tok_.text = std::string(1, '-');
        ++pos_;
        return;
      }
      Fail(std::string("unexpected character '") + c + "'");
    }
  }

  std::shared_ptr<FilterExpression> ParseOr() { return ParseChain(false); }

  std::shared_ptr<FilterExpression> ParseAnd() { return ParseChain(true); }

  // term { OR term } or factor { AND factor }, gathered into one node.
  std::shared_ptr<FilterExpression> ParseChain(bool is_and) {
    std::vector<std::shared_ptr<FilterExpression>> terms;
    terms.push_back(is_and ? ParseFactor() : ParseAnd());
    while (Keyword(is_and ? "AND" : "OR")) {
      Advance();
      terms.push_back(is_and ? ParseFactor() : ParseAnd());
    }
    if (terms.size() == 1) return std::move(terms.front());
    return std::make_shared<Junction>(is_and, std::move(terms));
  }

  // Parentheses and NOT nest by recursion; a bound on the depth keeps a
  // hostile text from exhausting the stack.
  void Enter() {
    if (++depth_ > kMaxNesting) {
      Fail("nesting deeper than " + std::to_string(kMaxNesting) + " levels");
    }
  }

  std::shared_ptr<FilterExpression> ParseFactor() {
    if (Keyword("NOT")) {
      Enter();
      Advance();
      auto inner = std::make_shared<Not>(ParseFactor());
      --depth_;
      return inner;
    }
    if (tok_.kind == Tok::kLParen) {
      Enter();
      Advance();
      auto inner = ParseOr();
      if (tok_.kind != Tok::kRParen) Fail("')' expected");
      Advance();
      --depth_;
      return inner;
    }
    const Operand left = ParseOperand();
    if (Keyword("IS")) {
      Advance();
      bool negate = false;
      if (Keyword("NOT")) {
        negate = true;
        Advance();
      }
      if (!Keyword("NULL")) Fail("NULL expected after IS");
      Advance();
      if (left.kind != Operand::kField) Fail("IS NULL needs a field");
      return std::make_shared<IsNull>(left.field, negate);
    }
    if (tok_.kind != Tok::kOp || tok_.text == "-") Fail("comparison operator expected");
    const Op op = tok_.op;
    Advance();
    const Operand right = ParseOperand();
    return Bind(left, op, right);
  }

  Operand ParseOperand() {
    Operand o;
    if (tok_.kind == Tok::kText) {
      o.kind = Operand::kText;
      o.text = tok_.text;
    } else if (tok_.kind == Tok::kNumber || (tok_.kind == Tok::kOp && tok_.text == "-")) {
      bool negative = false;
      if (tok_.kind == Tok::kOp) {
        negative = true;
        Advance();
        if (tok_.kind != Tok::kNumber) Fail("number expected after '-'");
      }
      o.kind = Operand::kNumber;
      std::from_chars(tok_.text.data(), tok_.text.data() + tok_.text.size(), o.number);
      if (negative) o.number = -o.number;
    } else if (Keyword("TRUE") || Keyword("FALSE")) {
      o.kind = Operand::kNumber;
      o.boolean = true;
      o.number = Keyword("TRUE") ? 1 : 0;
    } else if (tok_.kind == Tok::kName && !Keyword("AND") && !Keyword("OR") && !Keyword("NOT") &&
               !Keyword("IS") && !Keyword("NULL")) {
      o.kind = Operand::kField;
      o.field = FieldIndex(tok_.text);
    } else {
      Fail(tok_.kind == Tok::kEnd ? "operand expected at end of expression"
                                  : "operand expected at '" + tok_.text + "'");
    }
    Advance();
    return o;
  }

  size_t FieldIndex(const std::string& name) const {
    for (size_t i = 0; i < fields_.size(); ++i) {
      if (SameName(fields_[i].name, name)) return i;
    }
    throw DatasetError("Field '" + name + "' not found");
  }

  Category CategoryOfField(size_t f) const { return CategoryOf(fields_[f].type); }

  [[noreturn]] void Mismatch(size_t field) const {
    Fail("type mismatch for field '" + fields_[field].name + "'");
  }

  std::shared_ptr<FilterExpression> Bind(Operand left, Op op, Operand right) {
    if (left.kind != Operand::kField && right.kind == Operand::kField) {
      std::swap(left, right);
      op = Mirror(op);
    }
    if (left.kind != Operand::kField) {
      // Two literals: decided once.
      if (left.kind == Operand::kText && right.kind == Operand::kText) {
        return std::make_shared<Constant>(
            Holds(op, CompareText(TrimRight(left.text), TrimRight(right.text), ci_)));
      }
      double a, b;
      if (!LiteralNumber(left, a) || !LiteralNumber(right, b)) Fail("type mismatch");
      return std::make_shared<Constant>(Holds(op, CompareNumbers(a, b)));
    }
    const size_t f = left.field;
    const Category c = CategoryOfField(f);
    if (right.kind == Operand::kField) {
      return std::make_shared<FieldCompare>(f, c, right.field, CategoryOfField(right.field), op,
                                            ci_, fs_);
    }
    switch (c) {
      case Category::kText:
        if (right.kind == Operand::kText) {
          return std::make_shared<TextCompare>(f, op, right.text, ci_);
        }
        if (right.boolean) Mismatch(f);
        return std::make_shared<TextAsNumberCompare>(f, op, right.number, fs_);
      case Category::kNumber: {
        double n;
        if (!LiteralNumber(right, n)) Mismatch(f);
        return std::make_shared<NumberCompare>(f, op, n);
      }
      case Category::kBoolean: {
        double n = right.number;
        if (right.kind == Operand::kText) {
          if (SameName(right.text, "True") || SameName(right.text, "T")) {
            n = 1;
          } else if (SameName(right.text, "False") || SameName(right.text, "F")) {
            n = 0;
          } else {
            Mismatch(f);
          }
        }
        return std::make_shared<NumberCompare>(f, op, n);
      }
      case Category::kDateTime: {
        double n = right.number;
        if (right.kind == Operand::kText) {
          TDateTime dt;
          if (!TryStrToDateTime(right.text, dt, fs_)) Mismatch(f);
          n = dt;
        }
        return std::make_shared<NumberCompare>(f, op, n);
      }
    }
    Mismatch(f);
  }

  bool LiteralNumber(const Operand& o, double& out) const {
    if (o.kind == Operand::kNumber) {
      out = o.number;
      return true;
    }
    return ParseNumber(o.text, out, fs_);
  }

  std::string_view text_;
  const std::vector<FieldDef>& fields_;
  bool ci_;
  const FormatSettings& fs_;
  size_t pos_ = 0;
  Token tok_;
  int depth_ = 0;  // parentheses and NOT currently open
  static constexpr int kMaxNesting = 256;
};

}  // namespace

std::shared_ptr<FilterExpression> FilterExpression::Compile(std::string_view text,
                                                            const std::vector<FieldDef>& fields,
                                                            bool case_insensitive,
                                                            const FormatSettings& fs) {
  bool blank = true;
  for (char c : text) blank = blank && static_cast<unsigned char>(c) <= ' ';
  if (blank) return std::make_shared<Constant>(true);
  return Parser(text, fields, case_insensitive, fs).Parse();
}

}  // namespace zel
