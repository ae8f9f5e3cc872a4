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

void writeElementRow(output::OutputSink& reNom, const naming::FormatElement& element,
                     const std::string& value) {
  const output::TextStyle keyword = output::styleOf(true, false, 10, output::kBlack, true);
  const output::TextStyle plain = output::styleOf(false, false, 10, output::kBlack);
  const output::TextStyle strong = output::styleOf(true, false, 10, output::kBlack);
  const output::TextStyle slanted = output::styleOf(false, true, 10, output::kBlack);
  reNom.WriteRich(paddedKeyword(element.Keyword), keyword);
  reNom.WriteRich("= '", plain);
  // The running number exists only while a name is being composed; the
  // file's own name may hold any byte.
  const std::string shown = element.ElementCode == naming::kNumberCode        ? std::string("?????")
                            : element.Source == naming::ValueSource::FileName ? meta::printablePath(value)
                                                                              : value;
  reNom.WriteRich(shown, strong);
  reNom.WriteRich("'  ", plain);
  output::WriteLine(reNom, std::string("(") + element.Description + ")", slanted);
}

void writeTagRow(output::OutputSink& reTexte, const meta::TTagEntry& row) {
  output::WriteBody(reTexte, row.Desc + " = " + row.Data);
}

void showComment(output::OutputSink& reTexte, const meta::TimgData& img) {
  output::WriteBody(reTexte, " ");
  output::WriteBody(reTexte, " Comment Segment Available");
  output::WriteBody(reTexte, img.CommentText());
}

void showIptc(output::OutputSink& reTexte, meta::TimgData& img) {
  if (!img.IptcInfo) return;
  const std::vector<std::string> lines = img.IptcInfo->ListRecords(img.IptcSlot->Bytes);
  if (lines.empty()) return;
  output::WriteTitle(reTexte, "IPTC Segment Available!");
  std::string listing;
  for (const std::string& line : lines) listing += line + output::kLineEnd;
  // One body line: the listing's own last line end is followed by an empty line.
  output::WriteBody(reTexte, listing);
}

void showSummaries(output::OutputSink& reTexte, const meta::TImageInfo& info) {
  output::WriteTitle(reTexte, "Résumé EXIF (Court)");
  output::WriteBody(reTexte, info.ShortSummary());
  output::WriteTitle(reTexte, "Résumé EXIF (long)");
  output::WriteBody(reTexte, info.LongSummary());
  output::WriteBody(reTexte, "");
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
    if (!value.empty()) output::WriteBody(reTexte, h.lead + value);
  }
}

}  // namespace

void ShowNamePane(output::OutputSink& reNom, const naming::TNaming& state, bool withTextFile) {
  const output::TextStyle label = output::styleOf(false, false, 12, output::kBlack);
  const output::TextStyle name = output::styleOf(true, false, 12, output::kBlue);
  const output::TextStyle missing = output::styleOf(true, false, 14, output::kRed);

  output::WriteLine(reNom, "Nouveau nom du fichier: ", label);
  if (state.NameComplete)
    output::WriteLine(reNom, "\t" + meta::printablePath(meta::fileNameOf(state.NewPath)), name);
  else
    output::WriteLine(reNom, "\tNe peut être renommé par manque d'information", missing);

  if (withTextFile) {
    output::WriteLine(reNom, "Fichier texte associé: ", label);
    if (state.NameComplete)
      output::WriteLine(reNom, "\t" + meta::printablePath(meta::fileNameOf(state.NewTextPath)), name);
    else
      output::WriteLine(reNom, "\tNe peut être créé par manque d'information", missing);
  }

  output::WriteTitle(reNom, "Champs");
  for (size_t row = 0; row < naming::FormatElementTable.size(); ++row)
    writeElementRow(reNom, naming::FormatElementTable[row], state.ElementValues[row]);
}

void ShowReportPane(output::OutputSink& reTexte, meta::TimgData& img, const PictureSink& picture) {
  ShowExifData(reTexte, img);
  if (!img.HasMetadata()) return;

  // A header fault keeps the EXIF segment but leaves no decoder: every section
  // that reads decoded data is then skipped rather than read from nothing.
  meta::TImageInfo* info = img.ExifInfo.get();
  if (img.HasExif() && info && info->MakerNoteDecoded) ShowMakerData(reTexte, *info);

  const bool thumbnail = info && img.HasThumbnail();
  if (thumbnail) {
    info->ProcessThumbnail();
    ShowThumbnailData(reTexte, *info);
  } else {
    output::WriteBody(reTexte, "No Thumbnail");
  }

  if (img.CommentSlot) showComment(reTexte, img);
  if (img.IptcSlot) showIptc(reTexte, img);

  if (!img.HasExif()) return;
  // The preview's directory (walked above) tells whether it is a JPEG picture.
  if (thumbnail && picture) picture(img.ThumbnailImage());
  if (info) showSummaries(reTexte, *info);
}

void ShowExifData(output::OutputSink& reTexte, meta::TimgData& img) {
  output::WriteTitle(reTexte, "EXIF-Data");
  if (img.StatusText != "<none>") output::WriteSubtitle(reTexte, "Erreur : " + img.StatusText);
  if (!img.HasExif()) return;

  const output::TextStyle order = output::styleOf(true, false, 8, output::kBlack);
  if (img.BigEndian) {
    reTexte.WriteRich("Big endian", order);
    output::WriteBody(reTexte, " (Motorola Byte Order)");
  } else {
    reTexte.WriteRich("Little endian", order);
    output::WriteBody(reTexte, " (Intel Byte Order)");
  }

  if (!img.ExifInfo) return;
  meta::TImageInfo& info = *img.ExifInfo;
  meta::TTagEntry row;
  info.ResetTagCursor();
  while (info.NextTag(0, row)) writeTagRow(reTexte, row);
}

void ShowMakerData(output::OutputSink& reTexte, meta::TImageInfo& info) {
  output::WriteTitle(reTexte, "Maker Specific Data");
  meta::TTagEntry row;
  info.ResetTagCursor();
  while (info.NextTag(1, row)) writeTagRow(reTexte, row);
}

void ShowThumbnailData(output::OutputSink& reTexte, meta::TImageInfo& info) {
  output::WriteTitle(reTexte, "Thumbnail Data");
  output::WriteBody(reTexte, "Thumbnail Start = " + std::to_string(info.PreviewStart));
  output::WriteBody(reTexte, "Thumbnail Length = " + std::to_string(info.PreviewLength));
  meta::TTagEntry row;
  info.ResetThumbnailTagCursor();
  while (info.NextThumbnailTag(0, row)) writeTagRow(reTexte, row);
}

}  // namespace report
