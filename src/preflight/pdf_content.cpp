#include "preflight/pdf_content.h"

#include <cmath>

namespace pelmora::preflight {

namespace {

bool IsWhite(unsigned char ch) { return ch == 0 || ch == 9 || ch == 10 || ch == 12 || ch == 13 || ch == 32; }

bool IsDelimiter(unsigned char ch) {
  return ch == '(' || ch == ')' || ch == '<' || ch == '>' || ch == '[' || ch == ']' || ch == '{' || ch == '}' ||
         ch == '/' || ch == '%';
}

int HexValue(unsigned char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

bool IsPainting(std::string_view op) {
  return op == "S" || op == "s" || op == "f" || op == "F" || op == "f*" || op == "B" || op == "B*" || op == "b" ||
         op == "b*" || op == "sh";
}

bool IsTextShowing(std::string_view op) { return op == "Tj" || op == "TJ" || op == "'" || op == "\""; }

}  // namespace

Matrix Matrix::Then(const Matrix& o) const {
  return {a * o.a + b * o.c, a * o.b + b * o.d, c * o.a + d * o.c, c * o.b + d * o.d,
          e * o.a + f * o.c + o.e, e * o.b + f * o.d + o.f};
}

double Matrix::XLength() const { return std::hypot(a, b); }
double Matrix::YLength() const { return std::hypot(c, d); }

ContentInterpreter::ContentInterpreter(ContentSink& sink, const Matrix& start, ContentBudget& budget)
    : sink_(sink), budget_(budget), ctm_(start) {
  operands_.reserve(kOperands);
}

void ContentInterpreter::Feed(std::string_view bytes) {
  for (const char ch : bytes) {
    if (summary_.cut) return;
    Byte(static_cast<unsigned char>(ch));
  }
}

void ContentInterpreter::Finish() {
  if (summary_.cut) return;
  // The end of the stream ends the last token as a blank would.
  if (state_ == State::kImageData) {
    if (imageDataState_ == 3) EndInlineImage();
    state_ = State::kIdle;
    return;
  }
  Byte(' ');
}

void ContentInterpreter::Byte(unsigned char ch) {
  switch (state_) {
    case State::kComment:
      if (ch == '\r' || ch == '\n') state_ = State::kIdle;
      return;
    case State::kRegular:
      if (IsWhite(ch) || IsDelimiter(ch)) {
        state_ = State::kIdle;
        EndRegular();
        // The one blank after ID belongs to the operator, not to the image's data.
        if (state_ == State::kImageData) return;
        break;
      }
      if (token_.size() < kTokenBytes) token_ += static_cast<char>(ch);
      return;
    case State::kName:
      if (IsWhite(ch) || IsDelimiter(ch)) {
        state_ = State::kIdle;
        EndName();
        break;
      }
      if (token_.size() < kTokenBytes) token_ += static_cast<char>(ch);
      return;
    case State::kLiteral:
      if (ch == '\\') {
        state_ = State::kLiteralEscape;
        hexNibble_ = -1;
      } else if (ch == '(') {
        ++literalDepth_;
        StringByte('(');
      } else if (ch == ')' && --literalDepth_ == 0) {
        state_ = State::kIdle;
        EndString();
      } else {
        StringByte(static_cast<char>(ch));
      }
      return;
    case State::kLiteralEscape:
      // An octal escape: up to three digits (hexNibble_ holds the value so far).
      if (ch >= '0' && ch <= '7' && escapeDigits_ < 3) {
        hexNibble_ = (hexNibble_ < 0 ? 0 : hexNibble_) * 8 + (ch - '0');
        if (++escapeDigits_ < 3) return;
        StringByte(static_cast<char>(hexNibble_ & 0xFF));
        escapeDigits_ = 0;
        hexNibble_ = -1;
        state_ = State::kLiteral;
        return;
      }
      if (escapeDigits_ > 0) {
        StringByte(static_cast<char>(hexNibble_ & 0xFF));
        escapeDigits_ = 0;
        hexNibble_ = -1;
        state_ = State::kLiteral;
        Byte(ch);
        return;
      }
      state_ = State::kLiteral;
      switch (ch) {
        case 'n': StringByte('\n'); return;
        case 'r': StringByte('\r'); return;
        case 't': StringByte('\t'); return;
        case 'b': StringByte('\b'); return;
        case 'f': StringByte('\f'); return;
        case '\r':
        case '\n': return;  // a line continued
        default: StringByte(static_cast<char>(ch)); return;
      }
    case State::kHexStart:
      if (ch == '<') {  // "<<": a dictionary
        state_ = State::kIdle;
        ++arrayDepth_;
        return;
      }
      state_ = State::kHex;
      hexNibble_ = -1;
      [[fallthrough]];
    case State::kHex: {
      if (ch == '>') {
        if (hexNibble_ >= 0) StringByte(static_cast<char>(hexNibble_ << 4));
        state_ = State::kIdle;
        EndString();
        return;
      }
      const int v = HexValue(ch);
      if (v < 0) return;  // blanks, and what no writer puts there
      if (hexNibble_ < 0) {
        hexNibble_ = v;
      } else {
        StringByte(static_cast<char>(hexNibble_ << 4 | v));
        hexNibble_ = -1;
      }
      return;
    }
    case State::kImageData: {
      int s = imageDataState_;
      if (s == 3) {
        if (IsWhite(ch) || IsDelimiter(ch)) {
          EndInlineImage();
          state_ = State::kIdle;
          break;
        }
        s = 0;
      }
      if (s == 2 && ch == 'I') {
        imageDataState_ = 3;
      } else if (IsWhite(ch)) {
        imageDataState_ = 1;
      } else {
        imageDataState_ = s == 1 && ch == 'E' ? 2 : 0;
      }
      return;
    }
    case State::kIdle: break;
  }

  // Idle: a new token starts, or a delimiter stands alone.
  if (ch != '>') closing_ = false;
  if (IsWhite(ch)) return;
  token_.clear();
  switch (ch) {
    case '%': state_ = State::kComment; return;
    case '/': state_ = State::kName; return;
    case '(':
      state_ = State::kLiteral;
      literalDepth_ = 1;
      escapeDigits_ = 0;
      return;
    case '<': state_ = State::kHexStart; return;
    case '>':
      if (closing_) {  // ">>"
        closing_ = false;
        EndGroup();
      } else {
        closing_ = true;
      }
      return;
    case '[':
      ++arrayDepth_;
      if (inInline_ && arrayDepth_ == 1) inlineArray_.clear();
      return;
    case ']': EndGroup(); return;
    case ')':
    case '{':
    case '}': return;
    default:
      state_ = State::kRegular;
      token_ += static_cast<char>(ch);
      return;
  }
}

void ContentInterpreter::StringByte(char ch) {
  if (token_.size() < ContentSummary::kTextKept) token_ += ch;
}

void ContentInterpreter::EndGroup() {
  if (arrayDepth_ == 0) return;
  if (--arrayDepth_ > 0) return;
  if (inInline_) {
    InlineValue(Operand{});
  } else {
    Push(Operand{});
  }
}

bool ContentInterpreter::Number(std::string_view text, double& value) const {
  // PDF numbers: an optional sign, digits with at most one point, no exponent. Read by hand: this
  // runs for most tokens of a page, and the values only place images.
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  double whole = 0, scale = 0.1;
  bool digit = false, point = false;
  for (; i < text.size(); ++i) {
    const char ch = text[i];
    if (ch >= '0' && ch <= '9') {
      digit = true;
      if (!point) {
        whole = whole * 10 + (ch - '0');
      } else {
        whole += (ch - '0') * scale;
        scale /= 10;
      }
    } else if (ch == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (!digit || !std::isfinite(whole)) return false;
  value = negative ? -whole : whole;
  return true;
}

void ContentInterpreter::EndRegular() {
  Operand operand;
  if (Number(token_, operand.number)) {
    operand.kind = Operand::Kind::kNumber;
  } else if (token_ == "true" || token_ == "false" || token_ == "null") {
    operand.name = token_;  // kept for an inline image's /IM true
  } else if (inInline_) {
    // The image's dictionary ends at ID; other words there are no operators.
    if (token_ == "ID" && arrayDepth_ == 0) {
      state_ = State::kImageData;
      imageDataState_ = 0;
    }
    return;
  } else if (arrayDepth_ == 0) {
    Operator(token_);
    return;
  } else {
    return;
  }
  if (inInline_) {
    InlineValue(operand);
  } else if (arrayDepth_ == 0) {
    Push(std::move(operand));
  }
}

void ContentInterpreter::EndName() {
  Operand operand;
  operand.kind = Operand::Kind::kName;
  // "#20" in a name stands for the byte 0x20.
  for (std::size_t i = 0; i < token_.size(); ++i) {
    const int high = token_[i] == '#' && i + 2 < token_.size() ? HexValue(static_cast<unsigned char>(token_[i + 1])) : -1;
    const int low = high >= 0 ? HexValue(static_cast<unsigned char>(token_[i + 2])) : -1;
    if (low >= 0) {
      operand.name += static_cast<char>(high << 4 | low);
      i += 2;
    } else {
      operand.name += token_[i];
    }
  }
  if (inInline_) {
    InlineValue(operand);
  } else if (arrayDepth_ == 0) {
    Push(std::move(operand));
  }
}

void ContentInterpreter::EndString() {
  if (!inInline_ && pendingText_.size() < ContentSummary::kTextKept) {
    pendingText_.append(token_, 0, ContentSummary::kTextKept - pendingText_.size());
  }
  token_.clear();
  if (inInline_) {
    InlineValue(Operand{});
  } else if (arrayDepth_ == 0) {
    Push(Operand{});
  }
}

void ContentInterpreter::Push(Operand operand) {
  if (operands_.size() == kOperands) operands_.erase(operands_.begin());
  operands_.push_back(std::move(operand));
}

void ContentInterpreter::Operator(std::string_view op) {
  if (++budget_.operators > budget_.maxOperators) {
    summary_.cut = true;
    return;
  }
  const auto numbers = [&](std::size_t n, double* out) {
    if (operands_.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
      const Operand& o = operands_[operands_.size() - n + i];
      if (o.kind != Operand::Kind::kNumber) return false;
      out[i] = o.number;
    }
    return true;
  };
  if (op == "q") {
    if (saved_.size() < kStates) {
      saved_.push_back(ctm_);
    } else {
      ++lostStates_;
    }
  } else if (op == "Q") {
    if (lostStates_ > 0) {
      --lostStates_;
    } else if (!saved_.empty()) {
      ctm_ = saved_.back();
      saved_.pop_back();
    }
  } else if (op == "cm") {
    double m[6];
    if (numbers(6, m)) {
      const Matrix next = Matrix{m[0], m[1], m[2], m[3], m[4], m[5]}.Then(ctm_);
      if (std::isfinite(next.a) && std::isfinite(next.b) && std::isfinite(next.c) && std::isfinite(next.d) &&
          std::isfinite(next.e) && std::isfinite(next.f)) {
        ctm_ = next;
      }
    }
  } else if (op == "Do") {
    if (!operands_.empty() && operands_.back().kind == Operand::Kind::kName) sink_.Draw(operands_.back().name, ctm_);
  } else if (op == "BI") {
    inInline_ = true;
    inline_ = InlineImage{};
    inlineKey_.clear();
    haveKey_ = false;
  } else if (IsPainting(op)) {
    ++summary_.painted;
  } else if (IsTextShowing(op)) {
    ++summary_.textShown;
    if (summary_.text.size() < ContentSummary::kTextKept) {
      summary_.text.append(pendingText_, 0, ContentSummary::kTextKept - summary_.text.size());
    }
  }
  operands_.clear();
  pendingText_.clear();
}

void ContentInterpreter::InlineValue(const Operand& value) {
  // Inside an array only the colour space's names count: [/I /RGB 255 <…>].
  if (arrayDepth_ > 0) {
    if (value.kind == Operand::Kind::kName && inlineArray_.size() < 4) inlineArray_.push_back(value.name);
    return;
  }
  if (!haveKey_) {
    if (value.kind == Operand::Kind::kName) {
      inlineKey_ = value.name;
      haveKey_ = true;
    }
    return;
  }
  haveKey_ = false;
  const std::string& k = inlineKey_;
  if (k == "W" || k == "Width") {
    if (value.kind == Operand::Kind::kNumber) inline_.width = static_cast<long long>(std::min(value.number, 1e12));
  } else if (k == "H" || k == "Height") {
    if (value.kind == Operand::Kind::kNumber) inline_.height = static_cast<long long>(std::min(value.number, 1e12));
  } else if (k == "BPC" || k == "BitsPerComponent") {
    if (value.kind == Operand::Kind::kNumber) inline_.bits = static_cast<int>(std::min(value.number, 64.0));
  } else if (k == "IM" || k == "ImageMask") {
    inline_.imageMask = value.name == "true";
  } else if (k == "CS" || k == "ColorSpace") {
    if (value.kind == Operand::Kind::kName) {
      inline_.colourSpace = {value.name};
    } else {
      inline_.colourSpace = inlineArray_;
    }
  }
}

void ContentInterpreter::EndInlineImage() {
  inInline_ = false;
  if (++budget_.operators > budget_.maxOperators) {
    summary_.cut = true;
    return;
  }
  ++summary_.painted;
  sink_.DrawInline(inline_, ctm_);
  operands_.clear();
  pendingText_.clear();
}

}  // namespace pelmora::preflight
