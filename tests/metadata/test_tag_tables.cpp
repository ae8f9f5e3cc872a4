// Tag tables, value rendering and the EXIF/GPS renderers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "metadata/exif_parser.hpp"
#include "metadata/faults.hpp"
#include "metadata/locale.hpp"
#include "metadata/tag_tables.hpp"
#include "testkit/exif_builder.hpp"

namespace {

using meta::ByteString;
using qmtest::Encoder;
using qmtest::Order;

const Encoder kIntel(Order::Intel);
const Encoder kMotorola(Order::Motorola);

class TagTables : public ::testing::Test {
 protected:
  void SetUp() override { meta::setCurrentLocale(meta::Locale{'.', "%d/%m/%Y"}); }
  void TearDown() override { meta::setCurrentLocale(meta::Locale{'.', "%d/%m/%Y"}); }
  std::vector<meta::TTagEntry> rows;  // the EXIF renderers never touch them
};

std::string codesOf(uint16_t tag) { return meta::FindRowOf(tag, meta::kMainDirectory).Codes; }
std::string formatOf(uint16_t tag) { return meta::FindRowOf(tag, meta::kMainDirectory).Template; }

TEST_F(TagTables, RenderValueThroughTheTableRows) {
  struct Case {
    const char* label;
    uint16_t tag;  // codes and template come from this row
    ByteString raw;
    int32_t type;
    bool big;
    std::string expected;
  };
  std::string twenty;
  for (uint16_t i = 0; i < 20; ++i) twenty += kIntel.u16(i);
  const Case cases[] = {
      {"XResolution 72/1 II", 0x011A, kIntel.rationals({{72, 1}}), meta::RATIONAL, false, "72.00"},
      {"XResolution 72/1 MM", 0x011A, kMotorola.rationals({{72, 1}}), meta::RATIONAL, true, "72.00"},
      {"FocalLength 58/10", 0x920A, kIntel.rationals({{58, 10}}), meta::RATIONAL, false, " 5.80 mm"},
      {"FNumber 28/10", 0x829D, kMotorola.rationals({{28, 10}}), meta::RATIONAL, true, "F2.8"},
      {"ApertureValue 5/1 (APEX shown as is)", 0x9202, kIntel.rationals({{5, 1}}), meta::RATIONAL, false,
       "F5.0"},
      {"ExposureTime 10/600 not reduced", 0x829A, kIntel.rationals({{10, 600}}), meta::RATIONAL, false,
       "10/600 sec"},
      {"FocalLengthin35mmFilm SHORT 50", 0xA405, kIntel.shorts({50}), meta::SHORT, false, "50.00 mm"},
      {"ISOSpeedRatings 100", 0x8827, kMotorola.shorts({100}), meta::SHORT, true, "100"},
      {"BitsPerSample 8,8,8", 0x0102, kMotorola.shorts({8, 8, 8}), meta::SHORT, true, "8, 8, 8"},
      {"MeteringMode 5", 0x9207, kIntel.shorts({5}), meta::SHORT, false, "MultiSegment"},
      {"MeteringMode 255 not listed", 0x9207, kIntel.shorts({255}), meta::SHORT, false, ""},
      {"Orientation 1", 0x0112, kIntel.shorts({1}), meta::SHORT, false, "Normal"},
      {"Orientation 3", 0x0112, kIntel.shorts({3}), meta::SHORT, false, "Rotated 180\xC2\xB0"},
      {"Orientation 6", 0x0112, kMotorola.shorts({6}), meta::SHORT, true, "CounterClockwise 90\xC2\xB0"},
      {"Orientation 8", 0x0112, kIntel.shorts({8}), meta::SHORT, false, "Clockwise 90\xC2\xB0"},
      {"Orientation 2 not listed", 0x0112, kIntel.shorts({2}), meta::SHORT, false, ""},
      {"PhotometricInterpretation 2", 0x0106, kIntel.shorts({2}), meta::SHORT, false, "RGB"},
      {"coded array keeps its separators", 0x9207, kIntel.shorts({1, 9, 3}), meta::SHORT, false,
       "Average, , Spot"},
      {"20 SHORTs cut to 8", 0x0111, twenty, meta::SHORT, false, "0, 1, 2, 3, 4, 5, 6, 7"},
      {"SSHORT -1 not sign-extended", 0x0111, kIntel.u16(0xFFFF), meta::SSHORT, false, "65535"},
      {"SBYTE -1 not sign-extended", 0x0111, "\xFF", meta::SBYTE, false, "255"},
      {"SLONG -1", 0x0111, kMotorola.u32(0xFFFFFFFF), meta::SLONG, true, "-1"},
      {"LONG II", 0x0111, std::string("\x00\x00\x01\x00", 4), meta::LONG, false, "65536"},
      {"LONG MM", 0x0111, std::string("\x00\x00\x01\x00", 4), meta::LONG, true, "256"},
      {"SRATIONAL -1/3", 0x0111, kIntel.srationals({{-1, 3}}), meta::SRATIONAL, false, "-1/3"},
      {"RATIONAL numerator 2^31", 0x0111, kIntel.rationals({{0x80000000u, 1}}), meta::RATIONAL, false,
       "-2147483648/1"},
      {"FLOAT per element", 0x0111, kIntel.longs({0x3FC00000, 0}), meta::FLOAT, false, "-9999.99, -9999.99"},
      {"DOUBLE", 0x0111, std::string(8, '\0'), meta::DOUBLE, false, "-9999.99"},
      {"shorter than one element", 0x0111, "\x01", meta::SHORT, false, ""},
      {"type 0", 0x0111, "\x01\x02", 0, false, "0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(meta::RenderValue(c.raw, c.type, codesOf(c.tag), formatOf(c.tag), c.big), c.expected);
  }
}

TEST_F(TagTables, RenderValueTemplatesUseTheNumericValue) {
  // A float with a template is formatted from its IEEE value; the text form is
  // only the placeholder.
  EXPECT_EQ(meta::RenderValue(kMotorola.u32(0x3FC00000), meta::FLOAT, "", "F%0.1f", true), "F1.5");
  EXPECT_EQ(meta::RenderValue(kIntel.rationals({{1, 0}}), meta::RATIONAL, "", "%5.2f", false), " 0.00");
  EXPECT_THROW(meta::RenderValue("\x01", 13, "", "", false), meta::DecodeFault);
}

TEST_F(TagTables, GpsCodesComeFromTheGpsTable) {
  const std::string codes = meta::FindRowOf(0x0005, meta::kGpsDirectory).Codes;
  EXPECT_EQ(meta::RenderValue(std::string(1, '\0'), meta::BYTE, codes, "", false), "Sealevel");
  EXPECT_EQ(meta::RenderValue("\x01", meta::BYTE, codes, "", false), "");
}

TEST_F(TagTables, DecimalSeparatorComesFromTheLocale) {
  meta::setCurrentLocale(meta::Locale{',', "%d/%m/%Y"});
  EXPECT_EQ(meta::RenderValue(kIntel.rationals({{72, 1}}), meta::RATIONAL, "", "%5.2f", false), "72,00");
  EXPECT_EQ(meta::RenderValue(kIntel.rationals({{28, 10}}), meta::RATIONAL, "", "F%0.1f", false), "F2,8");
  EXPECT_EQ(meta::RenderShutterSpeed("6906891/1000000", rows), "0,0083 sec (1/120)");
  // Fractions in the text form are not numbers and keep their slash.
  EXPECT_EQ(meta::RenderValue(kIntel.rationals({{10, 600}}), meta::RATIONAL, "", "%s sec", false),
            "10/600 sec");
}

TEST_F(TagTables, NumericValue) {
  struct Case {
    const char* label;
    ByteString raw;
    int32_t type;
    bool big;
    double expected;
  };
  const Case cases[] = {
      {"two SHORTs form one number", kIntel.shorts({1, 2}), meta::SHORT, false, 131073},
      {"SSHORT not sign-extended", kMotorola.u16(0xFFFE), meta::SSHORT, true, 65534},
      {"RATIONAL first element only", kIntel.rationals({{3, 4}, {9, 1}}), meta::RATIONAL, false, 0.75},
      {"SRATIONAL negative", kMotorola.srationals({{-1, 4}}), meta::SRATIONAL, true, -0.25},
      {"zero denominator", kIntel.rationals({{5, 0}}), meta::RATIONAL, false, 0},
      {"truncated rational", kIntel.u32(5), meta::RATIONAL, false, 0},
      {"FLOAT II", kIntel.u32(0x3FC00000), meta::FLOAT, false, 1.5},
      {"FLOAT MM", kMotorola.u32(0xC0200000), meta::FLOAT, true, -2.5},
      {"DOUBLE MM", kMotorola.longs({0x40590000, 0}), meta::DOUBLE, true, 100},
      {"short FLOAT", "\x01\x02", meta::FLOAT, false, 0},
      {"ASCII", "12", meta::ASCII, false, 0},
      {"UNDEFINED", "12", meta::UNDEFINED, false, 0},
      {"type above 12 never faults", "12", 13, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_DOUBLE_EQ(meta::NumericValue(c.raw, c.type, c.big), c.expected);
  }
}

TEST_F(TagTables, FlashRenderer) {
  const std::pair<const char*, const char*> cases[] = {
      {"0", "Off"},
      {"1", "On"},
      {"25", "On, auto mode"},
      {"89", "On, auto mode, red-eye reduction"},
      {"3", "On, UNKNOWN"},
      {"5", "On, no strobe return"},
      {"7", "On, strobe return"},
      {"9", "On, forced"},
      {"16", "Off, surpressed"},
      {"32", "Off, no flash function"},
      {"95", "On, strobe return, auto mode, red-eye reduction"},
  };
  for (auto [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(meta::RenderFlash(text, rows), expected);
  }
  EXPECT_THROW(meta::RenderFlash("1, 0", rows), meta::DecodeFault);
  EXPECT_THROW(meta::RenderFlash("", rows), meta::DecodeFault);
}

TEST_F(TagTables, ShutterSpeedRenderer) {
  const std::pair<const char*, const char*> cases[] = {
      {"6906891/1000000", "0.0083 sec (1/120)"},
      {"0/1", "1.0000 sec"},
      {"1/1", "0.5000 sec (1/2)"},
      {"-1/1", "2.0000 sec"},
      {"not a fraction", "1.0000 sec"},
  };
  for (auto [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(meta::RenderShutterSpeed(text, rows), expected);
  }
  // Infinite time and infinite rate: the caller keeps the value's own text.
  EXPECT_THROW(meta::RenderShutterSpeed("-2147483648/1", rows), meta::DecodeFault);
  EXPECT_THROW(meta::RenderShutterSpeed("2147483647/1", rows), meta::DecodeFault);
}

TEST_F(TagTables, ComponentsAndCommentRenderers) {
  EXPECT_EQ(meta::RenderComponents("\"\x01\x02\x03\"", rows), "YCbCr");
  EXPECT_EQ(meta::RenderComponents("\"\x04\x05\x06\x07\"", rows), "RGB");
  EXPECT_THROW(meta::RenderComponents("\"\x01\"", rows), meta::DecodeFault);
  EXPECT_EQ(meta::RenderComment(std::string("ASCII\0\0\0Hello", 13), rows), "Hello");
  EXPECT_EQ(meta::RenderComment("ASCII", rows), "");
}

TEST_F(TagTables, WideTextRenderer) {
  const std::pair<const char*, const char*> cases[] = {
      {"84, 0, 101, 0, 115, 0, 116, 0", "Test"},
      {"65, 0, 66", "A"},  // the last item has no comma after its number
      {"65, 0, 0, 1", "A"},
      {"65", ""},
  };
  for (auto [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(meta::RenderWideText(text, rows), expected);
  }
}

TEST_F(TagTables, CoordinateAndTimeStampRenderers) {
  const std::pair<const char*, const char*> coordinates[] = {
      {"48/1, 5150/100, 0/1", "48 Degrees 51 Minutes 30 Seconds"},
      {"48/1, 51/1, 30/1", "48 Degrees 51 Minutes 30 Seconds"},
      {"48/1, 5125/100, 10/1", "48 Degrees 51 Minutes 10 Seconds"},  // seconds given: no conversion
      {"48/1, 30/1", "48 Degrees 0 Minutes 30 Seconds"},
      {"30/1", "0 Degrees 0 Minutes 30 Seconds"},
  };
  for (auto [text, expected] : coordinates) {
    SCOPED_TRACE(text);
    EXPECT_EQ(meta::RenderCoordinate(text, rows), expected);
  }
  EXPECT_EQ(meta::RenderTimeStamp("14/1, 5/1, 7/1", rows), "14:5:7");
}

TEST(TagTextHelpers, SplitCamelCase) {
  const std::pair<const char*, const char*> cases[] = {
      {"ExposureTime", "Exposure Time"},
      {"FNumber", "FNumber"},
      {"ISOSpeedRatings", "ISOSpeed Ratings"},
      {"T4Options", "T4 Options"},
      {"YCbCrPositioning", "YCb Cr Positioning"},
      {"GPSDestBearingkRef", "GPSDest Bearingk Ref"},
      {"Unknown", "Unknown"},
      {"", ""},
  };
  for (auto [name, expected] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(meta::SplitCamelCase(name), expected);
  }
}

TEST(TagTextHelpers, LookupCode) {
  const char* codes = "1:Daylight,10:Flash,0:Unknown,19:Std C";
  const std::pair<const char*, const char*> cases[] = {
      {"1", "Daylight"},    {"10", "Flash"}, {"0", "Unknown"}, {"19", "Std C"},
      {" 10\r\n", "Flash"}, {"2", ""},       {"", ""},
  };
  for (auto [key, expected] : cases) {
    SCOPED_TRACE(key);
    EXPECT_EQ(meta::LookupCode(codes, key), expected);
  }
  EXPECT_EQ(meta::LookupCode("", "1"), "");
}

// The lists are parsed once; the answers stay those of the text as written,
// broken lists included.
TEST(TagTextHelpers, LookupCodeInOddLists) {
  struct Case {
    const char* codes;
    const char* key;
    const char* expected;
  };
  const Case cases[] = {
      {"2:b,1:first,1:second", "1", "first"},              // the first entry of a key wins
      {"6:Fine10:2 Mpixel,11:x", "6", "Fine10:2 Mpixel"},  // a missing comma: the text runs on
      {"6:Fine10:2 Mpixel,11:x", "10", ""},
      {"0=Normal,1:Macro;", "0=Normal", ""},  // an entry without a colon has no key
      {"0=Normal,1:Macro;", "1", "Macro;"},
      {"0: Off,1: On", "1", " On"},  // the blank after the colon is kept
      {" 1:a", "1", ""},             // an entry's key is not trimmed
      {":none,1:a", " ", "none"},    // the empty key
      {"a:b:c,x:y", "a:b", "c"},     // keys holding a colon or a comma are
      {"1:a,2:b", "1:a,2", "b"},     // looked for in the text itself
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.codes) + " / " + c.key);
    EXPECT_EQ(meta::LookupCode(c.codes, c.key), c.expected);
  }
}

TEST(TagTextHelpers, ParseFraction) {
  const std::pair<const char*, double> cases[] = {
      {"1/2", 0.5}, {"  3/4 ", 0.75}, {"-1/4", -0.25}, {"1 1/2", 1.5}, {"5", 0},
      {"1/0", 0},   {"a/2", 0},       {"x 1/2", 0},    {"", 0},        {"1/2/3", 0},
  };
  for (auto [text, expected] : cases) {
    SCOPED_TRACE(text);
    EXPECT_DOUBLE_EQ(meta::ParseFraction(text), expected);
  }
}

TEST(TagTextHelpers, PrintableText) {
  EXPECT_EQ(meta::PrintableText(std::string("a\0b\tc\x7F\xC3\xA9", 8)), "a.b.c\x7F\xC3\xA9");
  EXPECT_EQ(meta::PrintableText(std::string(80, 'x')), std::string(50, 'x'));
}

TEST(TagTextHelpers, RoundToInt32GoesToEvenAndChecksRange) {
  const std::pair<double, int32_t> cases[] = {
      {2.5, 2},
      {3.5, 4},
      {-2.5, -2},
      {2.4999, 2},
      {2.5001, 3},
      {-0.5, 0},
      {2147483647.4, 2147483647},
      {-2147483648.5, -2147483647 - 1},
  };
  for (auto [value, expected] : cases) {
    SCOPED_TRACE(value);
    EXPECT_EQ(meta::roundToInt32(value), expected);
  }
  for (double bad : {2147483647.5, -2147483649.0, std::nan(""), std::numeric_limits<double>::infinity()})
    EXPECT_THROW(meta::roundToInt32(bad), meta::DecodeFault);
  EXPECT_EQ(meta::typeSizeOf(meta::DOUBLE), 8);
  EXPECT_THROW(meta::typeSizeOf(13), meta::DecodeFault);
  EXPECT_THROW(meta::typeSizeOf(-1), meta::DecodeFault);
}

TEST(TagTableLookup, FindRowOfSelectsTheTableByDirectoryKind) {
  struct Case {
    int32_t tag, kind;
    const char* name;
    uint16_t expectedTag;
  };
  const Case cases[] = {
      {0x001E, meta::kGpsDirectory, "GPSDifferential", 0x001E},
      {0x0000, meta::kGpsDirectory, "GPSVersionID", 0x0000},
      {0x0002, meta::kGpsDirectory, "GPSLatitude", 0x0002},
      {0x0002, meta::kMainDirectory, "InteroperabilityVersion", 0x0002},
      {0x829A, meta::kPreviewDirectory, "ExposureTime", 0x829A},
      {0xA420, meta::kMainDirectory, "ImageUniqueID", 0xA420},
      {0x829A, meta::kGpsDirectory, "Unknown", 0},
      {0x1234, meta::kMainDirectory, "Unknown", 0},
      {0x0000, meta::kMainDirectory, "Unknown", 0},
      {0x829A, 3, "Unknown", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.tag) + " kind " + std::to_string(c.kind));
    const meta::TTagEntry& row = meta::FindRowOf(c.tag, c.kind);
    EXPECT_EQ(row.Name, c.name);
    EXPECT_EQ(row.Tag, c.expectedTag);
  }
}

TEST(TagTableLookup, TablesAndCompletedDescriptions) {
  meta::CompleteDescriptions();
  meta::CompleteDescriptions();  // a second run changes nothing
  const auto& exif = meta::ExifTagTable();
  const auto& gps = meta::GpsTagTable();
  ASSERT_EQ(exif.size(), 251u);
  ASSERT_EQ(gps.size(), 31u);
  EXPECT_EQ(exif[250].Name, "Unknown");
  EXPECT_EQ(exif[250].Tag, 0);
  for (const auto* table : {&exif, &gps})
    for (const meta::TTagEntry& row : *table) {
      SCOPED_TRACE(row.Name);
      EXPECT_FALSE(row.Desc.empty());
      EXPECT_EQ(row.Group, 0);
      EXPECT_TRUE(row.Data.empty() && row.Raw.empty() && row.Size == 0);
    }
  const std::pair<uint16_t, const char*> descriptions[] = {
      {0x829A, "Exposure Time"},
      {0x829D, "FNumber"},
      {0x0122, "Gray Reponse Unit"},
      {0x83BB, "IPTC/NAA"},
      {0xA216, "TIFF/EPStandardID"},
      {0x9216, "TIFF/ EPStandard ID"},
      {0xA405, "Focal Length in 35mm Film"},
  };
  for (auto [tag, desc] : descriptions) {
    SCOPED_TRACE(tag);
    EXPECT_EQ(meta::FindRowOf(tag, meta::kMainDirectory).Desc, desc);
  }
  EXPECT_EQ(meta::FindRowOf(0xA405, meta::kMainDirectory).Name, "FocalLengthin35mmFilm");
  EXPECT_EQ(meta::FindRowOf(0x0017, meta::kGpsDirectory).Desc, "GPSDest Bearingk Ref");
  EXPECT_EQ(meta::FindRowOf(0x0005, meta::kGpsDirectory).Codes, "0:Sealevel");
  EXPECT_EQ(meta::FindRowOf(0x0007, meta::kGpsDirectory).Callback, &meta::RenderTimeStamp);
  for (uint16_t tag = 0x9C9B; tag <= 0x9C9F; ++tag)
    EXPECT_EQ(meta::FindRowOf(tag, meta::kMainDirectory).Callback, &meta::RenderWideText);
  EXPECT_EQ(meta::EmptyTagRow().Name, "");
  EXPECT_EQ(meta::EmptyTagRow().Tag, 0);
}

}  // namespace
