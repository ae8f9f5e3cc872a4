#pragma once
// TmsInfo: recognises the camera maker from the recorded make, picks the
// maker's tag table and block layout, and walks the private directory of the
// MakerNote block into maker-note rows (Group 1) of the EXIF object.
#include <cstdint>
#include <string>

namespace meta {

class TImageInfo;

// The Canon sub-value decoders: each reads the rendered text of its array
// entry and adds the named sub-values to `info` as computed rows. The text is
// passed on unchanged.
std::string CanonCameraSettings(const std::string& text, TImageInfo& info);
std::string CanonShotInfo(const std::string& text, TImageInfo& info);
std::string CanonCustomFunctions(const std::string& text, TImageInfo& info);

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
