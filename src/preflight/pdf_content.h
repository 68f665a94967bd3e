#pragma once
// A page's drawing instructions (its content stream), read as they arrive: only what places an
// image (q, Q, cm, Do and inline images) and what tells Illustrator's placeholder page apart (does
// it paint anything but text?) is interpreted. The stream is never held whole: a page of many
// megabytes costs time, not memory, and every count is bounded.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pelmora::preflight {

// The transformation in force: x' = a·x + c·y + e, y' = b·x + d·y + f.
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  // This transformation applied first, then `outer` (the PDF order of "cm": new CTM = M × CTM).
  Matrix Then(const Matrix& outer) const;
  // The lengths an image's unit square is drawn at: its x side (the pixel rows) and its y side.
  double XLength() const;
  double YLength() const;
};

// What an inline image (BI … ID … EI) says of itself; the colour space as its names (the first few).
struct InlineImage {
  long long width = 0, height = 0;
  int bits = 0;
  bool imageMask = false;
  std::vector<std::string> colourSpace;  // e.g. {"RGB"}, {"I", "RGB"}, {"CS0"}
};

// Told of every image or form drawn; the interpreter knows no resources.
class ContentSink {
 public:
  virtual ~ContentSink() = default;
  virtual void Draw(std::string_view name, const Matrix& ctm) = 0;  // "Do": an XObject by resource name
  virtual void DrawInline(const InlineImage& image, const Matrix& ctm) = 0;
};

// Shared by every stream of a document, so that the bounds hold for the whole of it.
struct ContentBudget {
  std::uint64_t operators = 0;
  std::uint64_t maxOperators = 64'000'000;
  bool Spent() const { return operators >= maxOperators; }
};

// What a stream did besides placing images.
struct ContentSummary {
  std::uint64_t painted = 0;   // paths filled or stroked, shadings, images
  std::uint64_t textShown = 0; // Tj, TJ, ' and "
  std::string text;            // the bytes of the strings shown, the first kTextKept of them
  bool cut = false;            // the budget ran out inside this stream
  static constexpr std::size_t kTextKept = 4096;
};

class ContentInterpreter {
 public:
  ContentInterpreter(ContentSink& sink, const Matrix& start, ContentBudget& budget);
  // Any split of the stream into pieces gives the same result.
  void Feed(std::string_view bytes);
  void Finish();
  const ContentSummary& summary() const { return summary_; }
  bool Stopped() const { return summary_.cut; }

  // Saved states beyond this are counted but not kept (their Q restores the deepest kept one).
  static constexpr std::size_t kStates = 256;
  // Operands kept before an operator; an operator needs at most six.
  static constexpr std::size_t kOperands = 8;
  // Bytes of one token kept; longer names, numbers and strings are cut.
  static constexpr std::size_t kTokenBytes = 256;

 private:
  enum class State { kIdle, kComment, kRegular, kName, kLiteral, kLiteralEscape, kHexStart, kHex, kImageData };
  struct Operand {
    enum class Kind { kNumber, kName, kOther } kind = Kind::kOther;
    double number = 0;
    std::string name;
  };

  void Byte(unsigned char ch);
  void EndRegular();
  void EndName();
  void EndString();
  void Push(Operand operand);
  void Operator(std::string_view op);
  void StringByte(char ch);
  void EndGroup();
  void InlineValue(const Operand& value);
  void EndInlineImage();
  bool Number(std::string_view text, double& value) const;

  ContentSink& sink_;
  ContentBudget& budget_;
  ContentSummary summary_;
  State state_ = State::kIdle;
  std::string token_;
  int literalDepth_ = 0;
  int hexNibble_ = -1;     // a hex string's half byte, or an escape's octal value so far
  int escapeDigits_ = 0;
  bool closing_ = false;   // one '>' seen: a second ends a dictionary
  int arrayDepth_ = 0;   // inside [ ] (TJ's strings) and << >> (BDC's properties)
  std::vector<Operand> operands_;
  std::string pendingText_;  // strings since the last operator
  Matrix ctm_;
  std::vector<Matrix> saved_;
  std::size_t lostStates_ = 0;
  // Inline image: its dictionary between BI and ID, then its data up to a delimited "EI".
  bool inInline_ = false;
  InlineImage inline_;
  std::string inlineKey_;
  bool haveKey_ = false;
  std::vector<std::string> inlineArray_;
  int imageDataState_ = 0;  // 1: after a blank, 2: blank E, 3: blank EI
};

}  // namespace pelmora::preflight
