// The IPTC listing. The Photoshop resource blocks around the datasets are not
// interpreted: the reader finds the first dataset marker after the
// "Photoshop 3.0" signature and reads datasets one after another to the end of
// the segment.
//
// Dataset layout:
//   0x1C | record (1) | dataset (1) | length (2, big-endian) | value (length bytes)
// The extended-length form (length with its top bit set) is not recognised.
#include "metadata/iptc_reader.hpp"

#include <array>

#include "metadata/byte_reader.hpp"

namespace meta {

namespace {

struct DataSetRow {
  uint16_t record;
  uint16_t dataset;
  const char* name;
  const char* desc;
};

// "SKIP" as a name marks a dataset that is not listed.
inline constexpr std::array<DataSetRow, 49> kDataSets{{
    {2, 0, "SKIP", "Record Version"},
    {2, 3, "ObjectType", "Object Type Ref"},
    {2, 4, "ObjectAttr", "Object Attribute Ref"},
    {2, 5, "ObjectName", "Object name"},
    {2, 7, "EditStatus", "Edit Status"},
    {2, 8, "EditorialUpdate", "Editorial Update"},
    {2, 10, "Urgency", "Urgency"},
    {2, 12, "SubRef", "Subject Reference"},
    {2, 15, "Category", "Category"},
    {2, 20, "SuppCategory", "Supplemental category"},
    {2, 22, "FixtureID", "Fixture ID"},
    {2, 25, "Keywords", "Keywords"},
    {2, 26, "ContentLocCode", "Content Location Code"},
    {2, 27, "ContentLocName", "Content Location Name"},
    {2, 30, "ReleaseDate", "Release Date"},
    {2, 35, "ReleaseTime", "Release Time"},
    {2, 37, "ExpireDate", "Expiration Date"},
    {2, 38, "ExpireTime", "Expiration Time"},
    {2, 40, "SpecialInstru", "Special Instructions"},
    {2, 42, "ActionAdvised", "Action Advised"},
    {2, 45, "RefService", "Reference Service"},
    {2, 47, "RefDate", "Reference Date"},
    {2, 50, "RefNumber", "Reference Number"},
    {2, 55, "DateCreated", "Date created"},
    {2, 60, "TimeCreated", "Time created"},
    {2, 62, "DigitizeDate", "Digital Creation Date"},
    {2, 63, "DigitizeTime", "Digital Creation Time"},
    {2, 65, "OriginatingProgram", "Originating Program"},
    {2, 70, "ProgramVersion", "Program version"},
    {2, 75, "ObjectCycle", "Object Cycle"},
    {2, 80, "ByLine", "ByLine"},
    {2, 85, "ByLineTitle", "ByLine Title"},
    {2, 90, "City", "City"},
    {2, 92, "SubLocation", "Sublocation"},
    {2, 95, "State", "Province/State"},
    {2, 100, "LocationCode", "Country/Primary Location Code"},
    {2, 101, "LocationName", "Country/Primary Location Name"},
    {2, 103, "TransmissionRef", "Original Transmission Reference"},
    {2, 105, "ImageHeadline", "Image headline"},
    {2, 110, "ImageCredit", "Image credit"},
    {2, 115, "Source", "Source"},
    {2, 116, "Copyright", "Copyright Notice"},
    {2, 118, "Contact", "Contact"},
    {2, 120, "ImageCaption", "Image caption"},
    {2, 122, "ImageCaptionWriter", "Image caption writer"},
    {2, 130, "ImageType", "Image type"},
    {2, 131, "Orientation", "Image Orientation"},
    {2, 135, "LangID", "Language ID"},
    {8, 10, "Subfile", "Subfile"},
}};

constexpr char kMarker = 0x1C;
constexpr std::string_view kSignature = "Photoshop 3.0";

bool isListedRecord(int32_t record) { return record == 2 || record == 8; }

// The byte at 1-based `position`, 0 outside the buffer.
int32_t byteAt(const ByteString& buf, int64_t position) {
  if (!rangeInside(buf, position, 1)) return 0;
  return static_cast<unsigned char>(buf[static_cast<size_t>(position - 1)]);
}

}  // namespace

const std::vector<TTagEntry>& IptcDataSetTable() {
  static const std::vector<TTagEntry> table = [] {
    std::vector<TTagEntry> rows;
    rows.reserve(kDataSets.size());
    for (const DataSetRow& r : kDataSets) {
      TTagEntry e;
      e.IptcRecord = r.record;
      e.Tag = r.dataset;
      e.Name = r.name;
      e.Desc = r.desc;
      rows.push_back(std::move(e));
    }
    return rows;
  }();
  return table;
}

std::vector<std::string> TIPTCdata::ListRecords(const ByteString& segment) {
  std::vector<std::string> lines;
  for (const TTagEntry& entry : Records(segment)) lines.push_back(entry.Desc + " = " + entry.Data);
  return lines;
}

std::vector<TTagEntry> TIPTCdata::Records(const ByteString& segment) {
  buffer_ = segment;
  std::vector<TTagEntry> lines;
  const int64_t length = static_cast<int64_t>(buffer_.size());

  // The search starts right after the signature, or at position 13 (that is,
  // behind where it would stand) when the segment has none.
  const size_t found = buffer_.find(kSignature);
  const int64_t signaturePos = found == ByteString::npos ? 0 : static_cast<int64_t>(found) + 1;

  // The first marker followed by a record number 2 or 8; a marker in the very
  // last byte starts nothing.
  int64_t first = 0;
  for (int64_t i = signaturePos + 13; i < length; ++i) {
    if (byteAt(buffer_, i) == kMarker && isListedRecord(byteAt(buffer_, i + 1))) {
      first = i;
      break;
    }
  }
  if (first == 0) return lines;

  // Positions stay well inside 32 bits: a segment holds at most 65535 bytes.
  int32_t position = static_cast<int32_t>(first + 1);
  while (position < length - 2) {
    TTagEntry entry = ReadDataSet(position);
    if (!entry.Name.empty()) lines.push_back(std::move(entry));
  }
  return lines;
}

TTagEntry TIPTCdata::ReadDataSet(int32_t& position) {
  const int64_t p = position;
  const int64_t length = static_cast<int64_t>(buffer_.size());
  TTagEntry entry;
  if (p < 1 || p + 3 > length) {  // no whole dataset header left
    position = static_cast<int32_t>(length + 1);
    return entry;
  }
  const int32_t record = byteAt(buffer_, p);
  const int32_t dataset = byteAt(buffer_, p + 1);
  const int32_t valueLength = byteAt(buffer_, p + 2) * 256 + byteAt(buffer_, p + 3);
  const int64_t valuePos = p + 4;

  if (isListedRecord(record)) {
    const std::vector<TTagEntry>& table = IptcDataSetTable();
    const TTagEntry* row = nullptr;
    for (const TTagEntry& r : table) {
      if (r.IptcRecord == record && r.Tag == dataset) {
        row = &r;
        break;
      }
    }
    if (row && row->Name != "SKIP") {
      entry = *row;
    } else if (!row) {
      entry.Name = entry.Desc = "Custom_" + std::to_string(dataset);
      entry.Tag = static_cast<uint16_t>(dataset);
      entry.IptcRecord = static_cast<uint16_t>(record);
      entry.Size = 64;
    }
    if (!entry.Name.empty()) entry.Data = copyClamped(buffer_, valuePos, valueLength);
  }
  // The byte after the value is taken to be the next dataset's marker.
  position = static_cast<int32_t>(valuePos + valueLength + 1);
  return entry;
}

}  // namespace meta
