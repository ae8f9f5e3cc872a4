#pragma once
// Encodes a small solid-colour JPEG at test time, so that the preview
// decoder is tried on a real stream without a binary fixture.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace qmtest {

inline std::string encodeJpeg(int width, int height, unsigned char r, unsigned char g, unsigned char b) {
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
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  for (int x = 0; x < width; ++x) {
    row[size_t(x) * 3] = r;
    row[size_t(x) * 3 + 1] = g;
    row[size_t(x) * 3 + 2] = b;
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string bytes(reinterpret_cast<char*>(out), size);
  jpeg_destroy_compress(&cinfo);
  std::free(out);
  return bytes;
}

}  // namespace qmtest
