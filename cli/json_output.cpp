#include "cli/json_output.hpp"

#include <cstdio>
#include <vector>

#include "metadata/text.hpp"
#include "naming/format.hpp"

namespace cli {

using json = nlohmann::ordered_json;

namespace {

void appendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The bytes read as Windows-1252 (the five unassigned codes as C1 controls).
std::string fromWindows1252(std::string_view s) {
  static constexpr unsigned kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                         0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                         0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                         0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::string out;
  for (char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    appendUtf8(out, c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c);
  }
  return out;
}

std::string hexOf(std::string_view s) {
  static const char* kHex = "0123456789abcdef";
  std::string out;
  for (char ch : s) {
    const unsigned char c = static_cast<unsigned char>(ch);
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

json rowJson(const meta::TTagEntry& row) {
  return json{{"tag", row.Tag},
              {"name", jsonText(row.Name)},
              {"description", jsonText(row.Desc)},
              {"type", row.ValueType},
              {"value", jsonText(row.Data)}};
}

const char* statusName(naming::FileStatus s) {
  switch (s) {
    case naming::FileStatus::Renamed:
      return "renamed";
    case naming::FileStatus::Unchanged:
      return "unchanged";
    case naming::FileStatus::Incomplete:
      return "incomplete";
    case naming::FileStatus::NameTaken:
      return "name taken";
    case naming::FileStatus::MoveFailed:
      return "move failed";
  }
  return "?";
}

const char* companionName(naming::CompanionStatus s) {
  switch (s) {
    case naming::CompanionStatus::None:
      return "none";
    case naming::CompanionStatus::Moved:
      return "moved";
    case naming::CompanionStatus::Written:
      return "written";
    case naming::CompanionStatus::Failed:
      return "failed";
  }
  return "?";
}

json factsJson(const meta::TimgData& img) {
  const meta::TImageInfo* info = img.ExifInfo.get();
  if (!img.HasExif() || !info) return nullptr;
  return json{{"pictureDate", jsonText(info->DateTimeText)},
              {"width", info->Width},
              {"height", info->Height},
              {"make", jsonText(info->CameraMake)},
              {"model", jsonText(info->CameraModel)},
              {"flash", info->FlashValue},
              {"byteOrder", img.BigEndian ? "Motorola" : "Intel"},
              {"preview",
               {{"start", info->PreviewStart},
                {"length", info->PreviewLength},
                {"compression", info->PreviewCompression}}}};
}

json sectionsJson(meta::TimgData& img) {
  json sections = json::object();
  json exif = json::array(), gps = json::array(), interop = json::array(), maker = json::array(),
       preview = json::array(), iptc = json::array();
  json makerName = nullptr;
  if (meta::TImageInfo* info = img.ExifInfo.get(); info && img.HasExif()) {
    for (const meta::TTagEntry& row : info->Tags) {
      if (row.Group == 1)
        maker.push_back(rowJson(row));
      else if (row.Directory == meta::kRowGps)
        gps.push_back(rowJson(row));
      else if (row.Directory == meta::kRowInteroperability)
        interop.push_back(rowJson(row));
      else
        exif.push_back(rowJson(row));
    }
    // The make that chose the maker's table.
    if (info->MakerNoteDecoded) makerName = jsonText(info->CameraMake);
    // The preview directory is walked on demand, as for the report.
    if (img.HasThumbnail()) {
      if (info->PreviewTags.empty()) info->ProcessThumbnail();
      for (const meta::TTagEntry& row : info->PreviewTags) preview.push_back(rowJson(row));
    }
  }
  if (img.IptcInfo && img.IptcSlot) {
    for (const meta::TTagEntry& r : img.IptcInfo->Records(img.IptcSlot->Bytes))
      iptc.push_back(json{{"record", r.IptcRecord},
                          {"dataset", r.Tag},
                          {"name", jsonText(r.Name)},
                          {"description", jsonText(r.Desc)},
                          {"value", jsonText(r.Data)}});
  }
  sections["exif"] = exif;
  sections["gps"] = gps;
  sections["interoperability"] = interop;
  sections["makerNotes"] = json{{"maker", makerName}, {"rows", maker}};
  sections["preview"] = preview;
  sections["iptc"] = iptc;
  return sections;
}

}  // namespace

json jsonText(std::string_view bytes) {
  if (meta::isUtf8(bytes)) return std::string(bytes);
  return json{{"bytes", hexOf(bytes)}, {"text", fromWindows1252(bytes)}};
}

json reportJson(const std::string& path, meta::TimgData& img) {
  json sections = sectionsJson(img);  // walks the preview directory, which gives its compression
  return json{{"path", jsonText(path)},
              {"facts", factsJson(img)},
              {"sections", std::move(sections)},
              {"comment", img.CommentSlot ? jsonText(img.CommentText()) : json(nullptr)},
              {"status", jsonText(img.StatusText)}};
}

json previewJson(const std::string& path, const naming::TNaming& naming) {
  json elements = json::object();
  for (size_t row = 0; row < naming::FormatElementTable.size(); ++row) {
    const naming::FormatElement& e = naming::FormatElementTable[row];
    // The running number exists only while a run composes a name.
    elements[e.Keyword] =
        e.ElementCode == naming::kNumberCode ? json(nullptr) : jsonText(naming.ElementValues[row]);
  }
  return json{{"path", jsonText(path)},
              {"complete", naming.NameComplete},
              {"newPath", naming.NameComplete ? jsonText(naming.NewPath) : json(nullptr)},
              {"companion", naming.NameComplete ? jsonText(naming.NewTextPath) : json(nullptr)},
              {"elements", elements}};
}

json planJson(const naming::FileResult& r) {
  const bool named = !r.newPath.empty();
  return json{{"oldPath", jsonText(r.oldPath)},
              {"newPath", named ? jsonText(r.newPath) : json(nullptr)},
              {"status", statusName(r.status)},
              {"companion",
               {{"status", companionName(r.companion)},
                {"path", named ? jsonText(r.companionPath) : json(nullptr)}}}};
}

bool writeJson(const json& array) {
  const std::string text = array.dump(2) + "\n";
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0;
}

}  // namespace cli
