#pragma once
// A file system for dry runs: it answers from the machine's file system as
// changed by the moves, deletions and creations made so far in the run, and
// changes nothing on disk. A dry run therefore shows the names, the running
// numbers included, that a real run would give.
//
// The disk is taken as it is when first asked: each answer of the machine's
// file system is remembered for the rest of the run (a run does not expect
// the disk to change under it either), so that a dry run over thousands of
// files costs few system calls.
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
  std::unique_ptr<output::CompanionSink> createTextFile(const std::string& path) override;
  std::vector<std::string> namesIn(const std::string& folder) override;
  // The simulation changes nothing on disk, so the base's listings stay true.
  void rememberListings(bool on) override { base_.rememberListings(on); }
  // Whether two names are one entry is the volume's to say.
  bool sameEntry(const std::string& folder, std::string_view a, std::string_view b) override {
    return base_.sameEntry(folder, a, b);
  }

 private:
  bool canCreateIn(const std::string& path);
  // true: the file exists in the simulation; false: it has gone.
  std::unordered_map<std::string, bool> changed_;
  // The machine's answers so far: files, folders, folders that take new entries.
  std::unordered_map<std::string, bool> files_, folders_, writable_;
  FileSystem& base_;
};

}  // namespace naming
