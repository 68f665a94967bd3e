#pragma once
// A strict reader of the JSON that the scanner writes, so tests can read its output back without
// trusting its writer: rejects raw control characters, bad escapes and trailing text.
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace json_lite {

struct Value;
using Object = std::map<std::string, Value>;
using Array = std::vector<Value>;

struct Value {
  std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Array>, std::shared_ptr<Object>> v;
  const std::string& str() const { return std::get<std::string>(v); }
  bool boolean() const { return std::get<bool>(v); }
  double number() const { return std::get<double>(v); }
  bool is_null() const { return std::holds_alternative<std::nullptr_t>(v); }
  const Array& array() const { return *std::get<std::shared_ptr<Array>>(v); }
  const Object& object() const { return *std::get<std::shared_ptr<Object>>(v); }
  const Value& operator[](const std::string& key) const {
    const auto it = object().find(key);
    if (it == object().end()) throw std::runtime_error("no key " + key);
    return it->second;
  }
};

class Parser {
 public:
  explicit Parser(std::string_view text) : t_(text) {}

  Value Document() {
    Value v = Parse();
    Skip();
    if (p_ != t_.size()) Fail("trailing text");
    return v;
  }

 private:
  [[noreturn]] void Fail(const char* what) { throw std::runtime_error(std::string(what) + " at " + std::to_string(p_)); }
  void Skip() {
    while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t' || t_[p_] == '\n' || t_[p_] == '\r')) ++p_;
  }
  bool Eat(char c) {
    Skip();
    if (p_ < t_.size() && t_[p_] == c) return ++p_, true;
    return false;
  }
  void Expect(char c) {
    if (!Eat(c)) Fail("unexpected character");
  }
  bool Word(std::string_view w) {
    if (t_.substr(p_, w.size()) != w) return false;
    p_ += w.size();
    return true;
  }

  Value Parse() {
    Skip();
    if (p_ >= t_.size()) Fail("end of text");
    const char c = t_[p_];
    if (c == '{') {
      ++p_;
      auto obj = std::make_shared<Object>();
      if (!Eat('}')) {
        do {
          Skip();
          std::string key = String();
          Expect(':');
          if (!obj->emplace(key, Parse()).second) Fail("duplicate key");
        } while (Eat(','));
        Expect('}');
      }
      return {obj};
    }
    if (c == '[') {
      ++p_;
      auto arr = std::make_shared<Array>();
      if (!Eat(']')) {
        do arr->push_back(Parse());
        while (Eat(','));
        Expect(']');
      }
      return {arr};
    }
    if (c == '"') return {String()};
    if (Word("true")) return {true};
    if (Word("false")) return {false};
    if (Word("null")) return {nullptr};
    const std::size_t start = p_;
    if (p_ < t_.size() && t_[p_] == '-') ++p_;
    const auto digits = [this] {
      const std::size_t from = p_;
      while (p_ < t_.size() && t_[p_] >= '0' && t_[p_] <= '9') ++p_;
      return p_ > from;
    };
    if (!digits()) Fail("not a value");
    if (p_ < t_.size() && t_[p_] == '.' && (++p_, !digits())) Fail("no digits after the point");
    if (p_ < t_.size() && (t_[p_] == 'e' || t_[p_] == 'E')) {
      ++p_;
      if (p_ < t_.size() && (t_[p_] == '+' || t_[p_] == '-')) ++p_;
      if (!digits()) Fail("no exponent digits");
    }
    return {std::stod(std::string(t_.substr(start, p_ - start)))};
  }

  unsigned Hex4() {
    if (p_ + 4 > t_.size()) Fail("short \\u escape");
    unsigned v = 0;
    for (int k = 0; k < 4; ++k) {
      const char h = t_[p_++];
      v <<= 4;
      if (h >= '0' && h <= '9') v |= h - '0';
      else if (h >= 'a' && h <= 'f') v |= h - 'a' + 10;
      else if (h >= 'A' && h <= 'F') v |= h - 'A' + 10;
      else Fail("bad hex digit");
    }
    return v;
  }

  static void Utf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) out += static_cast<char>(c);
    else if (c < 0x800) out += static_cast<char>(0xC0 | (c >> 6)), out += static_cast<char>(0x80 | (c & 0x3F));
    else if (c < 0x10000)
      out += static_cast<char>(0xE0 | (c >> 12)), out += static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
          out += static_cast<char>(0x80 | (c & 0x3F));
    else
      out += static_cast<char>(0xF0 | (c >> 18)), out += static_cast<char>(0x80 | ((c >> 12) & 0x3F)),
          out += static_cast<char>(0x80 | ((c >> 6) & 0x3F)), out += static_cast<char>(0x80 | (c & 0x3F));
  }

  std::string String() {
    if (p_ >= t_.size() || t_[p_] != '"') Fail("expected string");
    ++p_;
    std::string out;
    for (;;) {
      if (p_ >= t_.size()) Fail("unterminated string");
      const auto c = static_cast<unsigned char>(t_[p_++]);
      if (c == '"') return out;
      if (c < 0x20) Fail("raw control character");
      if (c != '\\') {
        out += static_cast<char>(c);
        continue;
      }
      if (p_ >= t_.size()) Fail("dangling backslash");
      switch (t_[p_++]) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '/': out += '/'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 't': out += '\t'; break;
        case 'u': {
          std::uint32_t u = Hex4();
          if (u >= 0xD800 && u <= 0xDBFF) {
            if (!Word("\\u")) Fail("lone high surrogate");
            const unsigned low = Hex4();
            if (low < 0xDC00 || low > 0xDFFF) Fail("bad low surrogate");
            u = 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00);
          } else if (u >= 0xDC00 && u <= 0xDFFF) {
            Fail("lone low surrogate");
          }
          Utf8(out, u);
          break;
        }
        default: Fail("bad escape");
      }
    }
  }

  std::string_view t_;
  std::size_t p_ = 0;
};

inline Value Parse(std::string_view text) { return Parser(text).Document(); }

}  // namespace json_lite
