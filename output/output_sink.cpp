#include "output/output_sink.hpp"

namespace output {

void WriteLine(OutputSink& sink, const std::string& text, const TextStyle& style) {
  sink.WriteRich(text + kLineEnd, style);
}

void WriteTitle(OutputSink& sink, const std::string& text) {
  sink.WriteRich(std::string(kLineEnd) + text + kLineEnd + kLineEnd, styleOf(true, false, 14, kNavy));
}

void WriteSubtitle(OutputSink& sink, const std::string& text) {
  sink.WriteRich(std::string(kLineEnd) + text + kLineEnd + kLineEnd, styleOf(true, false, 12, kBlue));
}

void WriteBody(OutputSink& sink, const std::string& text) {
  WriteLine(sink, text, styleOf(false, false, 8, kBlack));
}

std::string RecordingSink::text() const {
  std::string all;
  for (const Piece& p : pieces) all += p.text;
  return all;
}

}  // namespace output
