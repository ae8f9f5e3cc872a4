#pragma once
// Name composition: the value of every format element for one image file, the
// new full path with its running number and collision rule, the completeness
// verdict and the companion text file names.
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "metadata/image_reader.hpp"
#include "naming/file_system.hpp"
#include "naming/format.hpp"

namespace naming {

class CollisionCache;

class TNaming {
 public:
  // reader: the one image-data container, reused for every file (not owned).
  TNaming(meta::TimgData& reader, FileSystem& fs);
  ~TNaming();
  TNaming(const TNaming&) = delete;
  TNaming& operator=(const TNaming&) = delete;

  // Parse result of the current format.
  TParsedFormat Format;
  // Values of the 21 elements, indexed by table row.
  std::array<std::string, kElementCount> ElementValues;

  // Naming state of the file last evaluated.
  std::string OldPath;
  std::string OldTextPath;
  std::string NewPath;      // empty when the name is incomplete
  std::string NewTextPath;  // empty when the name is incomplete
  bool NameComplete = false;

  // Inputs read afresh by every evaluation and composition (the window binds
  // them to its boxes): the user text (element TEXT) and the digit box text
  // (a text that is not a whole number counts as 1; kept within 1..9).
  std::function<std::string()> UserText = [] { return std::string(); };
  std::function<std::string()> DigitText = [] { return std::string("2"); };

  void ResetValues(bool withLiterals);
  void ParseFormat(std::string_view formatText);
  // Reads the file, fills ElementValues, then composes. `cache` (batch runs
  // only) remembers taken running numbers so heavily colliding names stay cheap.
  void EvaluateFile(const std::string& path, CollisionCache* cache = nullptr);
  void ComposeNewName(const std::string& path, CollisionCache* cache = nullptr);

  int DigitCount() const;  // 1..9
  meta::TimgData& Reader() { return reader_; }
  const meta::TimgData& Reader() const { return reader_; }
  FileSystem& Files() { return *fs_; }
  // The file system that evaluations and runs use from now on (not owned).
  void UseFiles(FileSystem& fs) { fs_ = &fs; }

 private:
  struct NameTemplate;
  // The format's pieces for `path`; false when an element it needs has no value.
  bool fillTemplate(NameTemplate& name, const std::string& path) const;
  // NewPath from a complete template, by the running-number and collision rules.
  void chooseName(NameTemplate& name, const std::string& path, CollisionCache* cache);
  std::string nameWithNumbersInExtension(const NameTemplate& name, const std::string& path, size_t dot,
                                         const std::function<std::string(uint64_t)>& candidate);
  meta::TimgData& reader_;
  FileSystem* fs_;
  std::unique_ptr<NameTemplate> name_;  // the composition's texts, reused from file to file
};

}  // namespace naming
