#include "naming/format.hpp"

#include "metadata/faults.hpp"
#include "metadata/text.hpp"

namespace naming {

namespace {

std::string bracketed(int row) {
  return std::string("[") + FormatElementTable[static_cast<size_t>(row)].Keyword + "]";
}

// Longest "[" + keyword + "]" of the table: longer words cannot match.
constexpr size_t longestElementWord() {
  size_t longest = 0;
  for (const FormatElement& e : FormatElementTable) {
    size_t n = std::string_view(e.Keyword).size() + 2;
    if (n > longest) longest = n;
  }
  return longest;
}

// Code of the first row whose bracketed keyword equals the word, letter case
// ignored; 0 when none does.
int32_t matchElement(std::string_view word) {
  if (word.size() > longestElementWord()) return 0;
  for (const FormatElement& e : FormatElementTable) {
    std::string_view keyword(e.Keyword);
    if (word.size() == keyword.size() + 2 && word.back() == ']' &&
        meta::equalsIgnoreCase(word.substr(1, keyword.size()), keyword))
      return e.ElementCode;
  }
  return 0;
}

// Fills the parse result, refusing anything past its capacity: once the 256th
// item is in, the rest of the text is dropped.
class ItemWriter {
 public:
  explicit ItemWriter(TParsedFormat& out) : out_(out) {}

  bool full() const { return out_.ItemCount >= kMaxItems; }

  void flushLiteral(std::string& run) {
    if (run.empty() || full()) return;
    out_.Literals[static_cast<size_t>(literals_)] = std::move(run);
    out_.Items[static_cast<size_t>(out_.ItemCount++)] = -literals_;
    ++literals_;
    run.clear();
  }

  void element(int32_t code) {
    if (!full()) out_.Items[static_cast<size_t>(out_.ItemCount++)] = code;
  }

 private:
  TParsedFormat& out_;
  int32_t literals_ = 0;
};

}  // namespace

const std::string& DefaultFormat() {
  static const std::string text = bracketed(rowIYEAR) + bracketed(rowIMONTH) + bracketed(rowIDAY) + "-" +
                                  bracketed(rowIHOUR) + bracketed(rowIMIN) + bracketed(rowISEC) + "-" +
                                  bracketed(rowNUMBER) + bracketed(rowTEXT) + bracketed(rowEXT);
  return text;
}

int ElementRowOf(int32_t code) {
  for (size_t row = 0; row < FormatElementTable.size(); ++row)
    if (FormatElementTable[row].ElementCode == code) return static_cast<int>(row);
  throw meta::InternalError("Tag non trouvé", "Principale", 240);
}

void ParseFormat(std::string_view text, TParsedFormat& out) {
  for (std::string& literal : out.Literals) literal.clear();
  out.Items.fill(0);
  out.ItemCount = 0;

  ItemWriter writer(out);
  std::string run;
  size_t p = 0;
  while (p < text.size() && !writer.full()) {
    if (text[p] != '[') {
      run += text[p++];
      continue;
    }
    if (p + 1 < text.size() && text[p + 1] == '[') {  // "[[" stands for a literal "["
      run += '[';
      p += 2;
      continue;
    }
    // A bracketed word runs to the first "]" or the end of the text; a "["
    // inside it is an ordinary character.
    size_t close = text.find(']', p + 1);
    size_t end = close == std::string_view::npos ? text.size() : close + 1;
    std::string_view word = text.substr(p, end - p);
    p = end;
    if (int32_t code = matchElement(word)) {
      writer.flushLiteral(run);
      writer.element(code);
    } else {
      run += word;
    }
  }
  writer.flushLiteral(run);
}

}  // namespace naming
