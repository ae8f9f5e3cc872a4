#pragma once
// An in-memory FileSystem for naming tests: a set of file paths, moves that
// never replace, and a count of existence tests. `caseInsensitive` makes it
// answer like a FAT or Windows volume: names in another case are the same
// file, which keeps the spelling it was given.
#include <map>
#include <memory>
#include <string>

#include "metadata/text.hpp"
#include "naming/file_system.hpp"
#include "output/output_sink.hpp"

namespace qmtest {

class FakeFileSystem final : public naming::FileSystem {
 public:
  explicit FakeFileSystem(bool caseInsensitive = false) : folded_(caseInsensitive) {}

  void addFile(const std::string& path) { files_.emplace(key(path), path); }
  size_t fileCount() const { return files_.size(); }
  unsigned long long existenceTests = 0;

  bool fileExists(const std::string& path) override {
    ++existenceTests;
    return files_.count(key(path)) != 0;
  }
  bool folderExists(const std::string&) override { return true; }
  bool moveFile(const std::string& from, const std::string& to) override {
    if (!files_.count(key(from)) || files_.count(key(to))) return false;
    files_.erase(key(from));
    files_.emplace(key(to), to);
    return true;
  }
  bool deleteFile(const std::string& path) override { return files_.erase(key(path)) != 0; }
  std::unique_ptr<output::CompanionSink> createTextFile(const std::string& path) override {
    addFile(path);
    return std::make_unique<Discard>();
  }
  std::vector<std::string> namesIn(const std::string& folder) override {
    std::vector<std::string> names;
    const std::string k = key(folder);
    for (const auto& [f, spelled] : files_)
      if (f.size() > k.size() && f.compare(0, k.size(), k) == 0 && f.find('/', k.size()) == std::string::npos)
        names.push_back(spelled.substr(k.size()));
    return names;
  }
  bool sameEntry(const std::string&, std::string_view a, std::string_view b) override {
    return folded_ ? meta::equalsIgnoreCase(a, b) : a == b;
  }

 private:
  struct Discard final : output::CompanionSink {
    void WriteRich(const std::string&, const output::TextStyle&) override {}
    void close() override {}
  };
  std::string key(const std::string& path) const { return folded_ ? meta::toLower(path) : path; }
  bool folded_;
  std::map<std::string, std::string> files_;  // key -> the path as spelled
};

}  // namespace qmtest
