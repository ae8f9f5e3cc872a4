#pragma once
// Output primitives shared by the report and the batch log: pieces of text
// with a style, written onto a sink (a rich-text pane, a terminal, a companion
// text file, or a recording in tests). The library depends on nothing of the
// program.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace output {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kNavy{0, 0, 128};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 128, 0};
inline constexpr Rgb kMaroon{128, 0, 0};

struct TextStyle {
  bool bold = false;
  bool italic = false;
  int size = 8;  // points
  Rgb colour = kBlack;
  bool fixed = false;  // fixed pitch ("Courier New")
  friend bool operator==(const TextStyle&, const TextStyle&) = default;
};

inline TextStyle styleOf(bool bold, bool italic, int size, Rgb colour, bool fixed = false) {
  return TextStyle{bold, italic, size, colour, fixed};
}

// An input/output failure while writing a companion text file.
struct IoFault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class OutputSink {
 public:
  virtual ~OutputSink() = default;
  // The only primitive that writes: the text as it stands, no line end added.
  virtual void WriteRich(const std::string& text, const TextStyle& style) = 0;
};

inline constexpr const char* kLineEnd = "\r\n";

void WriteLine(OutputSink& sink, const std::string& text, const TextStyle& style);
// An empty line, the title, an empty line: bold 14 navy.
void WriteTitle(OutputSink& sink, const std::string& text);
// The same shape, bold 12 blue.
void WriteSubtitle(OutputSink& sink, const std::string& text);
// A body line of the report pane: regular 8 black.
void WriteBody(OutputSink& sink, const std::string& text);

class NullSink final : public OutputSink {
 public:
  void WriteRich(const std::string&, const TextStyle&) override {}
};

// Keeps every piece with its style (tests, and callers that replay output).
class RecordingSink final : public OutputSink {
 public:
  struct Piece {
    std::string text;
    TextStyle style;
  };
  std::vector<Piece> pieces;
  void WriteRich(const std::string& text, const TextStyle& style) override {
    pieces.push_back({text, style});
  }
  std::string text() const;  // all pieces joined
};

// A sink that ends in a file: close() flushes and closes, raising IoFault on
// failure.
class CompanionSink : public OutputSink {
 public:
  // The text is complete: it is written out, and a journal records it, but it
  // does not take its name yet (close() does). Optional before close().
  virtual void seal() {}
  virtual void close() = 0;
};

}  // namespace output
