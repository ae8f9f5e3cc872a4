#pragma once
// Encodes JPEG streams with libjpeg: real pictures for the preview decoder
// tests (without binary fixtures) and for the example-photo generator.
#include <cstdio>  // before jpeglib.h, which needs FILE and size_t
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace qmtest {

struct JpegOptions {
  int quality = 90;
  bool optimizeCoding = false;
  bool jfif = true;        // false: no JFIF header (cameras write EXIF in its place)
  std::optional<int> dpi;  // resolution written in the JFIF header
};

// `rgb` holds width * height * 3 bytes, row-major.
inline std::string encodeRgbJpeg(int width, int height, const std::vector<unsigned char>& rgb,
                                 const JpegOptions& options = {}) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, options.quality, TRUE);
  if (options.optimizeCoding) cinfo.optimize_coding = TRUE;
  cinfo.write_JFIF_header = options.jfif ? TRUE : FALSE;
  if (options.dpi) {
    cinfo.density_unit = 1;
    cinfo.X_density = cinfo.Y_density = static_cast<UINT16>(*options.dpi);
  }
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<unsigned char*>(rgb.data()) + size_t{cinfo.next_scanline} * size_t(width) * 3;
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string bytes(reinterpret_cast<char*>(out), size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

// A solid-colour picture.
inline std::string encodeJpeg(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * size_t(height) * 3);
  for (size_t i = 0; i < rgb.size(); i += 3) {
    rgb[i] = r;
    rgb[i + 1] = g;
    rgb[i + 2] = b;
  }
  return encodeRgbJpeg(width, height, rgb);
}

}  // namespace qmtest
