// Look-ups by tag name, the derived 35 mm focal length and the two summaries.
#include <cmath>

#include "metadata/exif_parser.hpp"
#include "metadata/image_reader.hpp"
#include "metadata/locale.hpp"
#include "metadata/paths.hpp"
#include "metadata/text.hpp"

namespace meta {

int32_t TImageInfo::TagIndex(std::string_view name) const {
  for (size_t i = 0; i < Tags.size(); ++i)
    if (equalsIgnoreCase(Tags[i].Name, name)) return static_cast<int32_t>(i);
  return -1;
}

std::string TImageInfo::TagValue(std::string_view name) const {
  int32_t i = TagIndex(name);
  return i < 0 ? std::string() : Tags[static_cast<size_t>(i)].Data;
}

TTagEntry TImageInfo::FindTag(std::string_view name) const {
  int32_t i = TagIndex(name);
  return i < 0 ? EmptyTagRow() : Tags[static_cast<size_t>(i)];
}

double TImageInfo::TagNumber(std::string_view name) const {
  int32_t i = TagIndex(name);
  if (i < 0) return 0;
  const TTagEntry& row = Tags[static_cast<size_t>(i)];
  return row.Tag != 0 ? NumericValue(row.Raw, row.ValueType, BigEndian) : 0;
}

int32_t TImageInfo::TagInteger(std::string_view name) const { return roundToInt32(TagNumber(name)); }

void TImageInfo::ComputeDerivedFacts() {
  if (TagIndex("FocalLengthin35mmFilm") != -1) return;  // the file gives it itself

  int32_t unit = TagInteger("FocalPlaneResolutionUnit");
  if (unit <= 0) unit = TagInteger("ResolutionUnit");
  const double mmPerUnit = unit == 2 ? 25.4 : unit == 3 ? 10.0 : 0.0;
  const double focal = TagNumber("FocalLength");
  if (mmPerUnit == 0 || focal == 0) return;

  double sensorWidth = 0, sensorHeight = 0;
  int32_t xres = TagInteger("FocalPlaneXResolution");
  if (xres > 0) sensorWidth = Width * mmPerUnit / xres;
  int32_t yres = TagInteger("FocalPlaneYResolution");
  if (yres > 0) sensorHeight = Height * mmPerUnit / yres;
  if (!(sensorWidth * sensorHeight > 0)) return;

  // 43.26661531 mm is the diagonal of a 36 x 24 mm frame.
  const double factor = 43.26661531 / std::sqrt(sensorWidth * sensorWidth + sensorHeight * sensorHeight);
  const double f35 = focal * factor;

  const std::vector<TTagEntry>& table = ExifTagTable();
  for (size_t i = 0; i + 1 < table.size(); ++i) {
    if (!equalsIgnoreCase(table[i].Name, "FocalLengthIn35mmFilm")) continue;
    TTagEntry row = table[i];
    // The bare number; the template is kept in the row but not applied again.
    row.Data = formatFloat("%5.2f", f35);
    row.Raw.clear();
    row.Template = "%s mm";
    row.ValueType = SRATIONAL;
    AddTag(row);
    return;
  }
}

namespace {
// Whole kilobytes, truncated: a file of 1023 bytes is "0k".
std::string kilobytes(int64_t bytes) { return std::to_string(bytes / 1024) + "k"; }
}  // namespace

std::string TImageInfo::LongSummary() const {
  if (!Owner || !Owner->HasExif()) return {};
  const std::string crlf = "\r\n";
  const std::string fileName = printablePath(fileNameOf(Owner->SourcePath));
  if (Owner->StatusText != "<none>")
    return "File Name: " + fileName + crlf + "Exif Error: " + Owner->StatusText;

  std::string s = "File Name: " + fileName;
  auto line = [&](const std::string& text) { s += crlf + text; };
  line("File Size: " + kilobytes(Owner->FileBytes));
  line("File Date: " + formatDate(Owner->FileTime, currentLocale().shortDateFormat));
  line("Photo Date: " + DateTimeText);
  line("Make (Model): " + CameraMake + " (" + CameraModel + ")");
  line("Dimensions: " + std::to_string(Width) + " x " + std::to_string(Height));
  if (std::string v = TagValue("ExposureTime"); !v.empty())
    line("Exposure Time: " + v);
  else if (std::string w = TagValue("ShutterSpeedValue"); !w.empty())
    line("Exposure Time: " + w);
  if (std::string v = TagValue("FocalLength"); !v.empty()) line("Focal Length: " + v);
  if (std::string v = TagValue("FocalLengthin35mmFilm"); !v.empty()) line("Focal Length (35mm): " + v);
  if (std::string v = TagValue("FNumber"); !v.empty()) line("FNumber: " + v);
  if (std::string v = TagValue("ISOSpeedRatings"); !v.empty()) line("ISO: " + v);
  line(std::string("Flash: ") + ((FlashValue & 1) ? "Yes" : "No"));
  return s;
}

std::string TImageInfo::ShortSummary() const {
  if (!Owner || !Owner->HasExif()) return {};
  const std::string fileName = printablePath(fileNameOf(Owner->SourcePath));
  if (Owner->StatusText != "<none>") return fileName + " Exif Error: " + Owner->StatusText;
  return fileName + " " + kilobytes(Owner->FileBytes) + " " + DateTimeText.substr(0, 10) + " " +
         std::to_string(Width) + "w " + std::to_string(Height) + "h " + ((FlashValue & 1) ? " Flash" : "");
}

}  // namespace meta
