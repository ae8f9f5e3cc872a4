// The walk of one maker-note directory. The maker's private directory has the
// same 12-byte entries as a TIFF directory, but it sits inside the MakerNote
// value and its offsets count from a point that depends on the maker, so the
// walk reads the block itself and is told where the offsets start.
#include <cstdint>
#include <utility>

#include "metadata/exif_parser.hpp"
#include "metadata/faults.hpp"
#include "metadata/image_reader.hpp"
#include "metadata/text.hpp"

namespace meta {

namespace {

// Puts the maker-note block into Buffer for the walk and gives the previous
// bytes back on every exit, faults included: the directory parser goes on
// reading the EXIF segment right after the MakerNote entry.
class BufferSwap {
 public:
  BufferSwap(tEndInd& reader, const ByteString& block) : reader_(reader), saved_(std::move(reader.Buffer)) {
    reader_.Buffer = block;
  }
  ~BufferSwap() { reader_.Buffer = std::move(saved_); }
  BufferSwap(const BufferSwap&) = delete;
  BufferSwap& operator=(const BufferSwap&) = delete;

 private:
  tEndInd& reader_;
  tByteStore saved_;
};

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
std::string_view lastRowCodes(const std::vector<TTagEntry>& table, uint16_t tag) {
  for (size_t i = table.size(); i-- > 0;)
    if (table[i].Tag == tag) return table[i].Codes;
  return {};
}

}  // namespace

void TImageInfo::ParseMakerNoteDirectory(const ByteString& block, const std::vector<TTagEntry>& table,
                                         int32_t p4, int32_t p5, int32_t p6) {
  BufferSwap swap(*this, block);
  try {
    // Directory at block position p4 + 1; a stored offset X lies at X + B.
    const int64_t dirPos = int64_t{p4} + 1;
    const int64_t offsetBase = int64_t{p4} - p5 + 2;
    const int32_t count = Read16(dirPos);
    for (int32_t i = 0; i < count; ++i) {
      const tDirectoryEntry e = ReadDirectoryEntry(*this, dirPos + 2 + 12 * int64_t{i});
      if (e.Size == 0) continue;
      const uint16_t tag = e.Tag;
      const int32_t type = e.Type;
      const int64_t size = e.Size;
      const int64_t offset = e.Offset;
      const int64_t valuePos = size > 4 ? offset + offsetBase : e.Field;
      // A value that does not lie wholly in the block is looked for in the
      // EXIF data the block came from.
      ByteString raw;
      if (rangeInside(Buffer, valuePos, size))
        raw = copyClamped(Buffer, valuePos, size);
      else if (Owner)
        raw = copyClamped(Owner->Buffer, int64_t{p6} + offset, size);

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
          text = RenderValue(raw, type, lastRowCodes(table, tag), row.Template, BigEndian);
        } catch (const DecodeFault&) {  // an unrenderable value is shown as its bytes
          text = quoted(raw);
        }
      }
      // The Canon decoders add their sub-value rows here, ahead of the row itself.
      if (row.Callback) row.Callback(text, *this);

      TTagEntry stored = row;
      stored.Group = 1;
      stored.ValueType = static_cast<uint16_t>(type);
      stored.Data = dottedControls(std::move(text));
      stored.Raw = std::move(raw);
      AddTag(stored);
    }
  } catch (const DecodeFault& fault) {
    // The rows stored so far stay; the fault is reported, not raised.
    if (Owner) Owner->StatusText = std::string("Error Detected = ") + fault.what();
  }
}

}  // namespace meta
