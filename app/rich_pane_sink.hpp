#pragma once
// The report and the batch log write styled pieces of 8-bit text; this sink
// appends them to a rich-text pane with their own font, size, colour and
// style, so no piece's attributes spill into the next one.
#include <QString>
#include <string>
#include <vector>

#include "output/output_sink.hpp"

class QTextEdit;

namespace app {

// Report text as the user should read it: UTF-8 when the bytes are valid
// UTF-8, else Windows-1252 (the code page of texts stored in older files).
QString decodeReportText(const std::string& bytes);

// Font of fixed-pitch pieces (padded keywords of the element table).
inline constexpr const char* kFixedFontFamily = "Courier New";

class RichPaneSink final : public output::OutputSink {
 public:
  // Pieces that are not fixed take the pane's own font family.
  explicit RichPaneSink(QTextEdit* pane);
  // Appends at the end of the pane; CR LF (or a lone CR or LF) starts a new
  // paragraph.
  void WriteRich(const std::string& text, const output::TextStyle& style) override;

 private:
  QTextEdit* pane_;
};

// The same pieces, kept until flush() puts them all at the end of the pane in
// one edit of its document: a long log costs one layout of the pane per
// flush, not one per piece. The pane's text is exactly what RichPaneSink
// would have written.
class BufferedPaneSink final : public output::OutputSink {
 public:
  explicit BufferedPaneSink(QTextEdit* pane);
  ~BufferedPaneSink() override;  // flushes what is left
  void WriteRich(const std::string& text, const output::TextStyle& style) override;
  void flush();
  // Forgets the pieces not yet flushed (the pane was cleared meanwhile).
  void discard() { pieces_.clear(); }

 private:
  QTextEdit* pane_;
  std::vector<output::RecordingSink::Piece> pieces_;
};

}  // namespace app
