// The TIFF directory walk: entries become rows of the decoded tag lists, the
// photo facts are captured on the way, and the Exif, GPS, interoperability
// and SubIFD pointers are followed depth-first in entry order.
#include "metadata/exif_parser.hpp"

#include <algorithm>
#include <limits>

#include "metadata/faults.hpp"
#include "metadata/image_reader.hpp"
#include "metadata/maker_notes.hpp"

namespace meta {

namespace {

constexpr uint16_t kTagImageWidth = 0x0100;
constexpr uint16_t kTagImageLength = 0x0101;
constexpr uint16_t kTagCompression = 0x0103;
constexpr uint16_t kTagMake = 0x010F;
constexpr uint16_t kTagModel = 0x0110;
constexpr uint16_t kTagDateTime = 0x0132;
constexpr uint16_t kTagSubIfds = 0x014A;
constexpr uint16_t kTagExifOffset = 0x8769;
constexpr uint16_t kTagGpsInfo = 0x8825;
constexpr uint16_t kTagExifVersion = 0x9000;
constexpr uint16_t kTagDateTimeOriginal = 0x9003;
constexpr uint16_t kTagFlash = 0x9209;
constexpr uint16_t kTagMakerNote = 0x927C;
constexpr uint16_t kTagUserComment = 0x9286;
constexpr uint16_t kTagExifImageWidth = 0xA002;
constexpr uint16_t kTagExifImageLength = 0xA003;
constexpr uint16_t kTagInteropOffset = 0xA005;

// The entries whose values the facts or the walk itself need (see captureFacts).
bool feedsFacts(uint16_t tag) {
  switch (tag) {
    case kTagImageWidth:
    case kTagExifImageWidth:
    case kTagImageLength:
    case kTagExifImageLength:
    case kTagMake:
    case kTagModel:
    case kTagDateTime:
    case kTagDateTimeOriginal:
    case kTagExifVersion:
    case kTagFlash:
    case kTagSubIfds:
    case kTagExifOffset:
    case kTagInteropOffset:
    case kTagGpsInfo:
      return true;
    default:
      return false;
  }
}

// The entries among those whose facts are taken from the value's text.
bool feedsFactsAsText(uint16_t tag) {
  return tag == kTagMake || tag == kTagModel || tag == kTagDateTime || tag == kTagDateTimeOriginal;
}

// Real files hold a handful of directories. A file whose directories point at
// each other many times over (not a cycle, but a lattice) would otherwise
// cost an exponential number of walks, so nested walks stop after this many.
constexpr size_t kMaxNestedWalks = 1000;

// Text of an ASCII value: its bytes up to the first zero byte, all of them
// when it holds none (some cameras leave the terminator out of the count).
std::string asciiText(const ByteString& raw) { return raw.substr(0, std::min(raw.find('\0'), raw.size())); }

// Text of an UNDEFINED value: quoted, cut before its first zero byte.
std::string undefinedText(const ByteString& raw) { return '"' + asciiText(raw) + '"'; }

[[noreturn]] void refusePosition(int64_t position) {
  throw DecodeFault("Directory offset out of range: " + std::to_string(position));
}

inline int32_t toPosition(int64_t position) {
  if (position < std::numeric_limits<int32_t>::min() || position > std::numeric_limits<int32_t>::max())
    refusePosition(position);
  return static_cast<int32_t>(position);
}

// A value's position as rows keep it: within 0..INT32_MAX.
int32_t positionOf(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, 0, std::numeric_limits<int32_t>::max()));
}

// Keeps the positions of the directories being walked, so that a pointer back
// into one of them is refused instead of recursing for ever.
class WalkPathEntry {
 public:
  WalkPathEntry(std::vector<int32_t>& path, int32_t position) : path_(path) { path_.push_back(position); }
  ~WalkPathEntry() { path_.pop_back(); }
  WalkPathEntry(const WalkPathEntry&) = delete;
  WalkPathEntry& operator=(const WalkPathEntry&) = delete;

 private:
  std::vector<int32_t>& path_;
};

}  // namespace

tDirectoryEntry ReadDirectoryEntry(const tEndInd& reader, int64_t position) {
  tDirectoryEntry e;
  // Nearly always the twelve bytes lie together in memory and are decoded
  // there; otherwise field by field, each read faulting where it would.
  const auto* at = reinterpret_cast<const unsigned char*>(reader.Buffer.heldAt(position, 12));
  const bool big = reader.BigEndian;
  auto get16 = [&](int i) { return big ? at[i] << 8 | at[i + 1] : at[i + 1] << 8 | at[i]; };
  auto get32 = [&](int i) {
    return static_cast<int32_t>(static_cast<uint32_t>(get16(big ? i : i + 2)) << 16 |
                                static_cast<uint32_t>(get16(big ? i + 2 : i)));
  };
  e.Tag = static_cast<uint16_t>(at ? get16(0) : reader.Read16(position));
  e.Type = at ? get16(2) : reader.Read16(position + 2);
  e.Count = at ? get32(4) : reader.Read32(position + 4);
  if (e.Count < 0) throw DecodeFault("Range check error: negative element count");
  e.Size = int64_t{typeSizeOf(e.Type)} * e.Count;
  e.Field = position + 8;
  if (e.Size > 4) {
    e.Offset = at ? get32(8) : reader.Read32(position + 8);
    if (e.Offset < 0) throw DecodeFault("Range check error: negative value offset");
  }
  return e;
}

TImageInfo::TImageInfo(TimgData* owner) : Owner(owner) { CompleteDescriptions(); }

TImageInfo::~TImageInfo() = default;

void TImageInfo::setOwnerStatus(const std::string& text) {
  if (Owner) Owner->StatusText = text;
}

void TImageInfo::ParseDirectory(int32_t position, int32_t base, int32_t kind, int32_t bound) {
  if (std::find(walkPath_.begin(), walkPath_.end(), position) != walkPath_.end()) return;
  WalkPathEntry onPath(walkPath_, position);

  // Layout: count N (2 bytes), N entries of 12 bytes, next-directory offset (4).
  const int64_t n = Read16(position);
  const int64_t nextPos = int64_t{position} + 2 + 12 * n;

  // Step 2, size check. Both sides hold the position, so what is compared is
  // the directory's size against base + bound.
  if (2 + 12 * n > int64_t{base} + bound) {
    setOwnerStatus("Illegally sized directory");
    return;
  }

  // Step 3, preview position: the first main directory walked that has a
  // next directory fixes it (IFD0 pointing to IFD1 in a normal file). TIFF
  // files carry no embedded preview this way.
  if (kind == kMainDirectory && PreviewStart == 0 && !FromTiff) {
    int32_t next = Read32(toPosition(nextPos));
    if (next < 0) throw DecodeFault("Negative next-directory offset");
    PreviewStart = next;
    PreviewLength = toPosition(int64_t{base} + bound - next);
  }

  const WalkPlace place{base, kind, bound};
  for (int64_t i = 0; i < n; ++i) parseEntry(int64_t{position} + 2 + 12 * i, place);
}

// The text of a value as the tag's row renders it (step 7: a renderer that
// cannot convert its value leaves the text as it was, so one odd value does
// not cost the rest of the directory).
std::string TImageInfo::valueText(const TTagEntry& row, const ByteString& raw, int32_t type) {
  std::string text;
  if (type == ASCII) {
    text = asciiText(raw);
  } else if (type == UNDEFINED) {
    text = undefinedText(raw);
  } else {
    text = RenderValue(raw, type, row.Codes, row.Template, BigEndian);
  }
  if (row.Tag != 0 && row.Callback) {
    try {
      return row.Callback(text, Tags);
    } catch (const DecodeFault&) {
    }
  }
  return PrintableText(std::move(text));
}

void TImageInfo::parseEntry(int64_t position, const WalkPlace& place) {
  toPosition(position + 4);  // the entry's fields lie within 32-bit positions
  const tDirectoryEntry entry = ReadDirectoryEntry(*this, position);
  if (entry.Size == 0) return;
  const int64_t v = entry.Size > 4 ? int64_t{entry.Offset} + place.base : entry.Field;
  // Nothing after this point can fault for an entry that gives no fact
  // (the renderers are a boundary of their own).
  if (!FactsOnly) {
    storeEntry(entry, v, place);
  } else if (place.kind == kPreviewDirectory || feedsFacts(entry.Tag)) {
    // The facts read from a value's text are the maker, the model and the
    // date; the others come from its bytes.
    const EntryValue value{entry, copyClamped(Buffer, v, entry.Size), positionOf(v)};
    const bool textFact = place.kind != kPreviewDirectory && feedsFactsAsText(entry.Tag);
    captureFacts(
        value, place,
        textFact ? valueText(FindRowOf(entry.Tag, place.kind), value.raw, entry.Type) : std::string());
  }
}

void TImageInfo::storeEntry(const tDirectoryEntry& entry, int64_t v, const WalkPlace& place) {
  const EntryValue value{entry, copyClamped(Buffer, v, entry.Size), positionOf(v)};
  const TTagEntry& found = FindRowOf(entry.Tag, place.kind);
  std::string text = valueText(found, value.raw, entry.Type);
  // Step 8: the 8-byte character-code prefix and the last byte dropped.
  if (entry.Tag == kTagUserComment)
    text = entry.Size - 1 > 8 ? trimText(copyClamped(value.raw, 9, entry.Size - 1 - 8)) : std::string();
  captureFacts(value, place, text);

  TTagEntry row = found;
  row.ValueType = static_cast<uint16_t>(entry.Type);
  row.Data = std::move(text);
  row.Raw = value.raw;
  row.RawPos = value.position;
  row.Size = static_cast<int32_t>(value.raw.size());
  row.Directory = place.kind == kGpsDirectory ? kRowGps
                  : inInteroperability_       ? kRowInteroperability
                                              : kRowExif;
  if (place.kind == kPreviewDirectory)
    AddPreviewTag(row);
  else
    AddTag(row);
}

void TImageInfo::captureFacts(const EntryValue& value, const WalkPlace& place, const std::string& text) {
  const uint16_t tag = value.entry.Tag;
  auto wholeValue = [&] { return roundToInt32(NumericValue(value.raw, value.entry.Type, BigEndian)); };

  // The preview directory describes the thumbnail, not the photo: it gives
  // the preview's compression and nothing else, and it leads nowhere.
  if (place.kind == kPreviewDirectory) {
    if (tag == kTagCompression) PreviewCompression = wholeValue();
    return;
  }

  switch (tag) {
    case kTagImageWidth:
    case kTagExifImageWidth:
      Width = wholeValue();
      break;
    case kTagImageLength:
    case kTagExifImageLength:
      Height = wholeValue();
      break;
    case kTagMake:
      CameraMake = text.substr(0, 32);
      break;
    case kTagModel:
      CameraModel = text.substr(0, 40);
      break;
    case kTagDateTime:
    case kTagDateTimeOriginal:
      DateTimeText = text.substr(0, 20);
      break;
    case kTagExifVersion:
      ExifVersion = value.raw.substr(0, 6);
      break;
    case kTagFlash:
      FlashValue = wholeValue();
      break;
    case kTagMakerNote:
      MakerNoteBytes = value.raw;
      MakerNotePos = value.position;
      if (!FactsOnly) MakerNoteDecoded = decodeMakerNote();
      break;
    case kTagSubIfds:
    case kTagExifOffset:
    case kTagInteropOffset:
    case kTagGpsInfo:
      followPointer(tag, value.position, place);
      break;
    default:
      break;
  }
}

void TImageInfo::followPointer(uint16_t tag, int32_t valuePos, const WalkPlace& place) {
  // A fault in a sub-directory ends that walk alone; the pointer entry is
  // stored and the calling directory goes on. Only the first offset of a
  // SubIFDs array is followed.
  if (nestedWalks_ >= kMaxNestedWalks) return;
  ++nestedWalks_;
  const int32_t subKind = tag == kTagGpsInfo ? kGpsDirectory : kMainDirectory;
  struct Below {  // marks the rows of an interoperability walk, whatever ends it
    bool& flag;
    bool was;
    ~Below() { flag = was; }
  } below{inInteroperability_, inInteroperability_};
  if (tag == kTagInteropOffset) inInteroperability_ = true;
  try {
    const int32_t sub = toPosition(int64_t{Read32(valuePos)} + place.base);
    ParseDirectory(sub, place.base, subKind, place.bound);
  } catch (const DecodeFault&) {
  }
}

void TImageInfo::ProcessThumbnail() {
  // The preview directory is walked after the read, for the report; a broken
  // preview directory keeps the rows decoded before the fault and no more.
  try {
    ParseDirectory(toPosition(int64_t{PreviewStart} + kJpegExifBase), kJpegExifBase, kPreviewDirectory,
                   toPosition(int64_t{PreviewLength} - 12));
  } catch (const DecodeFault&) {
  }
}

bool TImageInfo::decodeMakerNote() {
  tMakerNoteContext context{.CameraMake = CameraMake,
                            .CameraModel = CameraModel,
                            .ExifVersion = ExifVersion,
                            .FromTiff = FromTiff,
                            .BigEndian = BigEndian,
                            .Note = MakerNoteBytes,
                            .MakerNotePos = MakerNotePos,
                            .OwnerBytes = Owner ? &Owner->Buffer : nullptr,
                            .Rows = Tags,
                            .StatusText = Owner ? &Owner->StatusText : nullptr};
  return TmsInfo(context).DecodeMakerNote();
}

int32_t TImageInfo::AddTag(const TTagEntry& row) {
  if (row.Tag != 0) Tags.push_back(row);
  return TagCount() - 1;
}

int32_t TImageInfo::AddPreviewTag(const TTagEntry& row) {
  if (row.Tag != 0) PreviewTags.push_back(row);
  return PreviewTagCount() - 1;
}

int32_t TImageInfo::AddComputedTag(const std::string& name, const std::string& text, uint16_t valueType) {
  Tags.push_back(ComputedRow(name, text, valueType));
  return TagCount() - 1;
}

namespace {
bool nextInGroup(const std::vector<TTagEntry>& rows, size_t& cursor, int32_t group, TTagEntry& row) {
  row = TTagEntry{};
  while (cursor < rows.size() && rows[cursor].Group != group) ++cursor;
  if (cursor >= rows.size()) return false;
  row = rows[cursor++];
  return true;
}
}  // namespace

bool TImageInfo::NextTag(int32_t group, TTagEntry& row) { return nextInGroup(Tags, TagCursor, group, row); }

bool TImageInfo::NextThumbnailTag(int32_t group, TTagEntry& row) {
  return nextInGroup(PreviewTags, PreviewTagCursor, group, row);
}

}  // namespace meta
