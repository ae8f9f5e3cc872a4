#pragma once
// TmsInfo: recognises the camera maker from the recorded make, picks the
// maker's tag table and block layout, and walks the private directory of the
// MakerNote block into maker-note rows (Group 1) of the EXIF object.
#include <cstdint>

namespace meta {

class TImageInfo;

class TmsInfo {
 public:
  // fromTiff: the data come from a TIFF file; parent: the object whose maker
  // note is decoded (not owned, and not kept beyond the decode).
  TmsInfo(bool fromTiff, TImageInfo& parent);
  // True when the make was recognised and a table applied, even if the walk
  // stopped early on a fault.
  bool DecodeMakerNote();

 private:
  bool fromTiff_;
  TImageInfo& parent_;
  int32_t makerNotePos_;
};

}  // namespace meta
