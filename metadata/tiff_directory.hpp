#pragma once
// The layout of a TIFF directory as both the TIFF walk and the maker-note
// walk read it: where stored offsets point in a reader's buffer, and the
// 12-byte entry.
#include <cstdint>

#include "metadata/byte_reader.hpp"

namespace meta {

// Offset bases: a TIFF offset X lies at Buffer position X + 9 in a JPEG's EXIF
// segment (after the length bytes and "Exif\0\0") and at X - 7 in a TIFF file's
// read buffer (which starts at file offset 8).
inline constexpr int32_t kJpegExifBase = 9;
inline constexpr int32_t kTiffFileBase = -7;

// One 12-byte directory entry: tag (2), type (2), count (4), value or
// offset (4).
struct tDirectoryEntry {
  uint16_t Tag = 0;
  int32_t Type = 0;
  int32_t Count = 0;
  int64_t Size = 0;    // bytes of the value; 0: nothing to read
  int64_t Field = 0;   // position of the value field, the value itself when Size <= 4
  int32_t Offset = 0;  // the stored offset of a value of more than 4 bytes, else 0
};
// The entry at `position` of the reader's buffer. DecodeFault when it does
// not lie in the buffer, or holds a type code above 12, a negative count or
// a negative offset. (Defined with the TIFF walk, in exif_parser.cpp.)
tDirectoryEntry ReadDirectoryEntry(const tEndInd& reader, int64_t position);

}  // namespace meta
