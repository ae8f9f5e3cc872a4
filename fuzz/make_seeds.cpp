// Writes a small seed corpus for the reader's fuzz target into a folder:
// TIFF files and JPEG files made with the tests' EXIF builder, one per
// maker-note layout (its make, a block of the layout's shape), and one that
// carries every section the report shows: EXIF, GPS and interoperability
// directories, a preview picture that decodes, a comment and IPTC datasets.
//   make_seeds FOLDER
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "testkit/exif_builder.hpp"
#include "testkit/jpeg_encode.hpp"

namespace {

using namespace qmtest;

struct Maker {
  const char* make;
  std::string header;  // bytes of the note before its directory
  Order order;
};

// A maker-note directory of three entries (a SHORT, an ASCII beyond the
// entry, a LONG); offsets count from the note's start.
std::string noteDirectory(const Encoder& enc, size_t headerSize) {
  const std::string text = asciiz("FINE   ");
  std::string d = enc.u16(3);
  const uint32_t valueOffset = static_cast<uint32_t>(headerSize + 2 + 3 * 12 + 4);
  d += enc.u16(0x0002) + enc.u16(kShort) + enc.u32(1) + enc.u16(100) + enc.u16(0);
  d += enc.u16(0x0004) + enc.u16(kAscii) + enc.u32(static_cast<uint32_t>(text.size())) + enc.u32(valueOffset);
  d += enc.u16(0x0007) + enc.u16(kLong) + enc.u32(1) + enc.u32(42);
  d += enc.u32(0);
  return d + text;
}

std::string iptcResource() {
  auto dataSet = [](int record, int number, const std::string& value) {
    return std::string{'\x1C', static_cast<char>(record), static_cast<char>(number)} +
           be16(static_cast<uint32_t>(value.size())) + value;
  };
  const std::string sets = dataSet(2, 0, std::string("\0\x02", 2)) + dataSet(2, 5, "Lake") +
                           dataSet(2, 25, "holiday") + dataSet(2, 55, "20040714") + dataSet(2, 120, "A lake");
  std::string r =
      std::string("8BIM\x04\x04\0\0", 8) + be16(0) + be16(static_cast<uint32_t>(sets.size())) + sets;
  if (r.size() % 2) r.push_back('\0');
  return r;
}

// A TIFF block with IFD0, Exif, GPS, interoperability and a preview IFD1.
std::string fullBlock(Order order, const std::string& make, const std::string& note,
                      const std::string& preview) {
  TiffBuilder b(order);
  const int ifd0 = b.addIfd(), exif = b.addIfd(), gps = b.addIfd(), interop = b.addIfd(), ifd1 = b.addIfd();
  b.ascii(ifd0, 0x010F, make).ascii(ifd0, 0x0110, "Model 1").shortValue(ifd0, 0x0112, 1);
  b.rational(ifd0, 0x011A, 180, 1).ascii(ifd0, 0x0132, "2004:07:14 07:32:05");
  b.pointer(ifd0, 0x8769, exif).pointer(ifd0, 0x8825, gps).next(ifd0, ifd1);
  b.rational(exif, 0x829A, 1, 500).rational(exif, 0x829D, 8, 1).shortValue(exif, 0x8827, 200);
  b.undefined(exif, 0x9000, "0220").ascii(exif, 0x9003, "2004:07:14 07:32:05").shortValue(exif, 0x9209, 1);
  b.srational(exif, 0x9204, -1, 3).shortValue(exif, 0xA002, 640).shortValue(exif, 0xA003, 480);
  if (!note.empty()) b.undefined(exif, 0x927C, note);
  b.undefined(exif, 0x9286, std::string("ASCII\0\0\0A comment", 17)).pointer(exif, 0xA005, interop);
  b.byteValues(gps, 0x0000, std::string("\2\2\0\0", 4)).ascii(gps, 0x0001, "N");
  b.add(gps, 0x0002, kRational, 3, b.rationals({{46, 1}, {12, 1}, {3000, 100}}));
  b.ascii(interop, 0x0001, "R98").undefined(interop, 0x0002, "0100");
  const int pic = b.blob(preview);
  b.shortValue(ifd1, 0x0103, 6).blobPointer(ifd1, 0x0201, pic);
  b.longValue(ifd1, 0x0202, static_cast<uint32_t>(preview.size()));
  return b.build();
}

void write(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seeds FOLDER\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const std::string preview = encodeJpeg(16, 12, 40, 120, 200);

  const std::vector<Maker> makers = {
      {"NIKON CORPORATION", std::string("Nikon\0\x02\x10\0\0MM\0\x2A\0\0\0\x08", 18), Order::Motorola},
      {"NIKON", std::string("Nikon\0\x01\0", 8), Order::Intel},
      {"OLYMPUS OPTICAL CO.,LTD", std::string("OLYMP\0\x01\0", 8), Order::Intel},
      {"CASIO", "", Order::Motorola},
      {"FUJIFILM", std::string("FUJIFILM\x0C\0\0\0", 12), Order::Intel},
      {"Canon", "", Order::Intel},
      {"SEIKO EPSON CORP.", std::string("EPSON\0\x01\0", 8), Order::Intel},
      {"SANYO Electric Co.,Ltd.", std::string("SANYO\0\x01\0", 8), Order::Intel},
      {"Minolta Co., Ltd.", "", Order::Motorola},
  };
  int n = 0;
  for (const Maker& m : makers) {
    // The Fuji note is always little-endian, and the newer Nikon one names its own order.
    const Encoder noteEncoder(m.make == std::string("FUJIFILM") ? Order::Intel : m.order);
    const std::string note = m.header + noteDirectory(noteEncoder, m.header.size());
    const std::string block = fullBlock(m.order, m.make, note, preview);
    char name[32];
    std::snprintf(name, sizeof name, "maker-%02d.tif", ++n);
    write(folder / name, block);
    std::snprintf(name, sizeof name, "maker-%02d.jpg", n);
    write(folder / name, jpegFile({jfifSegment(), exifSegment(block)}));
  }
  const std::string full = fullBlock(Order::Intel, "Maker", "", preview);
  write(folder / "sections.jpg",
        jpegFile({exifSegment(full), commentSegment("A comment"), photoshopSegment(iptcResource()),
                  xmpSegment(), dqtSegment(), dhtSegment(), sof0Segment()}));
  write(folder / "no-exif.jpg", jpegFile({jfifSegment(), commentSegment("Only a comment")}));
  std::printf("%d seeds in %s\n", 2 * n + 2, folder.string().c_str());
  return 0;
}
