// Maker notes and IPTC listings of the real camera files beside the checkout,
// checked against the reference values of facts.tsv. Skipped when the sample
// folder is absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "metadata/image_reader.hpp"
#include "metadata/locale.hpp"

namespace {

namespace fs = std::filesystem;

const fs::path kSamples = QUILLMARK_SAMPLES_DIR;

// facts.tsv cells escape backslash, tab, line breaks and other controls.
std::string unescapeCell(const std::string& cell) {
  std::string out;
  for (size_t i = 0; i < cell.size(); ++i) {
    if (cell[i] != '\\' || i + 1 == cell.size()) {
      out += cell[i];
      continue;
    }
    const char c = cell[++i];
    if (c == 't')
      out += '\t';
    else if (c == 'n')
      out += '\n';
    else if (c == 'r')
      out += '\r';
    else if (c == 'x' && i + 2 < cell.size()) {
      out += static_cast<char>(std::stoi(cell.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else
      out += c;
  }
  return out;
}

std::vector<std::string> splitOn(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

// One map per file: column name -> unescaped cell.
std::vector<std::map<std::string, std::string>> readFacts() {
  std::ifstream in(kSamples / "facts.tsv");
  std::string line;
  std::getline(in, line);
  const std::vector<std::string> header = splitOn(line, '\t');
  std::vector<std::map<std::string, std::string>> rows;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const std::vector<std::string> cells = splitOn(line, '\t');
    std::map<std::string, std::string> row;
    for (size_t i = 0; i < header.size() && i < cells.size(); ++i) row[header[i]] = unescapeCell(cells[i]);
    rows.push_back(std::move(row));
  }
  return rows;
}

struct MakerRow {
  std::string desc, data;
};

std::vector<MakerRow> makerRows(meta::TImageInfo& info) {
  std::vector<MakerRow> rows;
  meta::TTagEntry row;
  info.ResetTagCursor();
  while (info.NextTag(1, row)) rows.push_back({row.Desc, row.Data});
  return rows;
}

// What the decoder gives for each file whose EXIF data hold a maker note.
struct NoteExpectation {
  const char* file;
  bool decoded;
  const char* desc;        // a row that must be there (nullptr: no rows at all)
  const char* dataPrefix;  // the start of its value
  const char* reason;
};

const NoteExpectation kNotes[] = {
    {"Canon.jpg", true, "OwnerName", "\"Phil Harvey\"", "Canon table, directory at byte 0"},
    {"Canon_PowerShot_S40.jpg", true, "Compression Rate", "SuperFine", "Canon camera settings sub-values"},
    {"Casio.jpg", true, "RecordingMode", "Single Shutter", "Casio table, directory at byte 0"},
    {"Casio2.jpg", true, nullptr, nullptr,
     "\"QVC\" header before the directory: a layout the key table lacks"},
    {"FujiFilm.jpg", true, "Sharpness", "Normal", "Fuji table, little-endian walk"},
    {"Fujifilm_FinePix_E500.jpg", true, "Macro", "On", "Fuji note inside a big-endian EXIF block"},
    {"Minolta.jpg", true, "PIMdata", "\"PrintIM", "Minolta table, directory at byte 0"},
    {"Nikon.jpg", true, "Quality", "\"FINE  \"", "Nikon table A, no header, TIFF offsets"},
    {"NikonD70.jpg", true, "Lens information", "180/10, 700/10, 35/10, 45/10",
     "Nikon table A with the note's own big-endian TIFF header"},
    {"Nikon_COOLPIX_P1.jpg", true, "Quality", "\"NORMAL\"", "Nikon table A, own little-endian TIFF header"},
    {"nikon-e950.jpg", true, "Quality", "2 Mpixel Fine", "Nikon table B with lookup codes"},
    {"DSCN0010.jpg", true, "Quality", "\"FINE   \"", "Nikon table A, own TIFF header"},
    {"Nikon.nef", true, "Lens information", "18/1, 70/1, 35/10, 45/10",
     "TIFF file without ExifVersion, a D model: Nikon table A"},
    {"Olympus.jpg", true, "Firmware", "\"SR951\"", "Olympus table, directory at byte 8"},
    {"Olympus2.jpg", true, nullptr, nullptr, "\"OLYMPUS\\0II\" header: a layout the key table lacks"},
    {"corrupted.jpg", true, nullptr, nullptr, "\"OLYMPUS\\0II\" header: a layout the key table lacks"},
    {"Sanyo.jpg", true, "Special Mode", "0, 0, 0", "Sanyo table, directory at byte 8"},
    {"Pentax.jpg", false, nullptr, nullptr, "PENTAX is not a decoded maker"},
    {"kodak-dc210.jpg", false, nullptr, nullptr, "Kodak is not a decoded maker"},
};

const NoteExpectation* noteExpectation(const std::string& file) {
  for (const NoteExpectation& e : kNotes)
    if (file == e.file) return &e;
  return nullptr;
}

// Files whose IPTC data lie where the listing does not look (only the APP13
// segment of a JPEG is listed).
const std::map<std::string, std::string> kIptcOutOfReach{
    {"Nikon.nef", "IPTC in TIFF tag 0x83BB and inside the maker note, no APP13"},
    {"ExifTool.tif", "IPTC in TIFF tag 0x83BB"},
};

class MakerSamples : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kSamples / "facts.tsv")) GTEST_SKIP() << "no samples at " << kSamples;
    meta::setCurrentLocale(meta::Locale{});
    facts_ = readFacts();
    ASSERT_FALSE(facts_.empty());
  }
  std::vector<std::map<std::string, std::string>> facts_;
};

TEST_F(MakerSamples, SupportedMakersGiveMakerRows) {
  for (auto& fact : facts_) {
    const std::string file = fact["file"];
    SCOPED_TRACE(file);
    meta::TimgData img;
    img.ReadFile((kSamples / file).string());
    const NoteExpectation* expected = noteExpectation(file);
    if (fact["has_makernote"] == "1") {
      ASSERT_NE(expected, nullptr) << "a file with a maker note needs an entry in kNotes";
    } else {
      EXPECT_EQ(expected, nullptr);
    }
    if (!img.ExifInfo) {
      EXPECT_EQ(expected, nullptr);
      continue;
    }
    meta::TImageInfo& info = *img.ExifInfo;
    const std::vector<MakerRow> rows = makerRows(info);
    if (!expected) {
      EXPECT_FALSE(info.MakerNoteDecoded);
      EXPECT_TRUE(rows.empty());
      continue;
    }
    SCOPED_TRACE(expected->reason);
    EXPECT_EQ(info.MakerNoteDecoded, expected->decoded);
    if (!expected->desc) {
      EXPECT_TRUE(rows.empty()) << rows.size() << " rows, first " << rows.front().desc;
      continue;
    }
    bool found = false;
    for (const MakerRow& r : rows) {
      if (r.desc == expected->desc && r.data.rfind(expected->dataPrefix, 0) == 0) found = true;
      // Maker values reach the panes and companion files as text.
      for (char c : r.data) EXPECT_GE(static_cast<unsigned char>(c), 32) << r.desc;
    }
    EXPECT_TRUE(found) << expected->desc << " = " << expected->dataPrefix << "... among " << rows.size()
                       << " rows";
  }
}

TEST_F(MakerSamples, CanonSubValuesPrecedeTheirEntry) {
  meta::TimgData img;
  ASSERT_TRUE(img.ReadFile((kSamples / "Canon_PowerShot_S40.jpg").string()));
  const std::vector<MakerRow> rows = makerRows(*img.ExifInfo);
  ASSERT_GE(rows.size(), 7u);
  EXPECT_EQ(rows[0].desc, "Macro mode");
  EXPECT_EQ(rows[0].data, "Normal");
  EXPECT_EQ(rows[3].desc, "Flash Mode");
  EXPECT_EQ(rows[3].data, "Auto");
  EXPECT_EQ(rows[6].desc, "ExposureInfo1");
}

TEST_F(MakerSamples, IptcListingGivesKeywordsAndCaption) {
  for (auto& fact : facts_) {
    const std::string file = fact["file"];
    SCOPED_TRACE(file);
    meta::TimgData img;
    img.ReadFile((kSamples / file).string());
    std::vector<std::string> keywords;
    std::optional<std::string> caption;
    size_t lines = 0;
    if (img.IptcInfo && img.IptcSlot) {
      for (const std::string& line : img.IptcInfo->ListRecords(img.IptcSlot->Bytes)) {
        ++lines;
        if (line.rfind("Keywords = ", 0) == 0) keywords.push_back(line.substr(11));
        if (line.rfind("Image caption = ", 0) == 0 && !caption) caption = line.substr(16);
      }
    }
    if (fact["has_iptc"] != "1") {
      EXPECT_EQ(lines, 0u);
      continue;
    }
    if (kIptcOutOfReach.count(file)) {
      SCOPED_TRACE(kIptcOutOfReach.at(file));
      EXPECT_EQ(lines, 0u);
      continue;
    }
    const std::string expectedKeywords = fact["iptc_keywords"];
    std::string joined;
    for (size_t i = 0; i < keywords.size(); ++i) joined += (i ? "|" : "") + keywords[i];
    EXPECT_EQ(joined, expectedKeywords);
    EXPECT_EQ(caption.value_or(""), fact["iptc_caption"]);
  }
}

}  // namespace
