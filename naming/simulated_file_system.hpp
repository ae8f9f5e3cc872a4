#pragma once
// A file system for dry runs: it answers from the machine's file system as
// changed by the moves, deletions and creations made so far in the run, and
// changes nothing on disk. A dry run therefore shows the names, the running
// numbers included, that a real run would give.
#include <string>
#include <unordered_map>

#include "naming/file_system.hpp"

namespace naming {

class SimulatedFileSystem final : public FileSystem {
 public:
  explicit SimulatedFileSystem(FileSystem& base) : base_(base) {}

  bool fileExists(const std::string& path) override;
  bool folderExists(const std::string& path) override;
  // Refused, as a real move would be, when the source is missing, the
  // destination exists, or the destination's folder is missing or not writable.
  bool moveFile(const std::string& from, const std::string& to) override;
  bool deleteFile(const std::string& path) override;
  // A sink that discards the report; IoFault when the folder is missing or not
  // writable.
  std::unique_ptr<CompanionSink> createTextFile(const std::string& path) override;
  std::vector<std::string> namesIn(const std::string& folder) override;
  // The simulation changes nothing on disk, so the base's listings stay true.
  void rememberListings(bool on) override { base_.rememberListings(on); }

 private:
  bool canCreateIn(const std::string& path);
  // true: the file exists in the simulation; false: it has gone.
  std::unordered_map<std::string, bool> changed_;
  FileSystem& base_;
};

}  // namespace naming
