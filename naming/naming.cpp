#include "naming/naming.hpp"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "metadata/locale.hpp"
#include "metadata/paths.hpp"
#include "metadata/text.hpp"
#include "naming/collision_cache.hpp"

namespace naming {

namespace {

// Characters `from` to `to` (1-based, inclusive) of a text, or what exists of them.
std::string characters(const std::string& text, size_t from, size_t to) {
  if (from > text.size()) return std::string();
  return text.substr(from - 1, to - from + 1);
}

bool allDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// A two-digit field from `low` to `high`.
bool inRange(const std::string& field, int low, int high) {
  if (field.size() != 2 || !allDigits(field)) return false;
  const int value = (field[0] - '0') * 10 + (field[1] - '0');
  return value >= low && value <= high;
}

// The picture date text "YYYY:MM:DD HH:MM:SS" split into the six date
// elements. A camera whose clock was never set stores zeros or blanks, and a
// broken file any bytes: a date that is not a real year, month and day gives
// no date elements at all, and a time whose fields are not two digits each
// gives no time elements.
void takeDate(const std::string& date, std::array<std::string, kElementCount>& values) {
  const std::string year = characters(date, 1, 4), month = characters(date, 6, 7),
                    day = characters(date, 9, 10);
  if (year.size() != 4 || !allDigits(year) || year == "0000" || !inRange(month, 1, 12) ||
      !inRange(day, 1, 31))
    return;
  values[rowIYEAR] = year;
  values[rowIMONTH] = month;
  values[rowIDAY] = day;
  const std::string hour = characters(date, 12, 13), minute = characters(date, 15, 16),
                    second = characters(date, 18, 19);
  if (hour.size() != 2 || !allDigits(hour) || minute.size() != 2 || !allDigits(minute) ||
      second.size() != 2 || !allDigits(second))
    return;
  values[rowIHOUR] = hour;
  values[rowIMIN] = minute;
  values[rowISEC] = second;
}

// A text taken from the file (camera maker, model) may hold anything: path
// separators would move the photo to another folder, and some characters
// cannot stand in a file name at all. Each of them becomes '_'.
std::string asNamePart(std::string text) {
  for (char& c : text) {
    const unsigned char u = static_cast<unsigned char>(c);
    bool refused = meta::isPathSeparator(c) || u == 0;
#if defined(_WIN32)
    refused = refused || u < 32 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos;
#endif
    if (refused) c = '_';
  }
  return text;
}

// Follows a composed name as it is written, to tell whether the path
// component being written holds nothing but dots so far (or nothing at all):
// a value that starts there with a dot would make the component ".", ".." or
// a hidden name.
class ComponentStart {
 public:
  bool onlyDots() const { return onlyDots_; }
  void follow(std::string_view text) {
    for (char c : text) {
      if (meta::isPathSeparator(c))
        onlyDots_ = true;
      else if (c != '.')
        onlyDots_ = false;
    }
  }
  void afterNumber() { onlyDots_ = false; }

 private:
  bool onlyDots_ = true;  // the folder before the name ends with a separator
};

// `value` was appended to `name` at `at`, where a path component holds only
// dots so far. A text from the metadata gives up its leading dots there; the
// photo's own name keeps a leading dot (a hidden photo stays hidden) but
// never stands alone as "." or "..". The user's texts are the user's choice.
void guardComponentStart(std::string& name, size_t at, ValueSource source) {
  if (source == ValueSource::Metadata) {
    for (size_t i = at; i < name.size() && name[i] == '.'; ++i) name[i] = '_';
  } else if (source == ValueSource::FileName && at < name.size() &&
             name.find_first_not_of('.', at) == std::string::npos) {
    std::fill(name.begin() + static_cast<std::ptrdiff_t>(at), name.end(), '_');
  }
}

// `path` with its extension replaced by `extension`, written over `out`.
void assignWithExtension(std::string& out, std::string_view path, std::string_view extension) {
  const std::string_view stem = path.substr(0, path.size() - meta::extensionIn(path).size());
  out.assign(stem);
  out += extension;
}

// A name whose extension is not the source's (letter case aside) takes the
// source extension as written in the source path.
void takeSourceExtension(std::string& candidate, std::string_view sourceExtension) {
  const std::string_view extension = meta::extensionIn(candidate);
  if (meta::equalsIgnoreCase(extension, sourceExtension)) return;
  candidate.resize(candidate.size() - extension.size());
  candidate += sourceExtension;
}

}  // namespace

// A composed name split at its running numbers: pieces[0], number,
// pieces[1], number, ... pieces[count - 1]. The folder starts pieces[0].
// One template serves file after file, its texts keeping their room.
struct TNaming::NameTemplate {
  std::vector<std::string> pieces;
  size_t count = 0;
  std::string sourceExtension;
  int digits = 1;
  std::string first;      // candidate(1)
  std::string familyKey;  // identifies the candidate function (see CollisionCache)

  void start(std::string_view folder) {
    count = 0;
    addPiece();
    pieces[0].assign(folder);
  }
  void addPiece() {
    if (count == pieces.size()) pieces.emplace_back();
    pieces[count++].clear();
  }
  std::string& last() { return pieces[count - 1]; }
  bool usesNumber() const { return count > 1; }

  void candidateInto(Counter counter, std::string& name) const {
    const std::string number = meta::formatZeroPadded(static_cast<long long>(counter), digits);
    name.assign(pieces[0]);
    for (size_t i = 1; i < count; ++i) {
      name += number;
      name += pieces[i];
    }
    takeSourceExtension(name, sourceExtension);
  }
  std::string candidate(Counter counter) const {
    std::string name;
    candidateInto(counter, name);
    return name;
  }

  void makeFamilyKey() {
    familyKey.clear();
    meta::appendDecimal(familyKey, digits);
    familyKey += '|';
    meta::appendDecimal(familyKey, sourceExtension.size());
    familyKey += ':';
    familyKey += sourceExtension;
    for (size_t i = 0; i < count; ++i) {
      familyKey += '|';
      meta::appendDecimal(familyKey, pieces[i].size());
      familyKey += ':';
      familyKey += pieces[i];
    }
  }

  // True when every running number falls after the extension dot of the
  // name. Numbers hold neither dots nor separators, so the dot is found in
  // the pieces alone; only then can two counters give the same name.
  bool numbersOnlyInExtension(size_t& dot) const {
    const std::string& head = pieces[0];
    for (size_t i = count; i-- > 1;)
      for (char ch : pieces[i])
        if (ch == '.' || meta::isPathSeparator(ch)) return false;
    for (size_t j = head.size(); j-- > 0;) {
      if (meta::isPathSeparator(head[j])) return false;
      if (head[j] == '.') {
        dot = j;
        return true;
      }
    }
    return false;
  }
};

TNaming::TNaming(meta::TimgData& reader, FileSystem& fs)
    : reader_(reader), fs_(&fs), name_(std::make_unique<NameTemplate>()) {}

TNaming::~TNaming() = default;

void TNaming::ResetValues(bool withLiterals) {
  for (std::string& value : ElementValues) value.clear();
  if (withLiterals)
    for (std::string& literal : Format.Literals) literal.clear();
}

void TNaming::ParseFormat(std::string_view formatText) {
  ResetValues(true);
  naming::ParseFormat(formatText, Format);
}

int TNaming::DigitCount() const {
  long long n = 1;
  if (!meta::parseWholeNumber(DigitText(), n)) n = 1;
  if (n < 1) return 1;
  if (n > 9) return 9;
  return static_cast<int>(n);
}

void TNaming::EvaluateFile(const std::string& path, CollisionCache* cache) {
  reader_.ReadFile(path);
  ResetValues(false);

  const std::string_view extension = meta::extensionIn(path);
  const size_t nameStart = meta::fileNameStart(path);
  ElementValues[rowNAME].assign(path, nameStart, path.size() - extension.size() - nameStart);
  ElementValues[rowEXT] = meta::toLower(extension);
  ElementValues[rowTEXT] = UserText();

  if (reader_.HasExif()) {
    // Facts the decoder did not find keep their initial values: empty texts, 0.
    static const std::string kNone;
    const std::string *date = &kNone, *make = &kNone, *model = &kNone;
    int32_t width = 0, height = 0, flash = 0;
    if (const meta::TImageInfo* info = reader_.ExifInfo.get()) {
      date = &info->DateTimeText;
      make = &info->CameraMake;
      model = &info->CameraModel;
      width = info->Width;
      height = info->Height;
      flash = info->FlashValue;
    }
    takeDate(*date, ElementValues);
    const meta::DateParts file = reader_.FileTime.toParts();
    ElementValues[rowFYEAR] = meta::formatZeroPadded(file.year, 4);
    ElementValues[rowFMONTH] = meta::formatZeroPadded(file.month, 2);
    ElementValues[rowFDAY] = meta::formatZeroPadded(file.day, 2);
    ElementValues[rowFHOUR] = meta::formatZeroPadded(file.hour, 2);
    ElementValues[rowFMIN] = meta::formatZeroPadded(file.minute, 2);
    ElementValues[rowFSEC] = meta::formatZeroPadded(file.second, 2);
    ElementValues[rowWIDTH] = meta::formatZeroPadded(width, 4);
    ElementValues[rowHEIGHT] = meta::formatZeroPadded(height, 4);
    ElementValues[rowFLASH] = (flash & 1) ? "F" : "N";
    ElementValues[rowMAKER] = asNamePart(*make);
    ElementValues[rowMODEL] = asNamePart(*model);
  }

  ComposeNewName(path, cache);
}

void TNaming::ComposeNewName(const std::string& path, CollisionCache* cache) {
  OldPath = path;
  assignWithExtension(OldTextPath, path, kCompanionExtension);
  NewPath.clear();
  NewTextPath.clear();

  NameTemplate& name = *name_;
  NameComplete = fillTemplate(name, path);
  if (!NameComplete) return;
  // A name without anything before its extension would be a hidden file
  // such as ".jpg": there is not enough to name the photo by.
  name.candidateInto(1, name.first);
  if (name.first.size() - meta::fileNameStart(name.first) == meta::extensionIn(name.first).size()) {
    NameComplete = false;
    return;
  }
  chooseName(name, path, cache);
  assignWithExtension(NewTextPath, NewPath, kCompanionExtension);
}

bool TNaming::fillTemplate(NameTemplate& name, const std::string& path) const {
  name.start(std::string_view(path).substr(0, meta::fileNameStart(path)));
  name.sourceExtension.assign(meta::extensionIn(path));
  name.digits = DigitCount();
  bool complete = true;
  ComponentStart component;
  for (int32_t i = 0; i < Format.ItemCount; ++i) {
    const int32_t item = Format.Items[static_cast<size_t>(i)];
    if (item <= 0) {
      const std::string& literal = Format.Literals.at(static_cast<size_t>(-static_cast<int64_t>(item)));
      name.last() += literal;
      component.follow(literal);
    } else if (item == kNumberCode) {
      name.addPiece();
      component.afterNumber();
    } else {
      const int row = ElementRowOf(item);
      const FormatElement& element = FormatElementTable[static_cast<size_t>(row)];
      const std::string& value = ElementValues[static_cast<size_t>(row)];
      if (value.empty() && !element.Optional) complete = false;
      std::string& last = name.last();
      const size_t at = last.size();
      last += value;
      if (component.onlyDots()) guardComponentStart(last, at, element.Source);
      component.follow(std::string_view(last).substr(at));
    }
  }
  return complete;
}

void TNaming::chooseName(NameTemplate& name, const std::string& path, CollisionCache* cache) {
  const CandidateOf candidate = [&name](Counter c) { return c == 1 ? name.first : name.candidate(c); };
  size_t dot = 0;
  if (!name.usesNumber()) {
    // No running number, no loop: the name may be taken, the rename says so.
    NewPath = name.first;
  } else if (!name.numbersOnlyInExtension(dot)) {
    // Every counter gives another name, so the search ends at the first free one.
    Counter c = 1;
    if (cache) {
      name.makeFamilyKey();
      c = cache->firstFree(name.familyKey, path, candidate, *fs_);
    } else {
      c = firstFreeCounter(path, candidate, *fs_);
    }
    if (c == 1)
      NewPath = name.first;
    else
      name.candidateInto(c, NewPath);
  } else if (name.first == path || !fs_->fileExists(name.first)) {
    NewPath = name.first;
  } else {
    NewPath = nameWithNumbersInExtension(name, path, dot, candidate);
  }
}

// The numbers lie in an extension that the source extension replaces: nearly
// every counter gives the same name `base`. Only a counter whose digits spell
// the source extension (".jp2" with "[NAME].jp[NUMBER]") can give another
// one. When neither is free, counting on would never end; the name stays
// `base`, an existing file, which the rename refuses. Counter 1 is not free.
std::string TNaming::nameWithNumbersInExtension(const NameTemplate& name, const std::string& path, size_t dot,
                                                const CandidateOf& candidate) {
  const std::string base = name.pieces[0].substr(0, dot) + name.sourceExtension;
  std::optional<Counter> special;
  const size_t numbers = name.count - 1;
  size_t fixed = name.pieces[0].size() - dot;
  for (size_t i = 1; i < name.count; ++i) fixed += name.pieces[i].size();
  const size_t length = name.sourceExtension.size();
  if (length > fixed && (length - fixed) % numbers == 0) {
    const size_t width = (length - fixed) / numbers;
    const std::string digits = name.sourceExtension.substr(name.pieces[0].size() - dot, width);
    long long value = 0;
    if (width <= 18 && digits.find_first_not_of("0123456789") == std::string::npos &&
        meta::parseWholeNumber(digits, value) && value >= 1 &&
        meta::formatZeroPadded(value, name.digits).size() == width &&
        candidate(static_cast<Counter>(value)) != base)
      special = static_cast<Counter>(value);
  }
  // When counter 1 gave `special`, counter 2 gives `base`, free or not.
  // Otherwise `base` was taken and only `special` can be free.
  if (special && *special != 1) {
    const std::string named = candidate(*special);
    if (named == path || !fs_->fileExists(named)) return named;
  }
  return base;
}

}  // namespace naming
