#include "metadata/tag_tables.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "metadata/byte_reader.hpp"
#include "metadata/faults.hpp"
#include "metadata/locale.hpp"

namespace meta {

namespace {

// One row of a constant tag table as it is written down. The rows handed out
// (TTagEntry) own their strings; these are the literals they are made from.
struct TagTableRow {
  uint16_t tag;
  const char* name;
  const char* desc;    // empty: derived from the name on first use
  const char* codes;   // "number:text" entries separated by commas
  const char* format;  // printf-like template; "%s" stands for the value text
  TagRenderer render;
};

// Code lists, named after the tag that uses them. The degree sign of the
// orientation texts is stored as its two UTF-8 bytes and reaches the report
// unchanged.
// clang-format off
constexpr const char kCompressionCodes[] = "6:Jpeg,3:Uncompressed,1:TIFF";
constexpr const char kPhotometricInterpretationCodes[] = "1:Monochrome,2:RGB,6:YCbCr";
constexpr const char kOrientationCodes[] = "1:Normal,3:Rotated 180\xC2\xB0" ",6:CounterClockwise 90\xC2\xB0" ",8:Clockwise 90\xC2\xB0";
constexpr const char kResolutionUnitCodes[] = "1:None Specified,2:Inch,3:Centimeter";
constexpr const char kYCbCrPositioningCodes[] = "1:Centered,2:Co-sited";
constexpr const char kExposureProgramCodes[] = "0:Unidentified,1:Manual,2:Normal,3:Aperture priority,4:Shutter priority,5:Creative(slow),6:Action(high-speed),7:Portrait mode,8:Landscape mode";
constexpr const char kMeteringModeCodes[] = "0:Unknown,1:Average,2:Center,3:Spot,4:MultiSpot,5:MultiSegment,6:Partial";
constexpr const char kLightSourceCodes[] = "0:Unidentified,1:Daylight,2:Fluorescent,3:Tungsten,10:Flash,17:Std A,18:Std B,19:Std C";
constexpr const char kColorSpaceCodes[] = "0:sBW,1:sRGB";
constexpr const char kSensingMethodCodes[] = "0:Unknown,1:MonochromeArea,2:OneChipColorArea,3:TwoChipColorArea,4:ThreeChipColorArea,5:ColorSequentialArea,6:MonochromeLinear,7:TriLinear,8:ColorSequentialLinear";
constexpr const char kFileSourceCodes[] = "1:Unknown,3:Digital Still Camera";
constexpr const char kSceneTypeCodes[] = "0:Unknown,1:Directly Photographed";
constexpr const char kCustomRenderedCodes[] = "0:Normal process,1:Custom process";
constexpr const char kExposureModeCodes[] = "0:Auto,1:Manual,2:Auto bracket";
constexpr const char kWhiteBalanceCodes[] = "0:Auto,1:Manual";
constexpr const char kSceneCaptureTypeCodes[] = "0:Standard,1:Landscape,2:Portrait,3:Night scene";
constexpr const char kGainControlCodes[] = "0:None,1:Low gain up,2:High gain up,3:Low gain down,4:High gain down";
constexpr const char kContrastCodes[] = "0:Normal,1:Soft,2:Hard";
constexpr const char kSaturationCodes[] = "0:Normal,1:Low,2:High";
constexpr const char kSharpnessCodes[] = "0:Normal,1:Soft,2:Hard";
constexpr const char kSubjectDistanceRangeCodes[] = "0:Unknown,1:Macro,2:Close view,3:Distant view";
constexpr const char kGPSAltitudeRefCodes[] = "0:Sealevel";

// EXIF and TIFF tags of the main, Exif, interoperability and preview
// directories, in ascending tag order, then the default row that stands for
// any tag not listed. The names are the keys of the look-ups by name and keep
// their established spellings ("GrayReponseUnit").
constexpr TagTableRow kExifRows[] = {
    {0x0001, "InteroperabilityIndex",          "",                          "",                              "",         nullptr},
    {0x0002, "InteroperabilityVersion",        "",                          "",                              "",         nullptr},
    {0x000B, "ACDComment",                     "",                          "",                              "",         nullptr},
    {0x00FE, "NewSubfileType",                 "",                          "",                              "",         nullptr},
    {0x00FF, "SubfileType",                    "",                          "",                              "",         nullptr},
    {0x0100, "ImageWidth",                     "",                          "",                              "",         nullptr},
    {0x0101, "ImageLength",                    "",                          "",                              "",         nullptr},
    {0x0102, "BitsPerSample",                  "",                          "",                              "",         nullptr},
    {0x0103, "Compression",                    "",                          kCompressionCodes,               "",         nullptr},
    {0x0106, "PhotometricInterpretation",      "",                          kPhotometricInterpretationCodes, "",         nullptr},
    {0x010A, "FillOrder",                      "",                          "",                              "",         nullptr},
    {0x010D, "DocumentName",                   "",                          "",                              "",         nullptr},
    {0x010E, "ImageDescription",               "",                          "",                              "",         nullptr},
    {0x010F, "Make",                           "",                          "",                              "",         nullptr},
    {0x0110, "Model",                          "",                          "",                              "",         nullptr},
    {0x0111, "StripOffsets",                   "",                          "",                              "",         nullptr},
    {0x0112, "Orientation",                    "",                          kOrientationCodes,               "",         nullptr},
    {0x0115, "SamplesPerPixel",                "",                          "",                              "",         nullptr},
    {0x0116, "RowsPerStrip",                   "",                          "",                              "",         nullptr},
    {0x0117, "StripByteCounts",                "",                          "",                              "",         nullptr},
    {0x0118, "MinSampleValue",                 "",                          "",                              "",         nullptr},
    {0x0119, "MaxSampleValue",                 "",                          "",                              "",         nullptr},
    {0x011A, "XResolution",                    "",                          "",                              "%5.2f",    nullptr},
    {0x011B, "YResolution",                    "",                          "",                              "%5.2f",    nullptr},
    {0x011C, "PlanarConfiguration",            "",                          "",                              "",         nullptr},
    {0x011D, "PageName",                       "",                          "",                              "",         nullptr},
    {0x011E, "XPosition",                      "",                          "",                              "",         nullptr},
    {0x011F, "YPosition",                      "",                          "",                              "",         nullptr},
    {0x0120, "FreeOffsets",                    "",                          "",                              "",         nullptr},
    {0x0121, "FreeByteCounts",                 "",                          "",                              "",         nullptr},
    {0x0122, "GrayReponseUnit",                "",                          "",                              "",         nullptr},
    {0x0123, "GrayReponseCurve",               "",                          "",                              "",         nullptr},
    {0x0124, "T4Options",                      "",                          "",                              "",         nullptr},
    {0x0125, "T6Options",                      "",                          "",                              "",         nullptr},
    {0x0128, "ResolutionUnit",                 "",                          kResolutionUnitCodes,            "",         nullptr},
    {0x0129, "PageNumber",                     "",                          "",                              "",         nullptr},
    {0x012D, "TransferFunction",               "",                          "",                              "",         nullptr},
    {0x0131, "Software",                       "",                          "",                              "",         nullptr},
    {0x0132, "DateTime",                       "",                          "",                              "",         nullptr},
    {0x013B, "Artist",                         "",                          "",                              "",         nullptr},
    {0x013C, "HostComputer",                   "",                          "",                              "",         nullptr},
    {0x013D, "Predictor",                      "",                          "",                              "",         nullptr},
    {0x013E, "WhitePoint",                     "",                          "",                              "",         nullptr},
    {0x013F, "PrimaryChromaticities",          "",                          "",                              "",         nullptr},
    {0x0140, "ColorMap",                       "",                          "",                              "",         nullptr},
    {0x0141, "HalfToneHints",                  "",                          "",                              "",         nullptr},
    {0x0142, "TileWidth",                      "",                          "",                              "",         nullptr},
    {0x0143, "TileLength",                     "",                          "",                              "",         nullptr},
    {0x0144, "TileOffsets",                    "",                          "",                              "",         nullptr},
    {0x0145, "TileByteCounts",                 "",                          "",                              "",         nullptr},
    {0x014A, "SubIFDs",                        "",                          "",                              "",         nullptr},
    {0x014C, "InkSet",                         "",                          "",                              "",         nullptr},
    {0x014D, "InkNames",                       "",                          "",                              "",         nullptr},
    {0x014E, "NumberOfInks",                   "",                          "",                              "",         nullptr},
    {0x0150, "DotRange",                       "",                          "",                              "",         nullptr},
    {0x0151, "TargetPrinter",                  "",                          "",                              "",         nullptr},
    {0x0152, "ExtraSample",                    "",                          "",                              "",         nullptr},
    {0x0153, "SampleFormat",                   "",                          "",                              "",         nullptr},
    {0x0154, "SMinSampleValue",                "",                          "",                              "",         nullptr},
    {0x0155, "SMaxSampleValue",                "",                          "",                              "",         nullptr},
    {0x0156, "TransferRange",                  "",                          "",                              "",         nullptr},
    {0x0157, "ClipPath",                       "",                          "",                              "",         nullptr},
    {0x0158, "XClipPathUnits",                 "",                          "",                              "",         nullptr},
    {0x0159, "YClipPathUnits",                 "",                          "",                              "",         nullptr},
    {0x015A, "Indexed",                        "",                          "",                              "",         nullptr},
    {0x015B, "JPEGTables",                     "",                          "",                              "",         nullptr},
    {0x015F, "OPIProxy",                       "",                          "",                              "",         nullptr},
    {0x0200, "JPEGProc",                       "",                          "",                              "",         nullptr},
    {0x0201, "JPEGInterchangeFormat",          "",                          "",                              "",         nullptr},
    {0x0202, "JPEGInterchangeFormatLength",    "",                          "",                              "",         nullptr},
    {0x0203, "JPEGRestartInterval",            "",                          "",                              "",         nullptr},
    {0x0205, "JPEGLosslessPredictors",         "",                          "",                              "",         nullptr},
    {0x0206, "JPEGPointTransforms",            "",                          "",                              "",         nullptr},
    {0x0207, "JPEGQTables",                    "",                          "",                              "",         nullptr},
    {0x0208, "JPEGDCTables",                   "",                          "",                              "",         nullptr},
    {0x0209, "JPEGACTables",                   "",                          "",                              "",         nullptr},
    {0x0211, "YCbCrCoefficients",              "",                          "",                              "",         nullptr},
    {0x0212, "YCbCrSubSampling",               "",                          "",                              "",         nullptr},
    {0x0213, "YCbCrPositioning",               "",                          kYCbCrPositioningCodes,          "",         nullptr},
    {0x0214, "ReferenceBlackWhite",            "",                          "",                              "",         nullptr},
    {0x02BC, "ExtensibleMetadataPlatform",     "",                          "",                              "",         nullptr},
    {0x0301, "Gamma",                          "",                          "",                              "",         nullptr},
    {0x0302, "ICCProfileDescriptor",           "",                          "",                              "",         nullptr},
    {0x0303, "SRGBRenderingIntent",            "",                          "",                              "",         nullptr},
    {0x0304, "ImageTitle",                     "",                          "",                              "",         nullptr},
    {0x1000, "RelatedImageFileFormat",         "",                          "",                              "",         nullptr},
    {0x1001, "RelatedImageWidth",              "",                          "",                              "",         nullptr},
    {0x1002, "RelatedImageHeight",             "",                          "",                              "",         nullptr},
    {0x5001, "ResolutionXUnit",                "",                          "",                              "",         nullptr},
    {0x5002, "ResolutionYUnit",                "",                          "",                              "",         nullptr},
    {0x5003, "ResolutionXLengthUnit",          "",                          "",                              "",         nullptr},
    {0x5004, "ResolutionYLengthUnit",          "",                          "",                              "",         nullptr},
    {0x5005, "PrintFlags",                     "",                          "",                              "",         nullptr},
    {0x5006, "PrintFlagsVersion",              "",                          "",                              "",         nullptr},
    {0x5007, "PrintFlagsCrop",                 "",                          "",                              "",         nullptr},
    {0x5008, "PrintFlagsBleedWidth",           "",                          "",                              "",         nullptr},
    {0x5009, "PrintFlagsBleedWidthScale",      "",                          "",                              "",         nullptr},
    {0x500A, "HalftoneLPI",                    "",                          "",                              "",         nullptr},
    {0x500B, "HalftoneLPIUnit",                "",                          "",                              "",         nullptr},
    {0x500C, "HalftoneDegree",                 "",                          "",                              "",         nullptr},
    {0x500D, "HalftoneShape",                  "",                          "",                              "",         nullptr},
    {0x500E, "HalftoneMisc",                   "",                          "",                              "",         nullptr},
    {0x500F, "HalftoneScreen",                 "",                          "",                              "",         nullptr},
    {0x5010, "JPEGQuality",                    "",                          "",                              "",         nullptr},
    {0x5011, "GridSize",                       "",                          "",                              "",         nullptr},
    {0x5012, "ThumbnailFormat",                "",                          "",                              "",         nullptr},
    {0x5013, "ThumbnailWidth",                 "",                          "",                              "",         nullptr},
    {0x5014, "ThumbnailHeight",                "",                          "",                              "",         nullptr},
    {0x5015, "ThumbnailColorDepth",            "",                          "",                              "",         nullptr},
    {0x5016, "ThumbnailPlanes",                "",                          "",                              "",         nullptr},
    {0x5017, "ThumbnailRawBytes",              "",                          "",                              "",         nullptr},
    {0x5018, "ThumbnailSize",                  "",                          "",                              "",         nullptr},
    {0x5019, "ThumbnailCompressedSize",        "",                          "",                              "",         nullptr},
    {0x501A, "ColorTransferFunction",          "",                          "",                              "",         nullptr},
    {0x501B, "ThumbnailData",                  "",                          "",                              "",         nullptr},
    {0x5020, "ThumbnailImageWidth",            "",                          "",                              "",         nullptr},
    {0x5021, "ThumbnailImageHeight",           "",                          "",                              "",         nullptr},
    {0x5022, "ThumbnailBitsPerSample",         "",                          "",                              "",         nullptr},
    {0x5023, "ThumbnailCompression",           "",                          "",                              "",         nullptr},
    {0x5024, "ThumbnailPhotometricInterp",     "",                          "",                              "",         nullptr},
    {0x5025, "ThumbnailImageDescription",      "",                          "",                              "",         nullptr},
    {0x5026, "ThumbnailEquipMake",             "",                          "",                              "",         nullptr},
    {0x5027, "ThumbnailEquipModel",            "",                          "",                              "",         nullptr},
    {0x5028, "ThumbnailStripOffsets",          "",                          "",                              "",         nullptr},
    {0x5029, "ThumbnailOrientation",           "",                          "",                              "",         nullptr},
    {0x502A, "ThumbnailSamplesPerPixel",       "",                          "",                              "",         nullptr},
    {0x502B, "ThumbnailRowsPerStrip",          "",                          "",                              "",         nullptr},
    {0x502C, "ThumbnailStripBytesCount",       "",                          "",                              "",         nullptr},
    {0x502D, "ThumbnailResolutionX",           "",                          "",                              "",         nullptr},
    {0x502E, "ThumbnailResolutionY",           "",                          "",                              "",         nullptr},
    {0x502F, "ThumbnailPlanarConfig",          "",                          "",                              "",         nullptr},
    {0x5030, "ThumbnailResolutionUnit",        "",                          "",                              "",         nullptr},
    {0x5031, "ThumbnailTransferFunction",      "",                          "",                              "",         nullptr},
    {0x5032, "ThumbnailSoftwareUsed",          "",                          "",                              "",         nullptr},
    {0x5033, "ThumbnailDateTime",              "",                          "",                              "",         nullptr},
    {0x5034, "ThumbnailArtist",                "",                          "",                              "",         nullptr},
    {0x5035, "ThumbnailWhitePoint",            "",                          "",                              "",         nullptr},
    {0x5036, "ThumbnailPrimaryChromaticities", "",                          "",                              "",         nullptr},
    {0x5037, "ThumbnailYCbCrCoefficients",     "",                          "",                              "",         nullptr},
    {0x5038, "ThumbnailYCbCrSubsampling",      "",                          "",                              "",         nullptr},
    {0x5039, "ThumbnailYCbCrPositioning",      "",                          "",                              "",         nullptr},
    {0x503A, "ThumbnailRefBlackWhite",         "",                          "",                              "",         nullptr},
    {0x503B, "ThumbnailCopyRight",             "",                          "",                              "",         nullptr},
    {0x5090, "LuminanceTable",                 "",                          "",                              "",         nullptr},
    {0x5091, "ChrominanceTable",               "",                          "",                              "",         nullptr},
    {0x5100, "FrameDelay",                     "",                          "",                              "",         nullptr},
    {0x5101, "LoopCount",                      "",                          "",                              "",         nullptr},
    {0x5110, "PixelUnit",                      "",                          "",                              "",         nullptr},
    {0x5111, "PixelPerUnitX",                  "",                          "",                              "",         nullptr},
    {0x5112, "PixelPerUnitY",                  "",                          "",                              "",         nullptr},
    {0x5113, "PaletteHistogram",               "",                          "",                              "",         nullptr},
    {0x800D, "ImageID",                        "",                          "",                              "",         nullptr},
    {0x80E3, "Matteing",                       "",                          "",                              "",         nullptr},
    {0x80E4, "DataType",                       "",                          "",                              "",         nullptr},
    {0x80E5, "ImageDepth",                     "",                          "",                              "",         nullptr},
    {0x80E6, "TileDepth",                      "",                          "",                              "",         nullptr},
    {0x828D, "CFARepeatPatternDim",            "",                          "",                              "",         nullptr},
    {0x828E, "CFAPattern",                     "",                          "",                              "",         nullptr},
    {0x828F, "BatteryLevel",                   "",                          "",                              "",         nullptr},
    {0x8298, "Copyright",                      "",                          "",                              "",         nullptr},
    {0x829A, "ExposureTime",                   "",                          "",                              "%s sec",   nullptr},
    {0x829D, "FNumber",                        "",                          "",                              "F%0.1f",   nullptr},
    {0x83BB, "IPTC/NAA",                       "IPTC/NAA",                  "",                              "",         nullptr},
    {0x84E3, "IT8RasterPadding",               "",                          "",                              "",         nullptr},
    {0x84E5, "IT8ColorTable",                  "",                          "",                              "",         nullptr},
    {0x8649, "ImageResourceInformation",       "",                          "",                              "",         nullptr},
    {0x8769, "ExifOffset",                     "",                          "",                              "",         nullptr},
    {0x8773, "InterColorProfile",              "",                          "",                              "",         nullptr},
    {0x8822, "ExposureProgram",                "",                          kExposureProgramCodes,           "",         nullptr},
    {0x8824, "SpectralSensitivity",            "",                          "",                              "",         nullptr},
    {0x8825, "GPSInfo",                        "",                          "",                              "",         nullptr},
    {0x8827, "ISOSpeedRatings",                "",                          "",                              "",         nullptr},
    {0x8828, "OECF",                           "",                          "",                              "",         nullptr},
    {0x8829, "Interlace",                      "",                          "",                              "",         nullptr},
    {0x882A, "TimeZoneOffset",                 "",                          "",                              "",         nullptr},
    {0x882B, "SelfTimerMode",                  "",                          "",                              "",         nullptr},
    {0x9000, "ExifVersion",                    "",                          "",                              "",         nullptr},
    {0x9003, "DateTimeOriginal",               "",                          "",                              "",         nullptr},
    {0x9004, "DateTimeDigitized",              "",                          "",                              "",         nullptr},
    {0x9101, "ComponentsConfiguration",        "",                          "",                              "",         RenderComponents},
    {0x9102, "CompressedBitsPerPixel",         "",                          "",                              "",         nullptr},
    {0x9201, "ShutterSpeedValue",              "",                          "",                              "",         RenderShutterSpeed},
    {0x9202, "ApertureValue",                  "",                          "",                              "F%0.1f",   nullptr},
    {0x9203, "BrightnessValue",                "",                          "",                              "",         nullptr},
    {0x9204, "ExposureBiasValue",              "",                          "",                              "",         nullptr},
    {0x9205, "MaxApertureValue",               "",                          "",                              "F%0.1f",   nullptr},
    {0x9206, "SubjectDistance",                "",                          "",                              "",         nullptr},
    {0x9207, "MeteringMode",                   "",                          kMeteringModeCodes,              "",         nullptr},
    {0x9208, "LightSource",                    "",                          kLightSourceCodes,               "",         nullptr},
    {0x9209, "Flash",                          "",                          "",                              "",         RenderFlash},
    {0x920A, "FocalLength",                    "",                          "",                              "%5.2f mm", nullptr},
    {0x920B, "FlashEnergy",                    "",                          "",                              "",         nullptr},
    {0x920C, "SpatialFrequencyResponse",       "",                          "",                              "",         nullptr},
    {0x920D, "Noise",                          "",                          "",                              "",         nullptr},
    {0x920E, "FocalPlaneXResolution",          "",                          "",                              "",         nullptr},
    {0x920F, "FocalPlaneYResolution",          "",                          "",                              "",         nullptr},
    {0x9210, "FocalPlaneResolutionUnit",       "",                          kResolutionUnitCodes,            "",         nullptr},
    {0x9211, "ImageNumber",                    "",                          "",                              "",         nullptr},
    {0x9212, "SecurityClassification",         "",                          "",                              "",         nullptr},
    {0x9213, "ImageHistory",                   "",                          "",                              "",         nullptr},
    {0x9214, "SubjectLocation",                "",                          "",                              "",         nullptr},
    {0x9215, "ExposureIndex",                  "",                          "",                              "",         nullptr},
    {0x9216, "TIFF/EPStandardID",              "",                          "",                              "",         nullptr},
    {0x9217, "SensingMethod",                  "",                          "",                              "",         nullptr},
    {0x923F, "StoNits",                        "",                          "",                              "",         nullptr},
    {0x927C, "MakerNote",                      "",                          "",                              "",         nullptr},
    {0x9286, "UserComment",                    "",                          "",                              "",         RenderComment},
    {0x9290, "SubSecTime",                     "",                          "",                              "",         nullptr},
    {0x9291, "SubSecTimeOriginal",             "",                          "",                              "",         nullptr},
    {0x9292, "SubSecTimeDigitized",            "",                          "",                              "",         nullptr},
    {0x953C, "ImageSourceData",                "",                          "",                              "",         nullptr},
    {0x9C9B, "Title",                          "",                          "",                              "",         RenderWideText},
    {0x9C9C, "Comments",                       "",                          "",                              "",         RenderWideText},
    {0x9C9D, "Author",                         "",                          "",                              "",         RenderWideText},
    {0x9C9E, "Keywords",                       "",                          "",                              "",         RenderWideText},
    {0x9C9F, "Subject",                        "",                          "",                              "",         RenderWideText},
    {0xA000, "FlashPixVersion",                "",                          "",                              "",         nullptr},
    {0xA001, "ColorSpace",                     "",                          kColorSpaceCodes,                "",         nullptr},
    {0xA002, "ExifImageWidth",                 "",                          "",                              "",         nullptr},
    {0xA003, "ExifImageLength",                "",                          "",                              "",         nullptr},
    {0xA004, "RelatedSoundFile",               "",                          "",                              "",         nullptr},
    {0xA005, "InteroperabilityOffset",         "",                          "",                              "",         nullptr},
    {0xA20B, "FlashEnergy",                    "",                          "",                              "",         nullptr},
    {0xA20C, "SpatialFrequencyResponse",       "",                          "",                              "",         nullptr},
    {0xA20E, "FocalPlaneXResolution",          "",                          "",                              "",         nullptr},
    {0xA20F, "FocalPlaneYResolution",          "",                          "",                              "",         nullptr},
    {0xA210, "FocalPlaneResolutionUnit",       "",                          kResolutionUnitCodes,            "",         nullptr},
    {0xA211, "ImageNumber",                    "",                          "",                              "",         nullptr},
    {0xA212, "SecurityClassification",         "",                          "",                              "",         nullptr},
    {0xA213, "ImageHistory",                   "",                          "",                              "",         nullptr},
    {0xA214, "SubjectLocation",                "",                          "",                              "",         nullptr},
    {0xA215, "ExposureIndex",                  "",                          "",                              "",         nullptr},
    {0xA216, "TIFF/EPStandardID",              "TIFF/EPStandardID",         "",                              "",         nullptr},
    {0xA217, "SensingMethod",                  "",                          kSensingMethodCodes,             "",         nullptr},
    {0xA300, "FileSource",                     "",                          kFileSourceCodes,                "",         nullptr},
    {0xA301, "SceneType",                      "",                          kSceneTypeCodes,                 "",         nullptr},
    {0xA302, "CFAPattern",                     "",                          "",                              "",         nullptr},
    {0xA401, "CustomRendered",                 "",                          kCustomRenderedCodes,            "",         nullptr},
    {0xA402, "ExposureMode",                   "",                          kExposureModeCodes,              "",         nullptr},
    {0xA403, "WhiteBalance",                   "",                          kWhiteBalanceCodes,              "",         nullptr},
    {0xA404, "DigitalZoomRatio",               "",                          "",                              "",         nullptr},
    {0xA405, "FocalLengthin35mmFilm",          "Focal Length in 35mm Film", "",                              "%5.2f mm", nullptr},
    {0xA406, "SceneCaptureType",               "",                          kSceneCaptureTypeCodes,          "",         nullptr},
    {0xA407, "GainControl",                    "",                          kGainControlCodes,               "",         nullptr},
    {0xA408, "Contrast",                       "",                          kContrastCodes,                  "",         nullptr},
    {0xA409, "Saturation",                     "",                          kSaturationCodes,                "",         nullptr},
    {0xA40A, "Sharpness",                      "",                          kSharpnessCodes,                 "",         nullptr},
    {0xA40B, "DeviceSettingDescription",       "",                          "",                              "",         nullptr},
    {0xA40C, "SubjectDistanceRange",           "",                          kSubjectDistanceRangeCodes,      "",         nullptr},
    {0xA420, "ImageUniqueID",                  "",                          "",                              "",         nullptr},
    {0x0000, "Unknown",                        "",                          "",                              "",         nullptr},
};

// Tags of the GPS directory.
constexpr TagTableRow kGpsRows[] = {
    {0x0000, "GPSVersionID",         "", "",                   "", nullptr},
    {0x0001, "GPSLatitudeRef",       "", "",                   "", nullptr},
    {0x0002, "GPSLatitude",          "", "",                   "", RenderCoordinate},
    {0x0003, "GPSLongitudeRef",      "", "",                   "", nullptr},
    {0x0004, "GPSLongitude",         "", "",                   "", RenderCoordinate},
    {0x0005, "GPSAltitudeRef",       "", kGPSAltitudeRefCodes, "", nullptr},
    {0x0006, "GPSAltitude",          "", "",                   "", nullptr},
    {0x0007, "GPSTimeStamp",         "", "",                   "", RenderTimeStamp},
    {0x0008, "GPSSatellites",        "", "",                   "", nullptr},
    {0x0009, "GPSStatus",            "", "",                   "", nullptr},
    {0x000A, "GPSMeasureMode",       "", "",                   "", nullptr},
    {0x000B, "GPSDOP",               "", "",                   "", nullptr},
    {0x000C, "GPSSpeedRef",          "", "",                   "", nullptr},
    {0x000D, "GPSSpeed",             "", "",                   "", nullptr},
    {0x000E, "GPSTrackRef",          "", "",                   "", nullptr},
    {0x000F, "GPSTrack",             "", "",                   "", nullptr},
    {0x0010, "GPSImageDirectionRef", "", "",                   "", nullptr},
    {0x0011, "GPSImageDirection",    "", "",                   "", nullptr},
    {0x0012, "GPSMapDatum",          "", "",                   "", nullptr},
    {0x0013, "GPSDestLatitudeRef",   "", "",                   "", nullptr},
    {0x0014, "GPSDestLatitude",      "", "",                   "", RenderCoordinate},
    {0x0015, "GPSDestLongitudeRef",  "", "",                   "", nullptr},
    {0x0016, "GPSDestLongitude",     "", "",                   "", RenderCoordinate},
    {0x0017, "GPSDestBearingkRef",   "", "",                   "", nullptr},
    {0x0018, "GPSDestBearing",       "", "",                   "", nullptr},
    {0x0019, "GPSDestDistanceRef",   "", "",                   "", nullptr},
    {0x001A, "GPSDestDistance",      "", "",                   "", nullptr},
    {0x001B, "GPSProcessingMode",    "", "",                   "", nullptr},
    {0x001C, "GPSAreaInformation",   "", "",                   "", nullptr},
    {0x001D, "GPSDateStamp",         "", "",                   "", nullptr},
    {0x001E, "GPSDifferential",      "", "",                   "", nullptr},
};
// clang-format on

constexpr size_t kExifDefaultRow = 250;

constexpr bool tagsAscending(const TagTableRow* rows, size_t count) {
  for (size_t i = 1; i < count; ++i)
    if (rows[i - 1].tag >= rows[i].tag) return false;
  return true;
}

static_assert(std::size(kExifRows) == 251);
static_assert(std::size(kGpsRows) == 31);
static_assert(tagsAscending(kExifRows, kExifDefaultRow));
static_assert(tagsAscending(kGpsRows, std::size(kGpsRows)));
static_assert(kExifRows[kExifDefaultRow].tag == 0 &&
              std::string_view(kExifRows[kExifDefaultRow].name) == "Unknown");
static_assert(kGpsRows[0].tag == 0x0000 && kGpsRows[30].tag == 0x001E);

// The decoded form of a constant table, every empty description completed
// from the tag name.
std::vector<TTagEntry> completedTable(const TagTableRow* rows, size_t count) {
  std::vector<TTagEntry> table;
  table.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    const TagTableRow& r = rows[i];
    TTagEntry e;
    e.Tag = r.tag;
    e.Name = r.name;
    e.Desc = *r.desc ? std::string(r.desc) : SplitCamelCase(r.name);
    e.Codes = r.codes;
    e.Template = r.format;
    e.Callback = r.render;
    table.push_back(std::move(e));
  }
  return table;
}

// The IEEE value of the first element of a FLOAT or DOUBLE value; 0 when the
// bytes do not hold a whole element.
double ieeeValue(const ByteString& raw, int32_t type, bool bigEndian) {
  const size_t width = type == FLOAT ? 4 : 8;
  if (raw.size() < width) return 0;
  uint64_t bits = 0;
  for (size_t i = 0; i < width; ++i) {
    unsigned char c = static_cast<unsigned char>(bigEndian ? raw[i] : raw[width - 1 - i]);
    bits = bits << 8 | c;
  }
  if (type == FLOAT) return std::bit_cast<float>(static_cast<uint32_t>(bits));
  return std::bit_cast<double>(bits);
}

std::vector<std::string> splitAt(std::string_view text, std::string_view separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t at = text.find(separator, start);
    if (at == std::string_view::npos) break;
    parts.emplace_back(text.substr(start, at - start));
    start = at + separator.size();
  }
  parts.emplace_back(text.substr(start));
  return parts;
}

// The three numbers of a degrees/minutes/seconds (or hours/minutes/seconds)
// value rendered as fractions. Two parts are taken as the first and the last
// number, one part as the last. Receivers that write degrees and decimal
// minutes leave the seconds at 0: the fraction of the minutes becomes seconds.
struct Sexagesimal {
  double first = 0, minutes = 0, seconds = 0;
};

Sexagesimal parseSexagesimal(std::string_view text) {
  constexpr size_t kPartLimit = 64;
  std::vector<std::string> parts = splitAt(text, ", ");
  auto part = [&](size_t i) { return ParseFraction(std::string_view(parts[i]).substr(0, kPartLimit)); };
  Sexagesimal v;
  if (parts.size() >= 3) {
    v.first = part(0);
    v.minutes = part(1);
    v.seconds = part(2);
  } else if (parts.size() == 2) {
    v.first = part(0);
    v.seconds = part(1);
  } else {
    v.seconds = part(0);
  }
  const double wholeMinutes = std::trunc(v.minutes);
  if (v.seconds == 0 && v.minutes != wholeMinutes) {
    v.seconds = (v.minutes - wholeMinutes) * 100 * 0.6;
    v.minutes = wholeMinutes;
  }
  return v;
}

bool isIntegerType(int32_t type) {
  return type == BYTE || type == SHORT || type == LONG || type == SBYTE || type == SSHORT || type == SLONG;
}

std::string wholeText(double value) { return formatFloat("%0.0f", value); }

}  // namespace

void refuseTypeCode(int32_t type) {
  throw DecodeFault("Range check error: value type " + std::to_string(type));
}

const std::vector<TTagEntry>& ExifTagTable() {
  static const std::vector<TTagEntry> table = completedTable(kExifRows, std::size(kExifRows));
  return table;
}

const std::vector<TTagEntry>& GpsTagTable() {
  static const std::vector<TTagEntry> table = completedTable(kGpsRows, std::size(kGpsRows));
  return table;
}

const TTagEntry& EmptyTagRow() {
  static const TTagEntry row;
  return row;
}

void CompleteDescriptions() {
  ExifTagTable();
  GpsTagTable();
}

// A blank goes in front of a capital that follows a non-capital, so runs of
// capitals stay together ("ISOSpeedRatings" gives "ISOSpeed Ratings").
std::string SplitCamelCase(std::string_view name) {
  if (name.empty()) return {};
  std::string out(1, name[0]);
  bool previousCapital = true;
  for (char c : name.substr(1)) {
    const bool capital = c >= 'A' && c <= 'Z';
    if (capital && !previousCapital) out += ' ';
    out += c;
    previousCapital = capital;
  }
  return out;
}

namespace {

// For every 16-bit tag, the index of the last row of a table that carries
// it, or -1: one look-up instead of a search of the whole table. The tags of
// a table share a few high bytes, so the index is a block of 256 rows for
// each high byte in use.
class TagIndex {
 public:
  TagIndex(const std::vector<TTagEntry>& table, size_t count) {
    blockOf_.fill(-1);
    for (size_t i = 0; i < count; ++i) {
      const uint16_t tag = table[i].Tag;
      int16_t& block = blockOf_[tag >> 8];
      if (block < 0) {
        block = static_cast<int16_t>(blocks_.size());
        blocks_.emplace_back().fill(-1);
      }
      blocks_[static_cast<size_t>(block)][tag & 0xFF] = static_cast<int16_t>(i);  // the last match wins
    }
  }
  int16_t rowOf(uint16_t tag) const {
    const int16_t block = blockOf_[tag >> 8];
    return block < 0 ? int16_t{-1} : blocks_[static_cast<size_t>(block)][tag & 0xFF];
  }

 private:
  std::array<int16_t, 256> blockOf_;
  std::vector<std::array<int16_t, 256>> blocks_;
};

}  // namespace

const TTagEntry& FindRowOf(int32_t tag, int32_t kind) {
  const std::vector<TTagEntry>& exif = ExifTagTable();
  if (tag < 0 || tag > 0xFFFF) return exif[kExifDefaultRow];
  const std::vector<TTagEntry>* table = nullptr;
  const TagIndex* index = nullptr;
  if (kind == kMainDirectory || kind == kPreviewDirectory) {
    static const TagIndex exifIndex(exif, kExifDefaultRow);
    table = &exif;
    index = &exifIndex;
  } else if (kind == kGpsDirectory) {
    static const TagIndex gpsIndex(GpsTagTable(), GpsTagTable().size());
    table = &GpsTagTable();
    index = &gpsIndex;
  } else {
    return exif[kExifDefaultRow];
  }
  const int16_t i = index->rowOf(static_cast<uint16_t>(tag));
  return i < 0 ? exif[kExifDefaultRow] : (*table)[static_cast<size_t>(i)];
}

TTagEntry ComputedRow(const std::string& name, const std::string& text, uint16_t valueType) {
  TTagEntry row;
  row.Group = 1;
  row.ValueType = valueType;
  row.Tag = 0;
  row.Name = name;
  row.Desc = name;
  row.Data = text;
  row.Raw = text;
  row.RawPos = 0;
  row.Size = static_cast<int32_t>(text.size());
  return row;
}

std::string RenderValue(const ByteString& raw, int32_t type, const tCodeList& codes, std::string_view format,
                        bool bigEndian) {
  const int32_t s = typeSizeOf(type);
  if (s == 0) return "0";
  tEndInd order;
  order.BigEndian = bigEndian;
  // Long arrays (curves, tables) are shown by their first 8 elements only.
  const size_t n = std::min<size_t>(raw.size() / static_cast<size_t>(s), 8);
  const std::string_view bytes(raw);
  std::string text;
  for (size_t i = 0; i < n; ++i) {
    const std::string_view element = bytes.substr(i * s, s);
    if (i > 0) text += ", ";
    if (isIntegerType(type)) {
      // Signed types below 32 bits are not sign-extended: an SSHORT -1 reads 65535.
      const std::string v = std::to_string(order.BytesToInt(element));
      text += codes.empty() ? v : LookupCode(codes, v);
    } else if (type == RATIONAL || type == SRATIONAL) {
      text += std::to_string(order.BytesToInt(element.substr(0, 4)));
      text += '/';
      text += std::to_string(order.BytesToInt(element.substr(4, 4)));
      if (!codes.empty()) text += LookupCode(codes, text);
    } else if (type == FLOAT || type == DOUBLE) {
      text += "-9999.99";
    } else {
      text += '?';  // ASCII and UNDEFINED are rendered by the directory walkers
    }
  }
  if (format.empty()) return text;
  const size_t at = format.find("%s");
  if (at != std::string_view::npos) {
    std::string out(format);
    out.replace(at, 2, text);
    return out;
  }
  return formatFloat(format, NumericValue(raw, type, bigEndian));
}

double NumericValue(const ByteString& raw, int32_t type, bool bigEndian) {
  tEndInd order;
  order.BigEndian = bigEndian;
  // All elements together form one number: two SHORTs give one 32-bit value.
  if (isIntegerType(type)) return order.BytesToInt(raw);
  if (type == RATIONAL || type == SRATIONAL) {
    const std::string_view bytes(raw);
    const int32_t numerator = order.BytesToInt(bytes.substr(0, 4));
    const int32_t denominator = order.BytesToInt(bytes.substr(std::min<size_t>(4, bytes.size()), 4));
    return denominator == 0 ? 0 : static_cast<double>(numerator) / denominator;
  }
  if (type == FLOAT || type == DOUBLE) return ieeeValue(raw, type, bigEndian);
  return 0;
}

struct tCodeList::Parsed {
  std::string text;
  // (key, text) of the first entry of each key, in key order; both point
  // into `text`.
  std::vector<std::pair<std::string_view, std::string_view>> byKey;
};

tCodeList::tCodeList(std::string_view text) {
  if (text.empty()) return;
  auto parsed = std::make_shared<Parsed>();
  parsed->text = std::string(text);
  const std::string_view all = parsed->text;
  for (size_t start = 0;;) {
    const size_t comma = all.find(',', start);
    const std::string_view entry = all.substr(start, comma == std::string_view::npos ? comma : comma - start);
    const size_t colon = entry.find(':');
    if (colon != std::string_view::npos)
      parsed->byKey.emplace_back(entry.substr(0, colon), entry.substr(colon + 1));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  auto& byKey = parsed->byKey;
  std::stable_sort(byKey.begin(), byKey.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  byKey.erase(std::unique(byKey.begin(), byKey.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              byKey.end());
  parsed_ = std::move(parsed);
}

const std::string& tCodeList::text() const {
  static const std::string none;
  return parsed_ ? parsed_->text : none;
}

std::string tCodeList::Lookup(std::string_view key) const {
  if (!parsed_) return {};
  const std::string k = trimText(key);
  if (k.find_first_of(",:") != std::string::npos) {
    // Such a key is no entry's: it is found in the text only.
    const std::string list = "," + parsed_->text + ",";
    const std::string needle = "," + k + ":";
    const size_t at = list.find(needle);
    if (at == std::string::npos) return {};
    const size_t start = at + needle.size();
    return list.substr(start, list.find(',', start) - start);
  }
  const auto& byKey = parsed_->byKey;
  const auto it =
      std::lower_bound(byKey.begin(), byKey.end(), std::string_view(k),
                       [](const auto& entry, std::string_view wanted) { return entry.first < wanted; });
  if (it == byKey.end() || it->first != k) return {};
  return std::string(it->second);
}

std::string LookupCode(const tCodeList& codes, std::string_view key) { return codes.Lookup(key); }

std::string PrintableText(std::string_view text) { return PrintableText(std::string(text.substr(0, 50))); }

std::string PrintableText(std::string&& text) {
  if (text.size() > 50) text.resize(50);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 32) c = '.';
  return std::move(text);
}

double ParseFraction(std::string_view text) {
  const std::string t = trimText(text);
  std::string_view rest = t;
  long long whole = 0;
  const size_t blank = t.find(' ');
  if (blank != std::string::npos) {
    if (!parseWholeNumber(rest.substr(0, blank), whole)) return 0;
    rest = rest.substr(blank + 1);
  }
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return 0;
  long long numerator = 0, denominator = 0;
  if (!parseWholeNumber(rest.substr(0, slash), numerator) ||
      !parseWholeNumber(rest.substr(slash + 1), denominator) || denominator == 0)
    return 0;
  const double d = static_cast<double>(denominator);
  return (static_cast<double>(whole) * d + static_cast<double>(numerator)) / d;
}

// Reaches the renderer as a quoted text: '"', the component bytes, '"'.
std::string RenderComponents(const std::string& text, std::vector<TTagEntry>& /*rows*/) {
  if (text.size() < 5)
    throw DecodeFault("Range check error: components text of " + std::to_string(text.size()) + " characters");
  static constexpr const char* kNames[] = {"", "Y", "Cb", "Cr", "R", "G", "B"};
  std::string out;
  for (size_t i = 1; i <= 4; ++i) {
    const unsigned char code = static_cast<unsigned char>(text[i]);
    if (code < std::size(kNames)) out += kNames[code];
  }
  return out;
}

// An APEX time value: the exposure lasts 1 / 2^v seconds.
std::string RenderShutterSpeed(const std::string& text, std::vector<TTagEntry>& /*rows*/) {
  const double v = ParseFraction(text);
  const double t = 1 / std::pow(2.0, v);
  if (!std::isfinite(t)) throw DecodeFault("Invalid floating point operation: shutter speed " + text);
  std::string out = formatFloat("%4.4f sec", t);
  if (t <= 0.5) {
    const double rate = 1 / t;
    if (!std::isfinite(rate)) throw DecodeFault("Invalid floating point operation: shutter speed " + text);
    out += " (1/" + std::to_string(roundToInt32(rate)) + ")";
  }
  return out;
}

// Bits 1-2: strobe return, bits 3-4: mode, bit 5: no flash, bit 6: red-eye.
// The reports have always spelled the suppressed mode "surpressed"; it stays.
std::string RenderFlash(const std::string& text, std::vector<TTagEntry>& /*rows*/) {
  long long f = 0;
  if (!parseWholeNumber(text, f)) throw DecodeFault("'" + text + "' is not a valid integer value");
  std::string out = (f & 1) ? "On" : "Off";
  static constexpr const char* kStrobeReturn[] = {"", ", UNKNOWN", ", no strobe return", ", strobe return"};
  static constexpr const char* kMode[] = {"", ", forced", ", surpressed", ", auto mode"};
  out += kStrobeReturn[(f & 6) >> 1];
  out += kMode[(f & 0x18) >> 3];
  if (f & 0x20) out += ", no flash function";
  if (f & 0x40) out += ", red-eye reduction";
  return out;
}

// Drops the 8-byte character-code prefix.
std::string RenderComment(const std::string& text, std::vector<TTagEntry>& /*rows*/) {
  return text.size() > 8 ? text.substr(8) : std::string();
}

// The text is the BYTE rendering of little-endian UTF-16 ("65, 0, 66, 0"): the
// odd items are the low bytes of the characters.
std::string RenderWideText(const std::string& text, std::vector<TTagEntry>& /*rows*/) {
  const std::vector<std::string> items = splitAt(text, ",");
  const size_t commas = items.size() - 1;
  std::string out;
  for (size_t k = 1; k <= commas; k += 2) {
    long long code = 0;
    if (!parseWholeNumber(items[k - 1], code))
      throw DecodeFault("'" + items[k - 1] + "' is not a valid integer value");
    if ((code & 0xFF) != 0) out += static_cast<char>(code & 0xFF);
  }
  return out;
}

std::string RenderCoordinate(const std::string& text, std::vector<TTagEntry>& /*rows*/) {
  const Sexagesimal v = parseSexagesimal(text);
  return wholeText(v.first) + " Degrees " + wholeText(v.minutes) + " Minutes " + wholeText(v.seconds) +
         " Seconds";
}

std::string RenderTimeStamp(const std::string& text, std::vector<TTagEntry>& /*rows*/) {
  const Sexagesimal v = parseSexagesimal(text);
  return wholeText(v.first) + ":" + wholeText(v.minutes) + ":" + wholeText(v.seconds);
}

// Halves go to the even neighbour (2.5 gives 2, 3.5 gives 4).
int32_t roundToInt32(double value) {
  if (!std::isfinite(value)) throw DecodeFault("Invalid floating point operation");
  double r = std::floor(value);
  const double fraction = value - r;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(r, 2.0) != 0)) r += 1;
  if (r < -2147483648.0 || r > 2147483647.0)
    throw DecodeFault("Range check error: " + formatFloat("%0.0f", r, '.') + " outside 32 bits");
  return static_cast<int32_t>(r);
}

}  // namespace meta
