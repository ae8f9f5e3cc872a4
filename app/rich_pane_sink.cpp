#include "app/rich_pane_sink.hpp"

#include <QColor>
#include <QStringDecoder>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <array>

namespace app {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned
// bytes keep their C1 code points.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromCp1252(const std::string& bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  for (unsigned char c : bytes) out += QChar(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : char16_t(c));
  return out;
}

}  // namespace

QString decodeReportText(const std::string& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (!utf8.hasError()) return text;
  return fromCp1252(bytes);
}

namespace {

// A piece at the cursor, with its own attributes only.
void insertPiece(QTextCursor& cursor, const QString& paneFamily, const std::string& text,
                 const output::TextStyle& style) {
  QString piece = decodeReportText(text);
  piece.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  piece.replace(u'\r', u'\n');

  QTextCharFormat format;
  format.setFontFamilies({style.fixed ? QString::fromLatin1(kFixedFontFamily) : paneFamily});
  format.setFontFixedPitch(style.fixed);
  format.setFontStyleHint(style.fixed ? QFont::TypeWriter : QFont::AnyStyle);
  format.setFontPointSize(style.size);
  format.setFontWeight(style.bold ? QFont::Bold : QFont::Normal);
  format.setFontItalic(style.italic);
  format.setForeground(QColor(style.colour.r, style.colour.g, style.colour.b));
  cursor.insertText(piece, format);
}

}  // namespace

RichPaneSink::RichPaneSink(QTextEdit* pane) : pane_(pane) {}

void RichPaneSink::WriteRich(const std::string& text, const output::TextStyle& style) {
  QTextCursor cursor(pane_->document());
  cursor.movePosition(QTextCursor::End);
  insertPiece(cursor, pane_->font().family(), text, style);
}

BufferedPaneSink::BufferedPaneSink(QTextEdit* pane) : pane_(pane) {}

BufferedPaneSink::~BufferedPaneSink() { flush(); }

void BufferedPaneSink::WriteRich(const std::string& text, const output::TextStyle& style) {
  pieces_.push_back({text, style});
}

void BufferedPaneSink::flush() {
  if (pieces_.empty()) return;
  QTextCursor cursor(pane_->document());
  cursor.movePosition(QTextCursor::End);
  const QString family = pane_->font().family();
  cursor.beginEditBlock();
  for (const output::RecordingSink::Piece& piece : pieces_)
    insertPiece(cursor, family, piece.text, piece.style);
  cursor.endEditBlock();
  pieces_.clear();
}

}  // namespace app
