#include "report/report.hpp"

#include <cstdio>
#include <string>
#include <vector>

#include "metadata/paths.hpp"
#include "metadata/text.hpp"
#include "naming/format.hpp"

namespace report {

using output::OutputSink;
using output::styleOf;
using output::TextStyle;
using output::WriteBody;
using output::WriteLine;
using output::WriteSubtitle;
using output::WriteTitle;

namespace {

// The element table's keyword column: padded to 12 characters, never cut, so
// that the "= '" marks line up in the fixed-pitch font.
std::string paddedKeyword(const char* keyword) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%-12s", keyword);
  return buf;
}

void writeElementRow(output::OutputSink& namePane, const naming::FormatElement& element,
                     const std::string& value) {
  const output::TextStyle keyword = output::styleOf(true, false, 10, output::kBlack, true);
  const output::TextStyle plain = output::styleOf(false, false, 10, output::kBlack);
  const output::TextStyle strong = output::styleOf(true, false, 10, output::kBlack);
  const output::TextStyle slanted = output::styleOf(false, true, 10, output::kBlack);
  namePane.WriteRich(paddedKeyword(element.Keyword), keyword);
  namePane.WriteRich("= '", plain);
  // The running number exists only while a name is being composed; the
  // file's own name may hold any byte.
  const std::string shown = element.ElementCode == naming::kNumberCode        ? std::string("?????")
                            : element.Source == naming::ValueSource::FileName ? meta::printablePath(value)
                                                                              : value;
  namePane.WriteRich(shown, strong);
  namePane.WriteRich("'  ", plain);
  output::WriteLine(namePane, std::string("(") + element.Description + ")", slanted);
}

void writeTagRow(output::OutputSink& reportPane, const meta::TTagEntry& row) {
  output::WriteBody(reportPane, row.Desc + " = " + row.Data);
}

void showComment(output::OutputSink& reportPane, const meta::TimgData& img) {
  output::WriteBody(reportPane, " ");
  output::WriteBody(reportPane, " Comment Segment Available");
  output::WriteBody(reportPane, img.CommentText());
}

void showIptc(output::OutputSink& reportPane, meta::TimgData& img) {
  if (!img.IptcInfo) return;
  const std::vector<std::string> lines = img.IptcInfo->ListRecords(img.IptcSlot->Bytes);
  if (lines.empty()) return;
  output::WriteTitle(reportPane, "IPTC Segment Available!");
  std::string listing;
  for (const std::string& line : lines) listing += line + output::kLineEnd;
  // One body line: the listing's own last line end is followed by an empty line.
  output::WriteBody(reportPane, listing);
}

void showSummaries(output::OutputSink& reportPane, const meta::TImageInfo& info) {
  output::WriteTitle(reportPane, "Résumé EXIF (Court)");
  output::WriteBody(reportPane, info.ShortSummary());
  output::WriteTitle(reportPane, "Résumé EXIF (long)");
  output::WriteBody(reportPane, info.LongSummary());
  output::WriteBody(reportPane, "");
  struct Highlight {
    const char* lead;
    const char* tag;
  };
  static constexpr Highlight highlights[] = {
      {" ** Widest Aperture is ", "MaxApertureValue"},
      {" ** Response Time is ", "ShutterSpeedValue"},
      {" ** Light Meter mode is ", "MeteringMode"},
  };
  for (const Highlight& h : highlights) {
    const std::string value = info.TagValue(h.tag);
    if (!value.empty()) output::WriteBody(reportPane, h.lead + value);
  }
}

}  // namespace

void ShowNamePane(output::OutputSink& namePane, const naming::TNaming& state, bool withTextFile) {
  const output::TextStyle label = output::styleOf(false, false, 12, output::kBlack);
  const output::TextStyle name = output::styleOf(true, false, 12, output::kBlue);
  const output::TextStyle missing = output::styleOf(true, false, 14, output::kRed);

  output::WriteLine(namePane, "Nouveau nom du fichier: ", label);
  if (state.NameComplete)
    output::WriteLine(namePane, "\t" + meta::printablePath(meta::fileNameOf(state.NewPath)), name);
  else
    output::WriteLine(namePane, "\tNe peut être renommé par manque d'information", missing);

  if (withTextFile) {
    output::WriteLine(namePane, "Fichier texte associé: ", label);
    if (state.NameComplete)
      output::WriteLine(namePane, "\t" + meta::printablePath(meta::fileNameOf(state.NewTextPath)), name);
    else
      output::WriteLine(namePane, "\tNe peut être créé par manque d'information", missing);
  }

  output::WriteTitle(namePane, "Champs");
  for (size_t row = 0; row < naming::FormatElementTable.size(); ++row)
    writeElementRow(namePane, naming::FormatElementTable[row], state.ElementValues[row]);
}

void ShowReportPane(output::OutputSink& reportPane, meta::TimgData& img, const PictureSink& picture) {
  ShowExifData(reportPane, img);
  if (!img.HasMetadata()) return;

  // A header fault keeps the EXIF segment but leaves no decoder: every section
  // that reads decoded data is then skipped rather than read from nothing.
  meta::TImageInfo* info = img.ExifInfo.get();
  if (img.HasExif() && info && info->MakerNoteDecoded) ShowMakerData(reportPane, *info);

  const bool thumbnail = info && img.HasThumbnail();
  if (thumbnail) {
    info->ProcessThumbnail();
    ShowThumbnailData(reportPane, *info);
  } else {
    output::WriteBody(reportPane, "No Thumbnail");
  }

  if (img.CommentSlot) showComment(reportPane, img);
  if (img.IptcSlot) showIptc(reportPane, img);

  if (!img.HasExif()) return;
  // The preview's directory (walked above) tells whether it is a JPEG picture.
  if (thumbnail && picture) picture(img.ThumbnailImage());
  if (info) showSummaries(reportPane, *info);
}

void ShowExifData(output::OutputSink& reportPane, meta::TimgData& img) {
  output::WriteTitle(reportPane, "EXIF-Data");
  if (img.StatusText != "<none>") output::WriteSubtitle(reportPane, "Erreur : " + img.StatusText);
  if (!img.HasExif()) return;

  const output::TextStyle order = output::styleOf(true, false, 8, output::kBlack);
  if (img.BigEndian) {
    reportPane.WriteRich("Big endian", order);
    output::WriteBody(reportPane, " (Motorola Byte Order)");
  } else {
    reportPane.WriteRich("Little endian", order);
    output::WriteBody(reportPane, " (Intel Byte Order)");
  }

  if (!img.ExifInfo) return;
  meta::TImageInfo& info = *img.ExifInfo;
  meta::TTagEntry row;
  info.ResetTagCursor();
  while (info.NextTag(0, row)) writeTagRow(reportPane, row);
}

void ShowMakerData(output::OutputSink& reportPane, meta::TImageInfo& info) {
  output::WriteTitle(reportPane, "Maker Specific Data");
  meta::TTagEntry row;
  info.ResetTagCursor();
  while (info.NextTag(1, row)) writeTagRow(reportPane, row);
}

void ShowThumbnailData(output::OutputSink& reportPane, meta::TImageInfo& info) {
  output::WriteTitle(reportPane, "Thumbnail Data");
  output::WriteBody(reportPane, "Thumbnail Start = " + std::to_string(info.PreviewStart));
  output::WriteBody(reportPane, "Thumbnail Length = " + std::to_string(info.PreviewLength));
  meta::TTagEntry row;
  info.ResetThumbnailTagCursor();
  while (info.NextThumbnailTag(0, row)) writeTagRow(reportPane, row);
}

}  // namespace report
