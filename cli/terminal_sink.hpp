#pragma once
// Output of the command line: the report, the name pane and the batch log on
// a terminal (bold, italic and colours as ANSI codes, sizes and pitch
// dropped) or as plain text into a pipe or a file.
#include <cstdio>
#include <string>

#include "output/output_sink.hpp"

namespace cli {

enum class ColourChoice { automatic, always, never };

struct TerminalMode {
  bool colour = false;      // ANSI attributes around each piece
  bool safeText = false;    // control characters from the files shown as '?'
  bool lineFeedOnly = true; // CR LF written as LF
  bool flushLines = false;  // the stream flushed after each piece that ends a line
};

// Colour when the stream is a terminal and NO_COLOR is unset (or when asked
// for); control characters are neutralised whenever the stream is a terminal,
// since file contents must not drive the terminal.
TerminalMode detectMode(std::FILE* out, ColourChoice choice, bool lineFeedOnly);

class TerminalSink final : public naming::OutputSink {
 public:
  TerminalSink(std::FILE* out, TerminalMode mode) : out_(out), mode_(mode) {}
  void WriteRich(const std::string& text, const naming::TextStyle& style) override;
  // False when anything could not be written.
  bool good() const;

 private:
  void put(const std::string& bytes);
  void putStyled(const std::string& plain, const naming::TextStyle& style);
  std::FILE* out_;
  TerminalMode mode_;
  std::string plain_;  // the piece being written, as it goes out
};

// The SGR parameters of a style ("1;32"), empty for plain black text.
std::string ansiParameters(const naming::TextStyle& style);

}  // namespace cli
