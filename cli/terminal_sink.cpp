#include "cli/terminal_sink.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace cli {

TerminalMode detectMode(std::FILE* out, ColourChoice choice, bool lineFeedOnly) {
  TerminalMode mode;
  mode.lineFeedOnly = lineFeedOnly;
  const bool terminal = ::isatty(::fileno(out)) == 1;
  mode.safeText = terminal;
  switch (choice) {
    case ColourChoice::always:
      mode.colour = true;
      break;
    case ColourChoice::never:
      mode.colour = false;
      break;
    case ColourChoice::automatic: {
      const char* noColour = std::getenv("NO_COLOR");
      mode.colour = terminal && !(noColour && noColour[0]);
      break;
    }
  }
  return mode;
}

std::string ansiParameters(const output::TextStyle& style) {
  std::string p;
  auto add = [&p](const std::string& code) {
    if (!p.empty()) p += ';';
    p += code;
  };
  if (style.bold) add("1");
  if (style.italic) add("3");
  const output::Rgb c = style.colour;
  // The log's few colours map onto the terminal's own palette, so that they
  // stay readable on dark and light backgrounds; black is the default colour.
  if (c == output::kBlack) {
  } else if (c == output::kNavy) {
    add("34");
  } else if (c == output::kBlue) {
    add("94");
  } else if (c == output::kRed) {
    add("91");
  } else if (c == output::kMaroon) {
    add("31");
  } else if (c == output::kGreen) {
    add("32");
  } else {
    add("38;2;" + std::to_string(c.r) + ";" + std::to_string(c.g) + ";" + std::to_string(c.b));
  }
  return p;
}

void TerminalSink::noteFailure() {
  if (failed_) return;
  failed_ = true;
  error_ = errno ? errno : EIO;
}

void TerminalSink::put(const std::string& bytes) {
  if (failed_ || bytes.empty()) return;
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), out_) != bytes.size() || std::ferror(out_)) noteFailure();
}

void TerminalSink::flush() {
  if (failed_) return;
  errno = 0;
  if (std::fflush(out_) != 0 || std::ferror(out_)) noteFailure();
}

bool TerminalSink::finish() {
  flush();
  return good();
}

void TerminalSink::WriteRich(const std::string& text, const output::TextStyle& style) {
  std::string& plain = plain_;  // its room is reused from piece to piece
  plain.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r' && mode_.lineFeedOnly && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (mode_.safeText && (c < 0x20 || c == 0x7F) && c != '\t' && c != '\n' && c != '\r') {
      plain += '?';
      continue;
    }
    plain += static_cast<char>(c);
  }
  putStyled(plain, style);
  if (mode_.flushLines && plain.find('\n') != std::string::npos) flush();
}

void TerminalSink::putStyled(const std::string& plain, const output::TextStyle& style) {
  const std::string params = mode_.colour ? ansiParameters(style) : std::string();
  if (params.empty()) {
    put(plain);
    return;
  }
  // Attributes around each line's text only, so that a line end never carries
  // a colour into the next line.
  const std::string on = "\x1b[" + params + "m", off = "\x1b[0m";
  size_t start = 0;
  while (start <= plain.size()) {
    size_t end = plain.find_first_of("\r\n", start);
    if (end == std::string::npos) end = plain.size();
    if (end > start) put(on + plain.substr(start, end - start) + off);
    size_t next = end;
    while (next < plain.size() && (plain[next] == '\r' || plain[next] == '\n')) ++next;
    put(plain.substr(end, next - end));
    if (next >= plain.size()) break;
    start = next;
  }
}

bool TerminalSink::good() const { return !failed_ && std::ferror(out_) == 0; }

}  // namespace cli
