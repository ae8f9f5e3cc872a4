// Placeholder until the maker-note decoders land: no make is recognised.
#include "metadata/maker_notes.hpp"

#include "metadata/exif_parser.hpp"

namespace meta {

TmsInfo::TmsInfo(bool fromTiff, TImageInfo& parent)
    : fromTiff_(fromTiff), parent_(parent), makerNotePos_(parent.MakerNotePos) {}

bool TmsInfo::DecodeMakerNote() { return false; }

}  // namespace meta
