#pragma once
// The metadata report of one evaluated file: the name pane (new name,
// companion name, element table) and the report pane (reader status, byte
// order, EXIF tags, maker-note rows, preview directory, comment, IPTC listing,
// summaries, highlighted values). In text-file mode only the report pane is
// written, into the companion file.
#include <functional>
#include <optional>

#include "metadata/image_reader.hpp"
#include "naming/naming.hpp"
#include "output/output_sink.hpp"

namespace report {

// Receives the decoded preview picture, or none to clear the picture area.
using PictureSink = std::function<void(const std::optional<meta::RgbImage>&)>;

// The name pane for the file last evaluated by `state`.
void ShowNamePane(output::OutputSink& namePane, const naming::TNaming& state, bool withTextFile);

// The report pane for the file held by `img` (already read): every
// section in order. `picture` (may be empty) is given the preview picture.
void ShowReportPane(output::OutputSink& reportPane, meta::TimgData& img, const PictureSink& picture);

void ShowExifData(output::OutputSink& reportPane, meta::TimgData& img);
void ShowMakerData(output::OutputSink& reportPane, meta::TImageInfo& info);
void ShowThumbnailData(output::OutputSink& reportPane, meta::TImageInfo& info);

}  // namespace report
