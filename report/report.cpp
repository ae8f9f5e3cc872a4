#include "report/report.hpp"

#include <cstdio>
#include <string>
#include <vector>

#include "metadata/paths.hpp"
#include "metadata/text.hpp"
#include "naming/format.hpp"

namespace report {

using naming::OutputSink;
using naming::styleOf;
using naming::TextStyle;
using naming::WriteBody;
using naming::WriteLine;
using naming::WriteSubtitle;
using naming::WriteTitle;

namespace {

// The element table's keyword column: padded to 12 characters, never cut, so
// that the "= '" marks line up in the fixed-pitch font.
std::string paddedKeyword(const char* keyword) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%-12s", keyword);
  return buf;
}

void writeElementRow(OutputSink& reNom, const naming::FormatElement& element, const std::string& value) {
  const TextStyle keyword = styleOf(true, false, 10, naming::kBlack, true);
  const TextStyle plain = styleOf(false, false, 10, naming::kBlack);
  const TextStyle strong = styleOf(true, false, 10, naming::kBlack);
  const TextStyle slanted = styleOf(false, true, 10, naming::kBlack);
  reNom.WriteRich(paddedKeyword(element.Keyword), keyword);
  reNom.WriteRich("= '", plain);
  // The running number exists only while a name is being composed; the
  // file's own name may hold any byte.
  const std::string shown = element.ElementCode == naming::kNumberCode        ? std::string("?????")
                            : element.Source == naming::ValueSource::FileName ? meta::printablePath(value)
                                                                              : value;
  reNom.WriteRich(shown, strong);
  reNom.WriteRich("'  ", plain);
  WriteLine(reNom, std::string("(") + element.Description + ")", slanted);
}

void writeTagRow(OutputSink& reTexte, const meta::TTagEntry& row) {
  WriteBody(reTexte, row.Desc + " = " + row.Data);
}

void showComment(OutputSink& reTexte, const meta::TimgData& img) {
  WriteBody(reTexte, " ");
  WriteBody(reTexte, " Comment Segment Available");
  WriteBody(reTexte, img.CommentText());
}

void showIptc(OutputSink& reTexte, meta::TimgData& img) {
  if (!img.IptcInfo) return;
  const std::vector<std::string> lines = img.IptcInfo->ListRecords(img.IptcSlot->Bytes);
  if (lines.empty()) return;
  WriteTitle(reTexte, "IPTC Segment Available!");
  std::string listing;
  for (const std::string& line : lines) listing += line + naming::kLineEnd;
  // One body line: the listing's own last line end is followed by an empty line.
  WriteBody(reTexte, listing);
}

void showSummaries(OutputSink& reTexte, const meta::TImageInfo& info) {
  WriteTitle(reTexte, "Résumé EXIF (Court)");
  WriteBody(reTexte, info.ShortSummary());
  WriteTitle(reTexte, "Résumé EXIF (long)");
  WriteBody(reTexte, info.LongSummary());
  WriteBody(reTexte, "");
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
    if (!value.empty()) WriteBody(reTexte, h.lead + value);
  }
}

}  // namespace

void ShowNamePane(OutputSink& reNom, const naming::TNaming& state, bool withTextFile) {
  const TextStyle label = styleOf(false, false, 12, naming::kBlack);
  const TextStyle name = styleOf(true, false, 12, naming::kBlue);
  const TextStyle missing = styleOf(true, false, 14, naming::kRed);

  WriteLine(reNom, "Nouveau nom du fichier: ", label);
  if (state.NameComplete)
    WriteLine(reNom, "\t" + meta::printablePath(meta::fileNameOf(state.NewPath)), name);
  else
    WriteLine(reNom, "\tNe peut être renommé par manque d'information", missing);

  if (withTextFile) {
    WriteLine(reNom, "Fichier texte associé: ", label);
    if (state.NameComplete)
      WriteLine(reNom, "\t" + meta::printablePath(meta::fileNameOf(state.NewTextPath)), name);
    else
      WriteLine(reNom, "\tNe peut être créé par manque d'information", missing);
  }

  WriteTitle(reNom, "Champs");
  for (size_t row = 0; row < naming::FormatElementTable.size(); ++row)
    writeElementRow(reNom, naming::FormatElementTable[row], state.ElementValues[row]);
}

void ShowReportPane(OutputSink& reTexte, meta::TimgData& img, const PictureSink& picture) {
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
    WriteBody(reTexte, "No Thumbnail");
  }

  if (img.CommentSlot) showComment(reTexte, img);
  if (img.IptcSlot) showIptc(reTexte, img);

  if (!img.HasExif()) return;
  // The preview's directory (walked above) tells whether it is a JPEG picture.
  if (thumbnail && picture) picture(img.ThumbnailImage());
  if (info) showSummaries(reTexte, *info);
}

void ShowExifData(OutputSink& reTexte, meta::TimgData& img) {
  WriteTitle(reTexte, "EXIF-Data");
  if (img.StatusText != "<none>") WriteSubtitle(reTexte, "Erreur : " + img.StatusText);
  if (!img.HasExif()) return;

  const TextStyle order = styleOf(true, false, 8, naming::kBlack);
  if (img.BigEndian) {
    reTexte.WriteRich("Big endian", order);
    WriteBody(reTexte, " (Motorola Byte Order)");
  } else {
    reTexte.WriteRich("Little endian", order);
    WriteBody(reTexte, " (Intel Byte Order)");
  }

  if (!img.ExifInfo) return;
  meta::TImageInfo& info = *img.ExifInfo;
  meta::TTagEntry row;
  info.ResetTagCursor();
  while (info.NextTag(0, row)) writeTagRow(reTexte, row);
}

void ShowMakerData(OutputSink& reTexte, meta::TImageInfo& info) {
  WriteTitle(reTexte, "Maker Specific Data");
  meta::TTagEntry row;
  info.ResetTagCursor();
  while (info.NextTag(1, row)) writeTagRow(reTexte, row);
}

void ShowThumbnailData(OutputSink& reTexte, meta::TImageInfo& info) {
  WriteTitle(reTexte, "Thumbnail Data");
  WriteBody(reTexte, "Thumbnail Start = " + std::to_string(info.PreviewStart));
  WriteBody(reTexte, "Thumbnail Length = " + std::to_string(info.PreviewLength));
  meta::TTagEntry row;
  info.ResetThumbnailTagCursor();
  while (info.NextThumbnailTag(0, row)) writeTagRow(reTexte, row);
}

}  // namespace report
