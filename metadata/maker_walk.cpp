// The walk of one maker-note directory. The maker's private directory has the
// same 12-byte entries as a TIFF directory, but it sits inside the MakerNote
// value and its offsets count from a point that depends on the maker, so the
// walk reads the note with a reader of its own and is told where the offsets
// start.
#include <cstdint>
#include <utility>

#include "metadata/faults.hpp"
#include "metadata/maker_notes.hpp"
#include "metadata/text.hpp"
#include "metadata/tiff_directory.hpp"

namespace meta {

namespace {

std::string quoted(std::string_view bytes) { return "\"" + std::string(bytes) + "\""; }

std::string beforeFirstZero(const ByteString& raw) { return raw.substr(0, raw.find('\0')); }

// Maker-note values end up in the panes and in companion files: control bytes
// (NUL padding above all) are shown as dots, whatever the length.
std::string dottedControls(std::string text) {
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 32) c = '.';
  return text;
}

int32_t firstRowIndex(const std::vector<TTagEntry>& table, uint16_t tag) {
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i].Tag == tag) return static_cast<int32_t>(i);
  return -1;
}

// The code list of a tag is taken from the last row that carries the tag.
const tCodeList& lastRowCodes(const std::vector<TTagEntry>& table, uint16_t tag) {
  static const tCodeList none;
  for (size_t i = table.size(); i-- > 0;)
    if (table[i].Tag == tag) return table[i].Codes;
  return none;
}

}  // namespace

void ParseMakerNoteDirectory(tMakerNoteContext& context, bool bigEndian, const std::vector<TTagEntry>& table,
                             int32_t p4, int32_t p5, int32_t p6) {
  tEndInd note;
  note.BigEndian = bigEndian;
  note.Buffer = context.Note;
  try {
    // Directory at note position p4 + 1; a stored offset X lies at X + B.
    const int64_t dirPos = int64_t{p4} + 1;
    const int64_t offsetBase = int64_t{p4} - p5 + 2;
    const int32_t count = note.Read16(dirPos);
    for (int32_t i = 0; i < count; ++i) {
      const tDirectoryEntry e = ReadDirectoryEntry(note, dirPos + 2 + 12 * int64_t{i});
      if (e.Size == 0) continue;
      const uint16_t tag = e.Tag;
      const int32_t type = e.Type;
      const int64_t size = e.Size;
      const int64_t offset = e.Offset;
      const int64_t valuePos = size > 4 ? offset + offsetBase : e.Field;
      // A value that does not lie wholly in the note is looked for in the
      // EXIF data the note came from.
      ByteString raw;
      if (rangeInside(note.Buffer, valuePos, size))
        raw = copyClamped(note.Buffer, valuePos, size);
      else if (context.OwnerBytes)
        raw = copyClamped(*context.OwnerBytes, int64_t{p6} + offset, size);

      // Tags outside the table are not kept, nor those marked "Skip".
      const int32_t k = firstRowIndex(table, tag);
      if (k < 0) continue;
      const TTagEntry& row = table[static_cast<size_t>(k)];
      if (equalsIgnoreCase(row.Desc, "SKIP")) continue;

      std::string text;
      if (type == ASCII) {
        text = quoted(beforeFirstZero(raw));
      } else if (type == UNDEFINED) {
        text = quoted(raw);
      } else {
        try {
          text = RenderValue(raw, type, lastRowCodes(table, tag), row.Template, bigEndian);
        } catch (const DecodeFault&) {  // an unrenderable value is shown as its bytes
          text = quoted(raw);
        }
      }
      // The Canon decoders add their sub-value rows here, ahead of the row itself.
      if (row.Callback) row.Callback(text, context.Rows);

      // A row of tag 0 is not kept, as no stored row is (TImageInfo::AddTag).
      if (row.Tag == 0) continue;
      TTagEntry stored = row;
      stored.Group = 1;
      stored.ValueType = static_cast<uint16_t>(type);
      stored.Data = dottedControls(std::move(text));
      stored.Raw = std::move(raw);
      context.Rows.push_back(std::move(stored));
    }
  } catch (const DecodeFault& fault) {
    // The rows stored so far stay; the fault is reported, not raised.
    if (context.StatusText) *context.StatusText = std::string("Error Detected = ") + fault.what();
  }
}

}  // namespace meta
