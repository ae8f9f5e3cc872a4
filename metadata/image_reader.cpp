// TimgData: opens one image file, keeps the JPEG segments that carry metadata
// (or the head of a TIFF file) and hands them to the decoders.
#include "metadata/image_reader.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

#include "metadata/faults.hpp"
#include "metadata/paths.hpp"

namespace meta {

namespace {

constexpr int kMarkerEndOfImage = 0xD9;
constexpr int kMarkerStartOfScan = 0xDA;
constexpr int kMarkerApp1 = 0xE1;
constexpr int kMarkerApp13 = 0xED;
constexpr int kMarkerComment = 0xFE;

// When a TIFF header names a directory beyond the fixed read, the buffer
// reaches this far past the directory, so that its entries and the values
// written after it are inside.
constexpr int64_t kTiffDirectoryReach = 64 * 1024;

// Sets ReadingTiff for the duration of a TIFF read, whatever way it ends.
class ReadingTiffFlag {
 public:
  explicit ReadingTiffFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~ReadingTiffFlag() { flag_ = false; }
  ReadingTiffFlag(const ReadingTiffFlag&) = delete;
  ReadingTiffFlag& operator=(const ReadingTiffFlag&) = delete;

 private:
  bool& flag_;
};

// Reads a source from its start, in order, a byte at a time or a run of
// bytes, as the segment scan takes them, through `store`: a buffer whose
// room is reused from file to file (its first `length` bytes are the ones
// read; it never shrinks). With `keep`, they are every byte read, in order;
// otherwise the last read only.
class SequentialReader {
 public:
  SequentialReader(const tByteSource& source, ByteString& store, size_t& length, bool keep)
      : source_(source), store_(store), length_(length), keep_(keep) {
    length_ = 0;
  }

  bool get(int& byte) {
    if (next_ == length_ && !refill()) return false;
    byte = static_cast<unsigned char>(store_[next_++]);
    return true;
  }

  // Appends the next `count` bytes to `out`; false when the source ends
  // before them (what was there is appended).
  bool appendTo(ByteString& out, int64_t count) {
    while (count > 0) {
      if (next_ == length_ && !refill()) return false;
      const size_t n = std::min(static_cast<size_t>(count), length_ - next_);
      out.append(store_.data() + next_, n);
      next_ += n;
      count -= static_cast<int64_t>(n);
    }
    return true;
  }

 private:
  // Most photos have their metadata within the first 64 KiB: one read.
  static constexpr size_t kReadBytes = 64 * 1024;

  bool refill() {
    if (!keep_) length_ = next_ = 0;
    if (store_.size() < length_ + kReadBytes) store_.resize(length_ + kReadBytes);
    const int64_t n = source_.ReadAt(offset_, store_.data() + length_, static_cast<int64_t>(kReadBytes));
    if (n <= 0) return false;
    length_ += static_cast<size_t>(n);
    offset_ += n;
    return true;
  }

  const tByteSource& source_;
  ByteString& store_;
  size_t& length_;
  bool keep_;
  int64_t offset_ = 0;  // source offset of the byte after the stored ones
  size_t next_ = 0;     // index in the store of the next byte to give
};

// The next segment into `slot`: its marker code, its length field and its
// bytes (the two length bytes first, as in the file), in the room the slot
// keeps from file to file. False when the file ends first.
bool readSegment(SequentialReader& in, tSection& slot) {
  // Any run of 0xFF fill bytes is skipped; a byte other than 0xFF where a
  // marker was expected is itself taken as the code.
  int marker = 0xFF;
  do {
    if (!in.get(marker)) return false;
  } while (marker == 0xFF);

  // Every marker, the stand-alone ones included, is taken to carry a length
  // field.
  int hi = 0, lo = 0;
  if (!in.get(hi) || !in.get(lo)) return false;
  const int32_t length = hi * 256 + lo;
  if (length < 2) throw DecodeFault("Segment length " + std::to_string(length));
  slot.Bytes.clear();
  slot.Bytes.push_back(static_cast<char>(hi));
  slot.Bytes.push_back(static_cast<char>(lo));
  if (!in.appendTo(slot.Bytes, length - 2)) return false;
  slot.Marker = marker;
  slot.Length = length;
  return true;
}

bool isJpegExtension(const std::string& ext) { return ext == ".jpg" || ext == ".jpeg" || ext == ".jpe"; }
bool isTiffExtension(const std::string& ext) { return ext == ".tif" || ext == ".tiff" || ext == ".nef"; }

// First position (0-based) of `needle` in `hay`, or npos.
size_t findBytes(const ByteString& hay, std::string_view needle, size_t from = 0) {
  return hay.find(needle, from);
}

}  // namespace

TimgData::TimgData() { Reset(); }

TimgData::~TimgData() = default;

bool TimgData::ReadFile(const std::string& path) {
  Reset();
  std::shared_ptr<const tFileSource> file = tFileSource::Open(path, OpenError);
  if (!file) return false;
  SourcePath = path;
  FileTime = TDateTime::fromTimeT(file->ModifiedTime());
  FileBytes = file->Size();
  FileStamp = file->Stamp();

  const std::string ext = toLower(extensionOf(path));
  if (isJpegExtension(ext)) {
    keepBytes_ = FactsOnly;
    const bool ok = readSource(file, ImageKind::Jpeg);
    keepBytes_ = false;
    return ok;
  }
  if (isTiffExtension(ext)) return readSource(file, ImageKind::Tiff);
  StatusText = "Not an EXIF file";
  return false;
}

bool TimgData::ReadBytes(std::string_view bytes, ImageKind kind) {
  Reset();
  FileBytes = static_cast<int64_t>(bytes.size());
  return readSource(std::make_shared<tMemorySource>(bytes), kind);
}

bool TimgData::readSource(const std::shared_ptr<const tByteSource>& source, ImageKind kind) {
  bool ok = false;
  try {
    StatusText = "Not an EXIF file";
    ok = kind == ImageKind::Jpeg ? ReadJpeg(*source) : ReadTiff(source);
    // A header fault of the EXIF segment stays visible to the report and the
    // summaries; the texts of a walk that went on are not errors of the read.
    if (ok && !exifHeaderFault_) StatusText = "<none>";
  } catch (const DecodeFault&) {
    StatusText = "Illegal Exif construction";
  }
  // Everything is decoded by now: the source (the open file) is let go.
  Buffer.release();
  return ok;
}

void TimgData::Reset() {
  SegmentCount = 0;
  ExifSlot = IptcSlot = CommentSlot = nullptr;
  SourcePath.clear();
  StatusText.clear();
  OpenError.clear();
  FileTime = TDateTime{};
  FileBytes = 0;
  FileStamp = tFileStamp{};
  ExifInfo.reset();
  IptcInfo.reset();
  keptLength_ = 0;
  Buffer = tByteStore();
  BigEndian = false;
  exifHeaderFault_ = false;
}

void TimgData::DecodeFully() {
  if (keptLength_ == 0) return;
  // The kept bytes move aside while the container is reset and read again.
  ByteString bytes = std::move(keptBytes_);
  bytes.resize(keptLength_);
  const std::string path = SourcePath;
  const TDateTime time = FileTime;
  const int64_t size = FileBytes;
  const tFileStamp stamp = FileStamp;
  Reset();
  SourcePath = path;
  FileTime = time;
  FileBytes = size;
  FileStamp = stamp;
  const bool factsOnly = FactsOnly;
  FactsOnly = false;
  readSource(std::make_shared<tMemorySource>(bytes), ImageKind::Jpeg);
  FactsOnly = factsOnly;
}

bool TimgData::ReadJpeg(const tByteSource& source) {
  ReadingTiff = false;
  try {
    return ScanSegments(source);
  } catch (const DecodeFault&) {
    return false;  // a fault while scanning or decoding fails the read; what was stored stays
  }
}

bool TimgData::ScanSegments(const tByteSource& source) {
  SequentialReader in(source, keepBytes_ ? keptBytes_ : readBuffer_, keepBytes_ ? keptLength_ : readLength_,
                      keepBytes_);
  int b1 = 0, b2 = 0;
  if (!in.get(b1) || !in.get(b2) || b1 != 0xFF || b2 != 0xD8) return false;

  SegmentCount = 0;
  while (SegmentCount < kSegmentsScanned) {
    // The segment goes into the next slot; it counts only once it is whole.
    tSection& slot = Slot(SegmentCount + 1);
    if (!readSegment(in, slot)) return HasMetadata();
    ++SegmentCount;
    if (slot.Length == 2) continue;

    // The metadata must begin within the first four segments.
    if (SegmentCount == 5 && !HasMetadata()) return false;

    switch (slot.Marker) {
      case kMarkerEndOfImage:
      case kMarkerStartOfScan:
        return HasMetadata();
      case kMarkerApp1:
        // Only the first APP1 that really holds EXIF data is decoded; any
        // other (XMP, a second EXIF block) gives its slot to the next segment.
        if (SegmentCount <= 5 && !ExifSlot && slot.Bytes.compare(2, 4, "Exif") == 0)
          takeExifSegment(slot);
        else
          --SegmentCount;
        break;
      case kMarkerApp13:
        if (!IptcSlot) {
          IptcSlot = &slot;
          IptcInfo = std::make_unique<TIPTCdata>();
        }
        break;
      case kMarkerComment:
        CommentSlot = &slot;  // a later comment replaces an earlier one
        break;
      default:
        break;
    }
  }
  return HasMetadata();
}

void TimgData::takeExifSegment(tSection& slot) {
  ExifSlot = &slot;
  ExifInfo = std::make_unique<TImageInfo>(this);
  ExifInfo->FactsOnly = FactsOnly;
  // The slot keeps the segment until the next read resets the container,
  // decoders and stores included.
  Buffer = tByteStore::View(slot.Bytes);
  DecodeExifSegment();
}

void TimgData::DecodeExifSegment() {
  if (!ExifInfo) ExifInfo = std::make_unique<TImageInfo>(this);
  if (!ExifSlot) return;
  const ByteString& bytes = ExifSlot->Bytes;

  // Layout of the segment bytes (1-based): 1-2 length, 3-6 "Exif", 7-8 not
  // examined, 9-10 byte-order mark (TIFF offset 0), 11-12 magic number (not
  // examined), 13-16 first-directory offset, 17 on directory data.
  if (copyClamped(bytes, 3, 4) != "Exif") {
    StatusText = "Incorrect Exif header";
    exifHeaderFault_ = true;
    return;
  }
  const ByteString mark = copyClamped(bytes, 9, 2);
  if (mark == "II") {
    BigEndian = false;
  } else if (mark == "MM") {
    BigEndian = true;
  } else {
    StatusText = "Invalid Exif alignment marker";
    exifHeaderFault_ = true;
    return;
  }

  ExifInfo->Buffer = Buffer;
  ExifInfo->BigEndian = BigEndian;
  const int32_t offset = ExifInfo->Read32(13);
  if (offset < 0) throw DecodeFault("First directory offset " + std::to_string(uint32_t(offset)));
  const int64_t position = offset == 0 ? 17 : int64_t{offset} + kJpegExifBase;
  if (position > std::numeric_limits<int32_t>::max())
    throw DecodeFault("First directory offset out of range");

  ExifInfo->ParseDirectory(static_cast<int32_t>(position), kJpegExifBase, kMainDirectory,
                           ExifSlot->Length - 6);
  if (!ExifInfo->FactsOnly) ExifInfo->ComputeDerivedFacts();
}

bool TimgData::ReadTiff(const std::shared_ptr<const tByteSource>& source) {
  ReadingTiffFlag reading(ReadingTiff);
  try {
    const int64_t fileSize = source->Size();
    char head[8] = {};
    const int64_t headBytes = source->ReadAt(0, head, 8);
    if (headBytes < 2) return false;
    const std::string mark(head, 2);
    if (mark != "II" && mark != "MM") return false;
    BigEndian = mark == "MM";

    // The magic number is not examined. The first directory is the one the
    // header names; an offset below 8 or past the end of the file is taken
    // as 8, the start of the read buffer.
    tEndInd header;
    header.BigEndian = BigEndian;
    header.Buffer = ByteString(head, 8);
    const uint32_t named = headBytes == 8 ? static_cast<uint32_t>(header.Read32(5)) : 8u;
    const int64_t dirOffset = (named < 8 || named >= fileSize) ? 8 : int64_t{named};

    // The buffer starts at file offset 8 (offset X is at position X - 7) and
    // holds at least the fixed read; a directory beyond it brings the buffer
    // to 64 KiB past the directory, never past the end of the file. Bytes
    // beyond the end of a short file read as zero. The store reads the fixed
    // read at once and any other part only where the walk goes.
    int64_t size = kTiffReadSize;
    const int64_t available = std::max<int64_t>(fileSize - 8, 0);
    size = std::max(size, std::min(dirOffset - 8 + kTiffDirectoryReach, available));
    if (size > std::numeric_limits<int32_t>::max()) throw DecodeFault("TIFF directory out of range");
    Buffer = tByteStore::Region(source, 8, size);

    tSection& slot = Slot(1);
    slot.Bytes.clear();
    slot.Marker = 0;
    slot.Length = static_cast<int32_t>(size);
    SegmentCount = 1;
    ExifSlot = &slot;

    ExifInfo = std::make_unique<TImageInfo>(this);
    ExifInfo->FromTiff = ReadingTiff;
    ExifInfo->Buffer = Buffer;
    ExifInfo->BigEndian = BigEndian;
    ExifInfo->ParseDirectory(static_cast<int32_t>(dirOffset + kTiffFileBase), kTiffFileBase, kMainDirectory,
                             static_cast<int32_t>(size));
    ExifInfo->ComputeDerivedFacts();
    return true;
  } catch (const DecodeFault&) {
    return false;
  }
}

bool TimgData::HasThumbnail() const {
  return ExifSlot && ExifInfo && ExifInfo->PreviewStart > 21 && ExifInfo->PreviewLength > 256;
}

ByteString TimgData::ThumbnailBytes() const {
  if (!HasThumbnail()) return {};
  const ByteString s = copyClamped(Buffer, ExifInfo->PreviewStart, ExifInfo->PreviewLength);

  // A preview starts with a start-of-image marker followed by a table
  // (quantisation or Huffman) or, in JFIF and other previews, any segment.
  size_t p = findBytes(s, std::string_view("\xFF\xD8\xFF\xDB", 4));
  if (p == ByteString::npos) p = findBytes(s, std::string_view("\xFF\xD8\xFF\xC4", 4));
  if (p == ByteString::npos) p = findBytes(s, std::string_view("\xFF\xD8\xFF", 3));
  if (p == ByteString::npos) return {};

  // Without its end-of-image marker the preview is not handed out at all.
  size_t end = findBytes(s, std::string_view("\xFF\xD9", 2), p + 2);
  if (end == ByteString::npos) return {};
  return s.substr(p, end + 2 - p);
}

std::optional<RgbImage> TimgData::ThumbnailImage() const {
  if (!HasThumbnail() || ExifInfo->PreviewCompression != 6) return std::nullopt;
  ByteString bytes = ThumbnailBytes();
  if (bytes.empty()) return std::nullopt;
  return decodeJpeg(bytes);
}

std::string TimgData::CommentText() const {
  if (!CommentSlot) return {};
  const ByteString& b = CommentSlot->Bytes;
  if (b.size() < 2) return {};
  const int64_t v = static_cast<unsigned char>(b[0]) * 256 + static_cast<unsigned char>(b[1]);
  return copyClamped(b, 3, v - 2);
}

}  // namespace meta
