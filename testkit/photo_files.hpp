#pragma once
// Whole photo files for naming, batch and command-line tests: a JPEG with an
// EXIF date (and a maker text), or one without EXIF. `unique` goes into the
// scan data so that every file can be told apart by its bytes.
#include <string>
#include <string_view>

#include "testkit/exif_builder.hpp"

namespace qmtest {

inline std::string photoWithDate(std::string_view date, std::string_view unique = "scan",
                                 Order order = Order::Intel) {
  TiffBuilder b(order);
  int ifd0 = b.addIfd();
  b.ascii(ifd0, 0x010F, "Quillcam");
  b.ascii(ifd0, 0x0132, date);
  return jpegFile({exifSegment(b.build())}, unique);
}

inline std::string photoWithoutExif(std::string_view unique = "scan") {
  return jpegFile({jfifSegment()}, unique);
}

}  // namespace qmtest
