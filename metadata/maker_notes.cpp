// Maker notes: the makers' tag tables, the layout of each maker's block, and
// the Canon decoders that split array values into named sub-values.
#include "metadata/maker_notes.hpp"

#include <array>
#include <string_view>
#include <vector>

#include "metadata/tag_tables.hpp"
#include "metadata/text.hpp"
#include "metadata/tiff_directory.hpp"

namespace meta {

namespace {

// One row of a maker's table as written below; turned into TTagEntry rows
// once, on first use.
struct MakerRow {
  uint16_t tag;
  const char* name;
  const char* desc;
  const char* codes = "";
  TagRenderer callback = nullptr;
};

template <size_t N>
std::vector<TTagEntry> toEntries(const std::array<MakerRow, N>& rows) {
  std::vector<TTagEntry> table;
  table.reserve(N);
  for (const MakerRow& r : rows) {
    TTagEntry e;
    e.Tag = r.tag;
    e.Name = r.name;
    e.Desc = r.desc;
    e.Codes = r.codes;
    e.Callback = r.callback;
    table.push_back(std::move(e));
  }
  return table;
}

// The code lists are the program's own texts, kept as they have always read
// (a missing comma in the Nikon quality list, "0=Normal" in the Olympus macro
// list): a look-up simply finds no match where they are broken.
inline constexpr std::array<MakerRow, 28> kNikonA{{
    {0x0001, "FamilyID", "Family ID"},
    {0x0002, "ISOSpeed", "ISO Speed"},
    {0x0003, "ColorMode", "Color Mode"},
    {0x0004, "Quality", "Quality"},
    {0x0005, "WhiteBalance", "White Balance"},
    {0x0006, "ImageSharpening", "Image Sharpening"},
    {0x0007, "FocusMode", "Focus Mode"},
    {0x0008, "FlashSetting", "Flash Setting"},
    {0x0009, "AutoFlashMode", "Auto Flash Mode"},
    {0x000A, "Skip", "Skip"},
    {0x000B, "WhiteBiasValue", "White Bias Value"},
    {0x000F, "DigitalZoom", "Digital Zoom"},
    {0x0010, "Skip", "Skip"},
    {0x0011, "Skip", "Skip"},
    {0x0080, "ImageAdjustment", "Image Adjustment"},
    {0x0081, "ImageAdjustment", "Image Adjustment"},
    {0x0082, "Adapter", "Adapter"},
    {0x0084, "LensInformation", "Lens information"},
    {0x0085, "ManualFocusDistance", "Manual Focus Distance"},
    {0x0086, "DigitalZoom", "Digital Zoom"},
    {0x0088, "FocusArea", "Focus Area"},
    {0x0089, "Mode", "Mode"},
    {0x008D, "ColorMode", "Color Mode"},
    {0x008F, "SceneMode", "Scene Mode"},
    {0x0092, "HueAdjustment", "Hue Adjustment"},
    {0x0094, "Saturation", "Saturation"},
    {0x0095, "NoiseReduction", "Noise Reduction"},
    {0x0F00, "Skip", "Skip"},
}};

inline constexpr std::array<MakerRow, 11> kNikonB{{
    {0x0002, "FamilyID", "FamilyID"},
    {0x0003, "Quality", "Quality",
     "1:Vga Basic,2:Vga Normal,3:Vga Fine,4:SXGA Basic,5:SXGA Normal,6:SXGA Fine10:2 Mpixel Basic,"
     "11:2 Mpixel Normal,12:2 Mpixel Fine"},
    {0x0004, "ColorMode", "ColorMode", "1:Color,2:Monochrome"},
    {0x0005, "ImageAdjustment", "ImageAdjustment", "0:Normal,1:Bright+,2:Bright-,3:Contrast+,4:Contrast-"},
    {0x0006, "ISOSpeed", "ISOSpeed", "0:ISO80,2:ISO160,4:ISO320,5:ISO100"},
    {0x0007, "WhiteBalance", "WhiteBalance",
     "0:Auto,1:Preset,2:Daylight,3:Incandescense,4:Fluorescence,5:Cloudy,6:SpeedLight"},
    {0x0008, "Focus", "Focus"},
    {0x0009, "Skip", "Skip"},
    {0x000A, "DigitalZoom", "DigitalZoom"},
    {0x000B, "Converter", "Converter", "0:Not used,1:Used"},
    {0x0F00, "Skip", "Skip"},
}};

inline constexpr std::array<MakerRow, 33> kOlympus{{
    {0x0200, "SpecialMode", "SpecialMode"},
    {0x0201, "JpegQual", "JpegQual", "1:SQ,2:HQ,3:SHQ,4:Raw"},
    {0x0202, "Macro", "Macro", "0=Normal,1:Macro;"},
    {0x0203, "Skip", "Skip"},
    {0x0204, "DigiZoom", "Digital Zoom Ratio"},
    {0x0205, "Skip", "Skip"},
    {0x0206, "Skip", "Skip"},
    {0x0207, "Firmware", "Firmware"},
    {0x0208, "PictInfo", "Picture Info"},
    {0x0209, "CameraID", "Camera ID"},
    {0x0F00, "Skip", "Skip"},
    {0x1004, "FlashMode", "Flash Mode"},
    {0x1006, "Bracket", "Bracket"},
    {0x100B, "FocusMode", "Focus Mode"},
    {0x100C, "FocusDistance", "Focus Distance"},
    {0x100D, "Zoom", "Zoom"},
    {0x100E, "MacroFocus", "Macro Focus"},
    {0x100F, "Sharpness", "Sharpness"},
    {0x1011, "ColorMatrix", "Color Matrix"},
    {0x1012, "BlackLevel", "Black Level"},
    {0x1015, "WhiteBalance", "White Balance"},
    {0x1017, "RedBias", "Red Bias"},
    {0x1018, "BlueBias", "Blue Bias"},
    {0x101A, "SerialNumber", "SerialNumber"},
    {0x1023, "FlashBias", "Flash Bias"},
    {0x1029, "Contrast", "Contrast"},
    {0x102A, "SharpnessFactor", "Sharpness Factor"},
    {0x102B, "ColorControl", "Color Control"},
    {0x102C, "ValidBits", "Valid Bits"},
    {0x102D, "Coring", "Coring Filter"},
    {0x102E, "FinalWidth", "Final Width"},
    {0x102F, "FinalHeight", "Final Height"},
    {0x1034, "CompressionRatio", "Compression Ratio"},
}};

inline constexpr std::array<MakerRow, 26> kCasio{{
    {0x0001, "RecordingMode", "RecordingMode",
     "1:Single Shutter,2:Panorama,3:Night Scene,4:Portrait,5:Landscape"},
    {0x0002, "Quality", "Quality", "1:Economy,2:Normal,3:Fine"},
    {0x0003, "FocusingMode", "FocusingMode", "2:Macro,3:Auto Focus,4:Manual Focus,5:Infinity"},
    {0x0004, "FlashMode", "FlashMode", "1:Auto,2:On,3:Off,4:Red Eye Reduction"},
    {0x0005, "FlashIntensity", "FlashIntensity", "11:Weak,13:Normal,15:Strong"},
    {0x0006, "ObjectDistance", "ObjectDistance"},
    {0x0007, "WhiteBalance", "WhiteBalance", "1:Auto,2:Tungsten,3:Daylight,4:Fluorescent,5:Shade,129:Manual"},
    {0x0008, "Skip", "Skip"},
    {0x0009, "Skip", "Skip"},
    {0x000A, "DigitalZoom", "DigitalZoom", "65536:Off,65537:2X Digital Zoom"},
    {0x000B, "Sharpness", "Sharpness", "0:Normal,1:Soft,2:Hard"},
    {0x000C, "Contrast", "Contrast", "0:Normal,1:Low,2:High"},
    {0x000D, "Saturation", "Saturation", "0:Normal,1:Low,2:High"},
    {0x000E, "Skip", "Skip"},
    {0x000F, "Skip", "Skip"},
    {0x0010, "Skip", "Skip"},
    {0x0011, "Skip", "Skip"},
    {0x0012, "Skip", "Skip"},
    {0x0013, "Skip", "Skip"},
    {0x0014, "CCDSensitivity", "CCDSensitivity", "64:Normal,125:+1.0,250:+2.0,244:+3.0,80:Normal,100:High"},
    {0x0015, "Skip", "Skip"},
    {0x0016, "Skip", "Skip"},
    {0x0017, "Skip", "Skip"},
    {0x0018, "Skip", "Skip"},
    {0x0019, "Skip", "Skip"},
    {0x001A, "Skip", "Skip"},
}};

inline constexpr std::array<MakerRow, 18> kFuji{{
    {0x0000, "Version", "Version"},
    {0x1000, "Quality", "Quality"},
    {0x1001, "Sharpness", "Sharpness", "1:Soft,2:Soft,3:Normal,4:Hard,5:Hard"},
    {0x1002, "WhiteBalance", "WhiteBalance",
     "0:Auto,256:Daylight,512:Cloudy,768:DaylightColor-fluorescence,769:DaywhiteColor-fluorescence,"
     "770:White-fluorescence,1024:Incandenscense,3840:Custom white balance."},
    {0x1003, "Color", "Color", "0:Normal,256:High,512:Low"},
    {0x1004, "Tone", "Tone", "0:Normal,256:High,512:Low"},
    {0x1010, "FlashMode", "FlashMode", "0:Auto,1:On,2:Off,3:Red-eye reduction"},
    {0x1011, "FlashStrength", "FlashStrength"},
    {0x1020, "Macro", "Macro", "0:Off,1:On"},
    {0x1021, "Focusmode", "Focusmode", "0:Auto Focus,1:Manual Focus"},
    {0x1030, "SlowSync", "SlowSync", "0:Off,1:On"},
    {0x1031, "PictureMode", "PictureMode",
     "0:Auto,1:Portrait scene,2:Landscape scene,4:Sports scene,5:Night scene,6:Program AE,"
     "256:Aperture prior AE,512:Shutter prior AE,768:Manual exposure"},
    {0x1032, "Skip", "Skip"},
    {0x1100, "ContTake/Bracket", "ContTake/Bracket", "0:Off,1:On"},
    {0x1200, "Skip", "Skip"},
    {0x1300, "BlurWarning", "BlurWarning", "0:No blur warning,1:Blur warning"},
    {0x1301, "FocusWarning", "FocusWarning", "0:Auto Focus good,1:Out of focus"},
    {0x1302, "AEWarning", "AEWarning", "0:AE good,1:Over exposure"},
}};

inline constexpr std::array<MakerRow, 16> kCanon{{
    {0x0000, "Skip", "Skip"},
    {0x0001, "ExposureInfo1", "ExposureInfo1", "", CanonCameraSettings},
    {0x0002, "Skip", "Skip"},
    {0x0003, "Skip", "Skip"},
    {0x0004, "ExposureInfo2", "ExposureInfo2", "", CanonShotInfo},
    {0x0006, "ImageType", "ImageType"},
    {0x0007, "FirmwareVersion", "FirmwareVersion"},
    {0x0008, "ImageNumber", "ImageNumber"},
    {0x0009, "OwnerName", "OwnerName"},
    {0x000A, "Skip", "Skip"},
    {0x000B, "Skip", "Skip"},
    {0x000C, "CameraSerialNumber", "CameraSerialNumber"},
    {0x000D, "Skip", "Skip"},
    {0x000E, "Skip", "Skip"},
    {0x000F, "CustomFunctions", "CustomFunctions", "", CanonCustomFunctions},
    {0x0010, "Skip", "Skip"},
}};

inline constexpr std::array<MakerRow, 12> kSeiko{{
    {0x0200, "Special Mode", "Special Mode"},
    {0x0201, "JpegQuality", "JpegQuality"},
    {0x0202, "Macro", "Macro"},
    {0x0203, "Skip", "Skip"},
    {0x0204, "DigiZoom", "DigiZoom"},
    {0x0209, "CameraID", "CameraID"},
    {0x020A, "Comments", "Comments"},
    {0x020B, "Width", "Width"},
    {0x020C, "Height", "Height"},
    {0x020D, "SoftRelease", "SoftRelease"},
    {0x0300, "??", "??"},
    {0x0F00, "skip", "skip"},
}};

inline constexpr std::array<MakerRow, 6> kSanyo{{
    {0x0200, "Special Mode", "Special Mode"},
    {0x0201, "JpegQuality", "JpegQuality"},
    {0x0202, "Macro", "Macro"},
    {0x0203, "Skip", "Skip"},
    {0x0204, "DigiZoom", "DigiZoom"},
    {0x0F00, "DataDump", "DataDump"},
}};

inline constexpr std::array<MakerRow, 2> kMinolta{{
    {0x0000, "ModelID", "ModelID"},
    {0x0E00, "PIMdata", "PIMdata"},
}};

const std::vector<TTagEntry>& nikonTableA() {
  static const std::vector<TTagEntry> table = toEntries(kNikonA);
  return table;
}
const std::vector<TTagEntry>& nikonTableB() {
  static const std::vector<TTagEntry> table = toEntries(kNikonB);
  return table;
}
const std::vector<TTagEntry>& olympusTable() {
  static const std::vector<TTagEntry> table = toEntries(kOlympus);
  return table;
}
const std::vector<TTagEntry>& casioTable() {
  static const std::vector<TTagEntry> table = toEntries(kCasio);
  return table;
}
const std::vector<TTagEntry>& fujiTable() {
  static const std::vector<TTagEntry> table = toEntries(kFuji);
  return table;
}
const std::vector<TTagEntry>& canonTable() {
  static const std::vector<TTagEntry> table = toEntries(kCanon);
  return table;
}
const std::vector<TTagEntry>& seikoTable() {
  static const std::vector<TTagEntry> table = toEntries(kSeiko);
  return table;
}
const std::vector<TTagEntry>& sanyoTable() {
  static const std::vector<TTagEntry> table = toEntries(kSanyo);
  return table;
}
const std::vector<TTagEntry>& minoltaTable() {
  static const std::vector<TTagEntry> table = toEntries(kMinolta);
  return table;
}

// ---- Block layouts -------------------------------------------------------

// Extra test a Nikon layout needs besides the make.
enum class Condition { None, NikonNewLayout, NoteStartsWithNikon };
// Byte order of the walk: the EXIF block's, always little-endian (Fuji), or
// the one named by the TIFF header that newer Nikon notes carry at byte 10.
enum class WalkOrder { Recorded, LittleEndian, NoteHeader };

// p4: directory offset in the note; p5 = (fromNotePos ? P : 0) + p5Delta says
// where stored offsets count from; p6: owner-buffer base of values beyond the
// note. See ParseMakerNoteDirectory.
struct MakerLayout {
  const char* key;
  Condition condition;
  const std::vector<TTagEntry>& (*table)();
  int32_t p4;
  bool fromNotePos;
  int32_t p5Delta;
  int32_t p6;
  WalkOrder order;
};

// First match wins; the three Nikon rows are tried in this order.
inline constexpr std::array<MakerLayout, 10> kMakerLayouts{{
    {"NIKON", Condition::NikonNewLayout, nikonTableA, 18, false, 9, 0, WalkOrder::NoteHeader},
    {"NIKON", Condition::NoteStartsWithNikon, nikonTableB, 8, true, 0, 0, WalkOrder::Recorded},
    {"NIKON", Condition::None, nikonTableA, 0, true, -8, 0, WalkOrder::Recorded},
    {"OLYMP", Condition::None, olympusTable, 8, true, 0, 9, WalkOrder::Recorded},
    {"CASIO", Condition::None, casioTable, 0, true, -8, 0, WalkOrder::Recorded},
    {"FUJIF", Condition::None, fujiTable, 12, false, 13, 0, WalkOrder::LittleEndian},
    {"CANON", Condition::None, canonTable, 0, true, -8, 0, WalkOrder::Recorded},
    {"SEIKO", Condition::None, seikoTable, 8, true, 0, 0, WalkOrder::Recorded},
    {"SANYO", Condition::None, sanyoTable, 8, true, 0, 0, WalkOrder::Recorded},
    {"MINOL", Condition::None, minoltaTable, 0, true, -8, 0, WalkOrder::Recorded},
}};

// The letter that follows the first blank of the model ("D" of "NIKON D70"),
// or the model's first letter when it has no blank.
char modelSeriesLetter(std::string_view model) {
  const size_t blank = model.find(' ');
  const size_t at = blank == std::string::npos ? 0 : blank + 1;
  return at < model.size() ? model[at] : '\0';
}

// ---- Canon sub-values ----------------------------------------------------

// Field 0 is the text before the first comma; field k the text after the k-th
// comma, so it keeps the blank that follows the comma. Past the last: empty.
std::string fieldOf(const std::string& text, int k) {
  size_t start = 0;
  for (int i = 0; i < k; ++i) {
    const size_t comma = text.find(',', start);
    if (comma == std::string::npos) return {};
    start = comma + 1;
  }
  const size_t end = text.find(',', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool blankOnly(const std::string& s) { return s.find_first_not_of(' ') == std::string::npos; }

struct SubValue {
  int field;
  const char* label;
  const char* codes;  // nullptr: the field's text is shown as it is
};

// The code lists of a sub-value table, parsed once per table by its caller.
template <typename Row, size_t N>
std::array<tCodeList, N> codeListsOf(const std::array<Row, N>& rows) {
  std::array<tCodeList, N> lists;
  for (size_t i = 0; i < N; ++i)
    if (rows[i].codes) lists[i] = rows[i].codes;
  return lists;
}

template <size_t N>
void addSubValues(const std::string& text, std::vector<TTagEntry>& rows,
                  const std::array<SubValue, N>& fields, const std::array<tCodeList, N>& codes) {
  for (size_t i = 0; i < N; ++i) {
    const SubValue& f = fields[i];
    const std::string field = fieldOf(text, f.field);
    const std::string value = f.codes ? codes[i].Lookup(field) : field;
    if (!blankOnly(value)) rows.push_back(ComputedRow(f.label, value, ASCII));
  }
}

// The text reaching the decoders renders at most eight array elements, so the
// fields from 8 on are always empty: their sub-values never show.
inline constexpr char kLowNormalHigh[] = "65535:Low,0:Normal,1:High";

inline constexpr std::array<SubValue, 20> kCameraSettings{{
    {1, "Macro mode", "1:Macro,2:Normal"},
    {2, "Self Timer", nullptr},
    {3, "Compression Rate", "0:SuperFine,1:Fine,2:Normal,3:Basic,5:SuperFine"},
    {4, "Flash Mode",
     "0:Not fired,1:Auto,2:On,3:Red-eye,4:Slow sync,5:Auto+red-eye,6:On+red eye,16:External flash"},
    {5, "Drive Mode", "0:Single,1:Continuous"},
    {7, "Focus Mode", "0:One-Shot,1:AI Servo,2:AI Focus,3:MF,4:Single,5:Continuous,6:MF"},
    {10, "Image Size", "0:Large,1:Medium,2:Small,4:5MPixel,5:2 MPixel,6:1.5 MPixel"},
    {11, "Easy Shoot",
     "0:Full Auto,1:Manual,2:Landscape,3:Fast Shutter,4:Slow Shutter,5:Night,6:B&W,7:Sepia,8:Portrait,"
     "9:Sports,10:Macro/Close-Up,11:Pan Focus"},
    {13, "Contrast", kLowNormalHigh},
    {14, "Saturation", kLowNormalHigh},
    {15, "Sharpness", kLowNormalHigh},
    {16, "CCD ISO", "0:Not used,15:auto,16:50,17:100,18:200,19:400"},
    {17, "Metering Mode", kLowNormalHigh},
    {19, "AF Point", kLowNormalHigh},
    {20, "Exposure Mode", kLowNormalHigh},
    {24, "Long focal", nullptr},
    {25, "Short focal", nullptr},
    {26, "Focal Units", nullptr},
    {29, "Flash Details", nullptr},
    {32, "Focus Mode", kLowNormalHigh},
}};

inline constexpr std::array<SubValue, 6> kShotInfo{{
    {7, "White balance", "0:Auto,1:Sunny,2:Cloudy,3:Tungsten,4:Flourescent,5:Flash,6:Custom"},
    {9, "Sequence Number", nullptr},
    {11, "OpticalZoom Step", nullptr},
    {14, "AF point", nullptr},
    {15, "Flash bias",
     "65472:-2 EV,65484:-1.67 EV,65488:-1.50 EV,65492:-1.33 EV,65504:-1 EV,65516:-0.67 EV,65520:-0.50 EV,"
     "65524:-0.33 EV,0:0 EV,12:0.33 EV,16:0.50 EV,20:0.67 EV,32:1 EV,44:1.33 EV,48:1.50 EV,52:1.67 EV,"
     "64:2 EV"},
    {19, "Distance", nullptr},
}};

struct CustomFunction {
  const char* label;
  const char* codes;
};

// Indexed by function number - 1.
inline constexpr std::array<CustomFunction, 15> kCustomFunctions{{
    {"Noise Reduction", "0: Off,1: On"},
    {"Shutter AE Lock Button", "0:AF/AE lock,1:AE lock/AF,2:AF/AF lock,3:AE+release/AE+AF"},
    {"Mirror Lockup", "0:Disable,1:Enable"},
    {"Exposure Level", "0:1/2 stop,1:1/3 stop"},
    {"AF Assist", "0:On (auto),1:Off"},
    {"AV Shutter Speed", "0:Automatic,1: 1/200 (fixed)"},
    {"AEB Sequence", "0:0, -, + / Enabled1: 0, -, + / Disabled,2: -, 0, + / Enabled,3: -, 0, + / Disabled"},
    {"Shutter Sync", "0:1st-curtain sync,1: 2nd-curtain sync"},
    {"Lens AF Button", "0:AF stop,1:Operate AF,2:Lock AE and start timer"},
    {"Fill Flash Reduction", "0:Enable,1:Disable"},
    {"Menu Return", "0:Top,1:Previous (volatile),2:Previous"},
    {"Set Button", "0:Not assigned,1:Change quality,2:Change ISO speed,3:Select parameters"},
    {"Sensor Cleaning", "0:Disable,1:Enable"},
    {"Superimposed Display", "0: On,1: Off"},
    {"Shutter Release w/o CF Card", "0:Enable,1:Disable"},
}};

}  // namespace

std::string CanonCameraSettings(const std::string& text, std::vector<TTagEntry>& rows) {
  static const auto codes = codeListsOf(kCameraSettings);
  addSubValues(text, rows, kCameraSettings, codes);
  return text;
}

std::string CanonShotInfo(const std::string& text, std::vector<TTagEntry>& rows) {
  static const auto codes = codeListsOf(kShotInfo);
  addSubValues(text, rows, kShotInfo, codes);
  return text;
}

// Each element holds a function number in its high byte and the function's
// setting in its low byte.
std::string CanonCustomFunctions(const std::string& text, std::vector<TTagEntry>& rows) {
  static const auto codes = codeListsOf(kCustomFunctions);
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    const std::string field =
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    long long v = 0;
    if (parseWholeNumber(field, v)) {
      const long long function = v / 256;
      if (function >= 1 && function <= static_cast<long long>(kCustomFunctions.size())) {
        const size_t i = static_cast<size_t>(function - 1);
        const std::string setting = codes[i].Lookup(std::to_string(v % 256));
        if (!setting.empty()) rows.push_back(ComputedRow(kCustomFunctions[i].label, setting, ASCII));
      }
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return text;
}

TmsInfo::TmsInfo(tMakerNoteContext& context)
    : context_(context),
      // The note's position in a TIFF read buffer is 16 below the one that
      // TIFF offsets would give in a JPEG segment (bases -7 and +9), so the
      // JPEG arithmetic of the layouts holds for both kinds of file.
      makerNotePos_(context.MakerNotePos + (context.FromTiff ? kJpegExifBase - kTiffFileBase : 0)) {}

bool TmsInfo::DecodeMakerNote() {
  const std::string key = toUpper(context_.CameraMake.substr(0, 5));
  const ByteString& note = context_.Note;
  const std::string_view version = context_.ExifVersion;
  for (const MakerLayout& layout : kMakerLayouts) {
    if (key != layout.key) continue;
    if (layout.condition == Condition::NikonNewLayout) {
      const bool newer = version > "0210" || (version.empty() && context_.FromTiff &&
                                              modelSeriesLetter(context_.CameraModel) == 'D');
      if (!newer) continue;
    } else if (layout.condition == Condition::NoteStartsWithNikon) {
      if (note.compare(0, 5, "Nikon") != 0) continue;
    }

    bool bigEndian = context_.BigEndian;
    if (layout.order == WalkOrder::LittleEndian) {
      bigEndian = false;
    } else if (layout.order == WalkOrder::NoteHeader && note.size() >= 12) {
      // Editing software may rewrite the EXIF block in the other byte order
      // but leaves the camera's note, and its own header, untouched.
      const std::string_view mark = std::string_view(note).substr(10, 2);
      if (mark == "II") bigEndian = false;
      if (mark == "MM") bigEndian = true;
    }
    const int32_t p5 = (layout.fromNotePos ? makerNotePos_ : 0) + layout.p5Delta;
    ParseMakerNoteDirectory(context_, bigEndian, layout.table(), layout.p4, p5, layout.p6);
    return true;
  }
  return false;
}

}  // namespace meta
