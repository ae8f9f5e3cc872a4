#include "naming/output_sink.hpp"

#include <cerrno>
#include <cstring>

namespace naming {

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

namespace {
std::string reason() {
  int e = errno;
  return e ? std::string(std::strerror(e)) : std::string("input/output error");
}
}  // namespace

TextFileSink::TextFileSink(const std::string& path) : path_(path) {
  errno = 0;
  out_.open(path, std::ios::binary | std::ios::out | std::ios::trunc);
  if (!out_) throw IoFault("Impossible de créer " + path + " (" + reason() + ")");
}

TextFileSink::~TextFileSink() = default;

void TextFileSink::WriteRich(const std::string& text, const TextStyle&) {
  errno = 0;
  out_.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out_) throw IoFault("Erreur d'écriture dans " + path_ + " (" + reason() + ")");
}

void TextFileSink::close() {
  if (!out_.is_open()) return;
  errno = 0;
  out_.flush();
  bool ok = static_cast<bool>(out_);
  out_.close();
  if (!ok || out_.fail()) throw IoFault("Erreur d'écriture dans " + path_ + " (" + reason() + ")");
}

}  // namespace naming
