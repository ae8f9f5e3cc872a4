#pragma once
// Runs the EXIF segment decoder of the image reader on a built TIFF block,
// without a file: the block is wrapped as an APP1 "Exif" segment and stored
// as the reader's EXIF slot.
#include <memory>
#include <string>

#include "metadata/faults.hpp"
#include "metadata/image_reader.hpp"
#include "testkit/exif_builder.hpp"

namespace qmtest {

struct DecodedExif {
  std::unique_ptr<meta::TimgData> img = std::make_unique<meta::TimgData>();
  std::string fault;  // message of a fault that left the decoder, or empty
  meta::TImageInfo& info() const { return *img->ExifInfo; }
};

inline DecodedExif decodeExif(const std::string& tiffBlock) {
  DecodedExif r;
  meta::tSection& slot = r.img->Slot(1);
  slot.Bytes = exifSegment(tiffBlock).substr(2);  // the length bytes and the payload
  slot.Marker = 0xE1;
  slot.Length = static_cast<int32_t>(slot.Bytes.size());
  r.img->SegmentCount = 1;
  r.img->ExifSlot = &slot;
  r.img->Buffer = slot.Bytes;
  try {
    r.img->DecodeExifSegment();
  } catch (const meta::DecodeFault& f) {
    r.fault = f.what();
  }
  return r;
}

}  // namespace qmtest
