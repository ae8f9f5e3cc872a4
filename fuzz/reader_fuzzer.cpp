// Fuzz target of the reader: the bytes of one input go the way a file goes
// through `quillmark-cli report`: the read, the whole report text (maker rows,
// preview directory, comment, IPTC listing, summaries) and the decode of the
// embedded preview picture. Bytes that start with a TIFF header ("II" or
// "MM") are read as a TIFF file, the rest as a JPEG file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "metadata/image_reader.hpp"
#include "output/output_sink.hpp"
#include "report/report.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const bool tiff = bytes.size() >= 2 && (bytes.substr(0, 2) == "II" || bytes.substr(0, 2) == "MM");
  // One container per input, as the report command reads each file afresh.
  meta::TimgData img;
  img.ReadBytes(bytes, tiff ? meta::ImageKind::Tiff : meta::ImageKind::Jpeg);
  output::NullSink sink;
  size_t pixels = 0;
  report::ShowReportPane(sink, img, [&pixels](const std::optional<meta::RgbImage>& picture) {
    if (picture) pixels = picture->pixels.size();
  });
  return pixels > 0 ? 0 : 0;
}
