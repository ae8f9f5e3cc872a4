// Writes the example photos bundled in examples/: small painted scenes,
// encoded as real JPEG files and dressed the way the cameras of four makers
// dress theirs (EXIF block with an embedded preview, maker note, IPTC
// resources, a comment), plus one scan that carries no EXIF at all.
//
//   make_examples <output folder>
//
// Every byte follows from the code below (no clock, no random seed), so two
// runs write the same files.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "testkit/exif_builder.hpp"
#include "testkit/jpeg_encode.hpp"

namespace {

using qmtest::Encoder;
using qmtest::kAscii;
using qmtest::kLong;
using qmtest::kRational;
using qmtest::kShort;
using qmtest::kSShort;
using qmtest::kUndefined;
using qmtest::Order;
using qmtest::SimpleEntry;
using qmtest::TiffBuilder;

// ---- Pixels --------------------------------------------------------------

struct Rgb {
  double r = 0, g = 0, b = 0;
};

Rgb mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb scaled(Rgb c, double k) { return {c.r * k, c.g * k, c.b * k}; }

double smoothstep(double e0, double e1, double x) {
  const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3 - 2 * t);
}

class Picture {
 public:
  Picture(int width, int height)
      : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height) {}

  int width() const { return width_; }
  int height() const { return height_; }
  Rgb& at(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
  const Rgb& at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

  // Calls `paint` for every pixel with its coordinates scaled to 0..1, so a
  // scene reads the same at any size (the preview is painted, not shrunk).
  void forEach(const std::function<void(double u, double v, Rgb& c)>& paint) {
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) paint((x + 0.5) / width_, (y + 0.5) / height_, at(x, y));
  }

  // A soft-edged disc, `radius` as a share of the height.
  void disc(double cu, double cv, double radius, Rgb colour, double edge = 0.004) {
    const double aspect = static_cast<double>(width_) / height_;
    forEach([&](double u, double v, Rgb& c) {
      const double d = std::hypot((u - cu) * aspect, v - cv);
      c = mix(c, colour, 1 - smoothstep(radius - edge, radius + edge, d));
    });
  }

  // Grain: a fixed pseudo-random sequence, the same on every run.
  void grain(double amplitude) {
    uint32_t state = 0x2545F491u;
    for (Rgb& c : pixels_) {
      state = state * 1664525u + 1013904223u;
      const double n = ((state >> 8) & 0xFFFF) / 65535.0 - 0.5;
      c = {c.r + n * amplitude, c.g + n * amplitude, c.b + n * amplitude};
    }
  }

  void vignette(double strength) {
    forEach([&](double u, double v, Rgb& c) {
      const double d = std::hypot(u - 0.5, v - 0.5) / 0.7071;
      c = scaled(c, 1 - strength * d * d);
    });
  }

  std::vector<unsigned char> bytes() const {
    std::vector<unsigned char> out;
    out.reserve(pixels_.size() * 3);
    auto channel = [](double x) {
      return static_cast<unsigned char>(std::lround(std::clamp(x, 0.0, 255.0)));
    };
    for (const Rgb& c : pixels_) {
      out.push_back(channel(c.r));
      out.push_back(channel(c.g));
      out.push_back(channel(c.b));
    }
    return out;
  }

 private:
  int width_, height_;
  std::vector<Rgb> pixels_;
};

using Scene = std::function<void(Picture&)>;

// Morning over a mountain lake: the sun low on the left, ridges mirrored in
// the water.
void lakeScene(Picture& p) {
  const Rgb zenith{70, 120, 200}, haze{235, 215, 190}, far{95, 110, 140}, near{45, 70, 60};
  const double horizon = 0.62;
  auto ridge = [](double u, double base, double a, double f, double phase) {
    return base - a * (0.6 * std::sin(u * f + phase) + 0.3 * std::sin(u * f * 2.3 + phase * 1.7) +
                       0.1 * std::sin(u * f * 5.1));
  };
  p.forEach([&](double u, double v, Rgb& c) {
    const double mirrored = v > horizon ? 2 * horizon - v : v;
    Rgb sky = mix(zenith, haze, std::pow(mirrored / horizon, 1.6));
    const double sunGlow = std::exp(-std::hypot((u - 0.28) * 1.33, mirrored - 0.40) * 9);
    sky = mix(sky, Rgb{255, 240, 200}, sunGlow * 0.8);
    if (mirrored > ridge(u, 0.50, 0.10, 7.0, 0.8)) sky = mix(far, haze, 0.25);
    if (mirrored > ridge(u, 0.60, 0.07, 11.0, 2.1)) sky = near;
    if (v > horizon) {
      sky = mix(sky, Rgb{40, 70, 110}, 0.35 + 0.4 * (v - horizon) / (1 - horizon));
      sky = scaled(sky, 0.97 + 0.03 * std::sin(v * 400));  // ripples
    }
    c = sky;
  });
  p.disc(0.28, 0.40, 0.035, Rgb{255, 250, 230});
  p.grain(3);
}

// Dusk in a garden, lit by the flash: three flowers against dark leaves.
void flowerScene(Picture& p) {
  p.forEach([](double u, double v, Rgb& c) {
    c = mix(Rgb{20, 45, 25}, Rgb{60, 95, 45}, 0.5 + 0.5 * std::sin(u * 9 + v * 5) * std::cos(v * 7 - u * 3));
  });
  struct Flower {
    double u, v, size;
    Rgb petal;
  };
  const Flower flowers[] = {{0.35, 0.45, 0.16, {230, 70, 110}},
                            {0.70, 0.35, 0.11, {245, 160, 60}},
                            {0.62, 0.75, 0.09, {240, 230, 240}}};
  for (const Flower& f : flowers) {
    for (int k = 0; k < 6; ++k) {
      const double a = k * 3.14159265 / 3 + f.u * 5;
      p.disc(f.u + std::cos(a) * f.size * 0.55 * 0.75, f.v + std::sin(a) * f.size * 0.55, f.size * 0.42,
             mix(f.petal, Rgb{255, 255, 255}, 0.15 * (k % 2)));
    }
    p.disc(f.u, f.v, f.size * 0.25, Rgb{250, 205, 40});
  }
  p.vignette(0.75);
  p.grain(3);
}

// A winter morning above the snow line: white slopes, a row of firs.
void snowScene(Picture& p) {
  const double horizon = 0.55;
  p.forEach([&](double u, double v, Rgb& c) {
    c = mix(Rgb{110, 160, 225}, Rgb{215, 230, 245}, v / horizon);
    const double slope = horizon + 0.08 * std::sin(u * 4.2 + 1) + 0.04 * std::sin(u * 13);
    if (v > slope) {
      const double shade = 0.5 + 0.5 * std::sin(u * 6 - v * 9);
      c = mix(Rgb{200, 215, 235}, Rgb{250, 252, 255}, shade);
    }
    // Firs: triangles standing on the slope.
    for (int k = 0; k < 9; ++k) {
      const double cu = 0.06 + k * 0.11 + 0.02 * std::sin(k * 2.7);
      const double base = horizon + 0.08 * std::sin(cu * 4.2 + 1) + 0.04 * std::sin(cu * 13) + 0.03;
      const double height = 0.16 + 0.05 * std::cos(k * 1.9);
      const double top = base - height;
      if (v > top && v < base) {
        const double half = 0.035 * (v - top) / height;
        if (std::abs(u - cu) < half)
          c = mix(Rgb{25, 60, 40}, Rgb{50, 90, 60}, 0.5 + 0.5 * std::sin((u - cu) * 300 + v * 80));
      }
    }
  });
  p.grain(2);
}

// Late afternoon over a wheat field, clouds drifting.
void fieldScene(Picture& p) {
  const double horizon = 0.48;
  p.forEach([&](double u, double v, Rgb& c) {
    if (v < horizon) {
      c = mix(Rgb{80, 140, 210}, Rgb{190, 215, 235}, v / horizon);
      const double cloud = std::sin(u * 8 + std::sin(v * 20)) * std::sin(v * 17 + u * 3);
      c = mix(c, Rgb{250, 250, 250}, smoothstep(0.55, 0.9, cloud) * 0.9);
    } else {
      const double depth = (v - horizon) / (1 - horizon);
      const double rows = 0.5 + 0.5 * std::sin((u - 0.5) / (0.05 + depth) * 40);
      c = mix(Rgb{205, 170, 80}, Rgb{160, 120, 40}, rows * depth * 0.8);
    }
  });
  p.disc(0.82, 0.16, 0.045, Rgb{255, 248, 215}, 0.01);
  p.grain(3);
}

// An old print, scanned: sepia tones, a lone tree on a low hill, faded corners.
void sepiaScene(Picture& p) {
  p.forEach([](double u, double v, Rgb& c) {
    const double hill = 0.62 - 0.06 * std::exp(-std::pow((u - 0.6) * 3, 2));
    double tone = v < hill ? 0.88 - 0.25 * v : 0.50 - 0.12 * (v - hill) + 0.03 * std::sin(u * 40 + v * 9);
    const bool trunk =
        std::abs(u - 0.6 - 0.02 * (v - 0.5)) < 0.008 + 0.012 * (v - 0.35) && v > 0.35 && v < 0.58;
    const double lumps[][3] = {
        {0.60, 0.30, 0.11}, {0.53, 0.36, 0.08}, {0.67, 0.35, 0.085}, {0.60, 0.22, 0.08}};
    bool crown = false;
    for (const auto& l : lumps) crown = crown || std::hypot((u - l[0]) * 1.33, v - l[1]) < l[2];
    if (trunk || crown) tone = 0.22 + 0.04 * std::sin(u * 150) * std::sin(v * 110);
    c = {tone * 240, tone * 200, tone * 150};
  });
  p.vignette(0.6);
  p.grain(6);
}

// ---- JPEG streams ----------------------------------------------------------

struct EncodeOptions {
  int quality = 80;
  bool jfif = false;  // cameras write EXIF in place of the JFIF header
  int dpi = 72;
};

std::string encode(const Picture& picture, const EncodeOptions& options) {
  qmtest::JpegOptions jpeg;
  jpeg.quality = options.quality;
  jpeg.optimizeCoding = true;
  jpeg.jfif = options.jfif;
  jpeg.dpi = options.dpi;
  return qmtest::encodeRgbJpeg(picture.width(), picture.height(), picture.bytes(), jpeg);
}

Picture painted(const Scene& scene, int width, int height) {
  Picture p(width, height);
  scene(p);
  return p;
}

// ---- Metadata blocks -------------------------------------------------------

using Ratio = std::pair<uint32_t, uint32_t>;

// What the camera recorded about one exposure.
struct Shot {
  std::string make, model, software;
  std::string taken;  // "YYYY:MM:DD HH:MM:SS"
  Ratio exposure, fnumber;
  uint16_t program;  // 2 normal program, 3 aperture priority ...
  uint16_t iso;
  std::pair<int32_t, int32_t> shutterApex;
  Ratio apertureApex, maxApertureApex;
  uint16_t metering;  // 5 pattern ...
  uint16_t flash;     // bit 0: fired
  Ratio focal;
  std::optional<Ratio> focalPlaneResolution{};  // pixels per inch on the sensor
};

// A maker note whose bytes may depend on the TIFF offset at which it lands.
using MakerNote = std::function<std::string(const Encoder&, uint32_t ownOffset)>;

SimpleEntry entry(uint16_t tag, uint16_t type, uint32_t count, std::string value) {
  return SimpleEntry{tag, type, count, std::move(value)};
}
SimpleEntry asciiEntry(uint16_t tag, const std::string& text) {
  return SimpleEntry{tag, kAscii, static_cast<uint32_t>(text.size() + 1), qmtest::asciiz(text)};
}
SimpleEntry shortsEntry(const Encoder& e, uint16_t tag, std::initializer_list<uint16_t> values) {
  return SimpleEntry{tag, kShort, static_cast<uint32_t>(values.size()), e.shorts(values)};
}

// Canon: the directory opens the note, its offsets count from the TIFF header.
MakerNote canonNote(std::vector<uint16_t> settings, std::vector<uint16_t> shotInfo, uint32_t imageNumber,
                    std::string imageType, std::string owner, std::vector<uint16_t> customFunctions) {
  // The first element of each array holds the array's size in bytes; the
  // cameras write 46 settings and 27 shot-info elements.
  auto sized = [](std::vector<uint16_t> values, size_t count) {
    values.resize(std::max(values.size(), count), 0);
    values[0] = static_cast<uint16_t>(2 * values.size());
    return values;
  };
  settings = sized(std::move(settings), 46);
  shotInfo = sized(std::move(shotInfo), 27);
  customFunctions = sized(std::move(customFunctions), 0);
  return [=](const Encoder& e, uint32_t ownOffset) {
    auto array = [&](uint16_t tag, const std::vector<uint16_t>& values) {
      std::string bytes;
      for (uint16_t v : values) bytes += e.u16(v);
      return SimpleEntry{tag, kShort, static_cast<uint32_t>(values.size()), bytes};
    };
    const std::vector<SimpleEntry> entries = {
        array(0x0001, settings),
        shortsEntry(e, 0x0002, {0, 74, 31, 23}),  // focal length block, not listed
        array(0x0004, shotInfo),
        asciiEntry(0x0006, imageType),
        asciiEntry(0x0007, "Firmware Version 1.02"),
        entry(0x0008, kLong, 1, e.u32(imageNumber)),
        asciiEntry(0x0009, owner),
        entry(0x000C, kLong, 1, e.u32(0x5A21C3B4)),
        array(0x000F, customFunctions),
    };
    return qmtest::serializeIfd(e, entries, ownOffset);
  };
}

// Nikon, newer layout: "Nikon", a version, then a TIFF header of its own;
// the directory follows that header and its offsets count from it.
MakerNote nikonNote() {
  return [](const Encoder& e, uint32_t) {
    const std::vector<SimpleEntry> entries = {
        entry(0x0001, kUndefined, 4, "0210"),
        shortsEntry(e, 0x0002, {0, 200}),
        asciiEntry(0x0003, "COLOR"),
        asciiEntry(0x0004, "FINE  "),
        asciiEntry(0x0005, "AUTO        "),
        asciiEntry(0x0006, "AUTO  "),
        asciiEntry(0x0007, "AF-S  "),
        asciiEntry(0x0008, "NORMAL      "),
        entry(0x000B, kSShort, 1, e.u16(0)),
        asciiEntry(0x0080, "AUTO        "),
        entry(0x0084, kRational, 4, e.rationals({{180, 10}, {700, 10}, {35, 10}, {45, 10}})),
        entry(0x0088, kUndefined, 4, std::string("\0\0\0\0", 4)),
        asciiEntry(0x0095, "OFF "),
    };
    std::string note("Nikon\0\x02\x10\0\0", 10);
    note += (e.bigEndian() ? "MM" : "II") + e.u16(42) + e.u32(8);
    return note + qmtest::serializeIfd(e, entries, 8);
  };
}

// Olympus: "OLYMP", a version, the directory at byte 8, offsets counted
// from the TIFF header of the file.
MakerNote olympusNote() {
  return [](const Encoder& e, uint32_t ownOffset) {
    const std::vector<SimpleEntry> entries = {
        entry(0x0200, kLong, 3, e.longs({0, 0, 0})),
        shortsEntry(e, 0x0201, {3}),
        shortsEntry(e, 0x0202, {0}),
        entry(0x0204, kRational, 1, e.rationals({{100, 100}})),
        asciiEntry(0x0207, "QX339"),
        entry(0x0209, kUndefined, 22, "OLYMPUS DIGITAL CAMERA"),
        shortsEntry(e, 0x1004, {0}),
        shortsEntry(e, 0x100B, {0}),
        shortsEntry(e, 0x1015, {1, 0}),
    };
    return std::string("OLYMP\0\x01\0", 8) + qmtest::serializeIfd(e, entries, ownOffset + 8);
  };
}

struct Gps {
  char latRef;
  Ratio lat[3];
  char lonRef;
  Ratio lon[3];
  Ratio altitude;
  Ratio time[3];
};

std::string exifBlock(Order order, const Shot& shot, const MakerNote& makerNote, const std::string& preview,
                      int width, int height, const std::optional<Gps>& gps) {
  TiffBuilder b(order);
  const int ifd0 = b.addIfd(), exif = b.addIfd();
  const int gpsIfd = gps ? b.addIfd() : -1;
  const int interop = b.addIfd(), ifd1 = b.addIfd();

  b.ascii(ifd0, 0x010F, shot.make).ascii(ifd0, 0x0110, shot.model).shortValue(ifd0, 0x0112, 1);
  b.rational(ifd0, 0x011A, 180, 1).rational(ifd0, 0x011B, 180, 1).shortValue(ifd0, 0x0128, 2);
  b.ascii(ifd0, 0x0131, shot.software).ascii(ifd0, 0x0132, shot.taken).shortValue(ifd0, 0x0213, 2);
  b.pointer(ifd0, 0x8769, exif);
  if (gps) b.pointer(ifd0, 0x8825, gpsIfd);
  b.next(ifd0, ifd1);

  b.rational(exif, 0x829A, shot.exposure.first, shot.exposure.second);
  b.rational(exif, 0x829D, shot.fnumber.first, shot.fnumber.second);
  b.shortValue(exif, 0x8822, shot.program).shortValue(exif, 0x8827, shot.iso);
  b.undefined(exif, 0x9000, "0220");
  b.ascii(exif, 0x9003, shot.taken).ascii(exif, 0x9004, shot.taken);
  b.undefined(exif, 0x9101, std::string("\1\2\3\0", 4));
  b.srational(exif, 0x9201, shot.shutterApex.first, shot.shutterApex.second);
  b.rational(exif, 0x9202, shot.apertureApex.first, shot.apertureApex.second);
  b.srational(exif, 0x9204, 0, 3);
  b.rational(exif, 0x9205, shot.maxApertureApex.first, shot.maxApertureApex.second);
  b.shortValue(exif, 0x9207, shot.metering).shortValue(exif, 0x9209, shot.flash);
  b.rational(exif, 0x920A, shot.focal.first, shot.focal.second);
  const Encoder noteOrder(order);
  const size_t noteSize = makerNote(noteOrder, 0).size();
  b.deferred(exif, 0x927C, kUndefined, static_cast<uint32_t>(noteSize), noteSize,
             [makerNote, noteOrder](const TiffBuilder&, uint32_t own) { return makerNote(noteOrder, own); });
  b.undefined(exif, 0xA000, "0100").shortValue(exif, 0xA001, 1);
  b.shortValue(exif, 0xA002, static_cast<uint16_t>(width))
      .shortValue(exif, 0xA003, static_cast<uint16_t>(height));
  b.pointer(exif, 0xA005, interop);
  if (shot.focalPlaneResolution) {
    const Ratio r = *shot.focalPlaneResolution;
    b.rational(exif, 0xA20E, r.first, r.second).rational(exif, 0xA20F, r.first, r.second);
    b.shortValue(exif, 0xA210, 2);
  }

  if (gps) {
    b.byteValues(gpsIfd, 0x0000, std::string("\2\2\0\0", 4));
    b.ascii(gpsIfd, 0x0001, std::string(1, gps->latRef));
    b.add(gpsIfd, 0x0002, kRational, 3, b.rationals({gps->lat[0], gps->lat[1], gps->lat[2]}));
    b.ascii(gpsIfd, 0x0003, std::string(1, gps->lonRef));
    b.add(gpsIfd, 0x0004, kRational, 3, b.rationals({gps->lon[0], gps->lon[1], gps->lon[2]}));
    b.byteValues(gpsIfd, 0x0005, std::string(1, '\0'));
    b.rational(gpsIfd, 0x0006, gps->altitude.first, gps->altitude.second);
    b.add(gpsIfd, 0x0007, kRational, 3, b.rationals({gps->time[0], gps->time[1], gps->time[2]}));
    b.ascii(gpsIfd, 0x0012, "WGS-84");
  }

  b.ascii(interop, 0x0001, "R98").undefined(interop, 0x0002, "0100");

  const int thumb = b.blob(preview);
  b.shortValue(ifd1, 0x0103, 6).rational(ifd1, 0x011A, 72, 1).rational(ifd1, 0x011B, 72, 1);
  b.shortValue(ifd1, 0x0128, 2).blobPointer(ifd1, 0x0201, thumb);
  b.longValue(ifd1, 0x0202, static_cast<uint32_t>(preview.size()));
  return b.build();
}

// Photoshop's image resource 0x0404 holding IPTC datasets of record 2.
std::string iptcPayload(const std::vector<std::pair<int, std::string>>& datasets) {
  std::string iim;
  for (const auto& [number, value] : datasets) {
    iim += std::string{'\x1C', '\x02', static_cast<char>(number)};
    iim += qmtest::be16(static_cast<uint32_t>(value.size())) + value;
  }
  const auto n = static_cast<uint32_t>(iim.size());
  std::string resource =
      std::string("8BIM\x04\x04\0\0", 8) + qmtest::be16(n >> 16) + qmtest::be16(n & 0xFFFF) + iim;
  if (resource.size() % 2) resource.push_back('\0');
  return std::string("Photoshop 3.0\0", 14) + resource;
}

struct Example {
  Example(std::string name, Scene painter) : file(std::move(name)), scene(std::move(painter)) {}
  std::string file;
  Scene scene;
  // Everything below is left out of the scan (only the JFIF header stays).
  bool camera = true;
  Order order = Order::Intel;
  Shot shot{};
  MakerNote makerNote;
  std::optional<Gps> gps;
  std::string iptc;     // APP13 payload
  std::string comment;  // COM text
};

std::string photoFile(const Example& x) {
  constexpr int kWidth = 640, kHeight = 480;
  const Picture picture = painted(x.scene, kWidth, kHeight);
  if (!x.camera) return encode(picture, {80, true, 300});

  const std::string image = encode(picture, {80, false, 180});
  const std::string preview = encode(painted(x.scene, 160, 120), {75, false, 72});
  std::string out = image.substr(0, 2);  // SOI
  out += qmtest::exifSegment(exifBlock(x.order, x.shot, x.makerNote, preview, kWidth, kHeight, x.gps));
  if (!x.iptc.empty()) out += qmtest::segment(0xED, x.iptc);
  if (!x.comment.empty()) out += qmtest::commentSegment(x.comment);
  return out + image.substr(2);
}

std::vector<Example> examples() {
  std::vector<Example> list;

  // Two shots of one summer day with the same compact: the default name
  // format gives them neighbouring names.
  Example lake("IMG_0001.jpg", lakeScene);
  lake.shot = {.make = "Canon",
               .model = "Canon PowerShot Q10",
               .software = "Firmware Version 1.02",
               .taken = "2004:07:14 07:32:05",
               .exposure = {1, 250},
               .fnumber = {56, 10},
               .program = 2,
               .iso = 100,
               .shutterApex = {255, 32},
               .apertureApex = {159, 32},
               .maxApertureApex = {95, 32},
               .metering = 5,
               .flash = 0x10,
               .focal = {74, 10},
               .focalPlaneResolution = Ratio{22640, 10}};
  // Each array opens with its size (filled in). Settings: macro 2 (normal),
  // self timer 0, compression 1 (fine), flash 0 (not fired), drive 0
  // (single), -, focus 4 (single) ..., the zoom range 7.4-22.2 mm in tenths
  // of a millimetre at elements 23 to 25. Shot info: white balance 1
  // (sunny) at element 7. Custom functions: the function number in the high
  // byte, the setting in the low byte (noise reduction on, AE lock/AF, ...).
  lake.makerNote =
      canonNote({0, 2, 0, 1, 0, 0, 0, 4, 65535, 1, 0, 0, 0, 0, 0, 0, 15, 3, 1, 0, 0, 0, 0, 222, 74, 10},
                {0, 0, 160, 160, 0, 0, 0, 1, 0, 12, 0, 5, 0, 0, 0}, 1000001, "IMG:PowerShot Q10 JPEG",
                "Jeanne Martel", {0, 0x0101, 0x0201, 0x0300, 0x0401, 0x0500, 0x0801, 0x0F00});
  lake.iptc = iptcPayload({{0, std::string("\0\x02", 2)},
                           {25, "lac"},
                           {25, "montagne"},
                           {25, "vacances"},
                           {80, "Jeanne Martel"},
                           {90, "Annecy"},
                           {101, "France"},
                           {120, "Le lac au lever du soleil"}});
  list.push_back(lake);

  Example flowers("IMG_0002.jpg", flowerScene);
  flowers.shot = {.make = "Canon",
                  .model = "Canon PowerShot Q10",
                  .software = "Firmware Version 1.02",
                  .taken = "2004:07:14 21:47:31",
                  .exposure = {1, 60},
                  .fnumber = {28, 10},
                  .program = 2,
                  .iso = 100,
                  .shutterApex = {189, 32},
                  .apertureApex = {95, 32},
                  .maxApertureApex = {95, 32},
                  .metering = 5,
                  .flash = 0x19,
                  .focal = {74, 10}};
  // Macro 1, self timer 100 (ten seconds), superfine, flash 1 (auto),
  // drive 1 (continuous), focus 5 (continuous); white balance 5 (flash).
  flowers.makerNote =
      canonNote({0, 1, 100, 0, 1, 1, 0, 5, 65535, 1, 0, 0, 0, 0, 0, 0, 15, 3, 1, 0, 0, 0, 0, 222, 74, 10},
                {0, 0, 188, 95, 0, 0, 0, 5, 0, 13, 0, 5, 0, 0, 0}, 1000002, "IMG:PowerShot Q10 JPEG",
                "Jeanne Martel", {0, 0x0100, 0x0200, 0x0300, 0x0400, 0x0501, 0x0800, 0x0F00});
  flowers.comment = "Fleurs du jardin au crepuscule, au flash";
  list.push_back(flowers);

  // A reflex camera writes its EXIF block big-endian.
  Example snow("DSC_0420.jpg", snowScene);
  snow.order = Order::Motorola;
  snow.shot = {.make = "NIKON CORPORATION",
               .model = "NIKON D1000",
               .software = "Ver.1.01",
               .taken = "2005:02:19 10:05:44",
               .exposure = {1, 500},
               .fnumber = {80, 10},
               .program = 3,
               .iso = 200,
               .shutterApex = {8966, 1000},
               .apertureApex = {6, 1},
               .maxApertureApex = {3, 1},
               .metering = 5,
               .flash = 0,
               .focal = {350, 10}};
  snow.makerNote = nikonNote();
  snow.gps = Gps{'N',       {{45, 1}, {55, 1}, {1230, 100}}, 'E', {{6, 1}, {52, 1}, {4710, 100}},
                 {2317, 1}, {{9, 1}, {5, 1}, {44, 1}}};
  list.push_back(snow);

  Example field("P1010007.jpg", fieldScene);
  field.shot = {.make = "OLYMPUS OPTICAL CO.,LTD",
                .model = "C-3390Z",
                .software = "v752u-74",
                .taken = "2003:08:23 17:12:09",
                .exposure = {1, 320},
                .fnumber = {40, 10},
                .program = 2,
                .iso = 64,
                .shutterApex = {8321, 1000},
                .apertureApex = {4, 1},
                .maxApertureApex = {2970, 1000},
                .metering = 5,
                .flash = 0x18,
                .focal = {71, 10}};
  field.makerNote = olympusNote();
  list.push_back(field);

  Example scan("scan_1987.jpg", sepiaScene);
  scan.camera = false;
  list.push_back(scan);
  return list;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_examples <output folder>\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  for (const Example& x : examples()) {
    const std::string bytes = photoFile(x);
    std::ofstream out(folder / x.file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
      std::cerr << "make_examples: cannot write " << (folder / x.file).string() << "\n";
      return 1;
    }
    std::cout << x.file << " " << bytes.size() << " bytes\n";
  }
  return 0;
}
