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
  bool colour = false;       // ANSI attributes around each piece
  bool safeText = false;     // control characters from the files shown as '?'
  bool lineFeedOnly = true;  // CR LF written as LF
  bool flushLines = false;   // the stream flushed after each piece that ends a line
};

// Colour when the stream is a terminal and NO_COLOR is unset (or when asked
// for); control characters are neutralised whenever the stream is a terminal,
// since file contents must not drive the terminal.
TerminalMode detectMode(std::FILE* out, ColourChoice choice, bool lineFeedOnly);

class TerminalSink final : public output::OutputSink {
 public:
  TerminalSink(std::FILE* out, TerminalMode mode) : out_(out), mode_(mode) {}
  // After the first write that fails (a reader that went away, a full
  // disk), nothing more is written: the work that writes goes on.
  void WriteRich(const std::string& text, const output::TextStyle& style) override;
  // Writes out what the stream still holds; false when anything could not be written.
  bool finish();
  // False when anything could not be written.
  bool good() const;
  // The system's error code of the first write that failed, or 0.
  int error() const { return error_; }

 private:
  void put(const std::string& bytes);
  void putStyled(const std::string& plain, const output::TextStyle& style);
  void flush();
  void noteFailure();
  std::FILE* out_;
  TerminalMode mode_;
  std::string plain_;  // the piece being written, as it goes out
  bool failed_ = false;
  int error_ = 0;
};

// The SGR parameters of a style ("1;32"), empty for plain black text.
std::string ansiParameters(const output::TextStyle& style);

}  // namespace cli
