// Decoding of the embedded preview into an RGB picture. The preview is cut
// out of untrusted metadata, so every error of the decoder ends the decode
// and gives no picture; nothing here may end the process.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "metadata/image_reader.hpp"

namespace meta {

namespace {

// Previews are small; a header that announces more than this is not one.
constexpr JDIMENSION kMaxSide = 16384;
constexpr uint64_t kMaxPixels = 64ull * 1024 * 1024;

struct ErrorManager {
  jpeg_error_mgr base;  // first member: the library hands back a pointer to it
  std::jmp_buf jump;
};

[[noreturn]] void onError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}

void onMessage(j_common_ptr, int) {}  // warnings are not shown anywhere

}  // namespace

std::optional<RgbImage> decodeJpeg(const ByteString& jpeg) {
  if (jpeg.size() < 4) return std::nullopt;

  // Everything that must survive a longjmp is set up before setjmp. The
  // picture is reached through a volatile pointer because a longjmp keeps
  // the value of a volatile local only; the decoder state is freed by
  // jpeg_destroy_decompress on both ways out.
  jpeg_decompress_struct cinfo{};
  ErrorManager err{};
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = onError;
  err.base.emit_message = onMessage;
  RgbImage* volatile image = nullptr;

  if (setjmp(err.jump) != 0) {
    jpeg_destroy_decompress(&cinfo);
    delete image;
    return std::nullopt;
  }

  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(jpeg.data()),
               static_cast<unsigned long>(jpeg.size()));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&cinfo);
    return std::nullopt;
  }
  if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > kMaxSide ||
      cinfo.image_height > kMaxSide || uint64_t{cinfo.image_width} * cinfo.image_height > kMaxPixels) {
    jpeg_destroy_decompress(&cinfo);
    return std::nullopt;
  }
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 3) {
    jpeg_destroy_decompress(&cinfo);
    return std::nullopt;
  }

  image = new RgbImage;
  image->width = static_cast<int>(cinfo.output_width);
  image->height = static_cast<int>(cinfo.output_height);
  const size_t stride = size_t{cinfo.output_width} * 3;
  image->pixels.resize(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = image->pixels.data() + stride * cinfo.output_scanline;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);

  std::optional<RgbImage> result(std::move(*image));
  delete image;
  return result;
}

}  // namespace meta
