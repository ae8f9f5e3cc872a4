#include "naming/simulated_file_system.hpp"

#include <unistd.h>

#include <algorithm>

#include "metadata/paths.hpp"

namespace naming {

namespace {

// The longest file name that the usual Linux file systems accept, in bytes.
constexpr size_t kLongestName = 255;

class DiscardingCompanion final : public output::CompanionSink {
 public:
  void WriteRich(const std::string&, const output::TextStyle&) override {}
  void close() override {}
};

}  // namespace

bool SimulatedFileSystem::fileExists(const std::string& path) {
  auto it = changed_.find(path);
  if (it != changed_.end()) return it->second;
  auto known = files_.find(path);
  if (known == files_.end()) known = files_.emplace(path, base_.fileExists(path)).first;
  return known->second;
}

bool SimulatedFileSystem::folderExists(const std::string& path) {
  auto known = folders_.find(path);
  if (known == folders_.end()) known = folders_.emplace(path, base_.folderExists(path)).first;
  return known->second;
}

bool SimulatedFileSystem::canCreateIn(const std::string& path) {
  const std::string name = meta::fileNameOf(path);
  if (name.empty() || name.size() > kLongestName) return false;
  const std::string folder = meta::folderOf(path);
  const std::string dir = folder.empty() ? std::string(".") : folder;
  if (!folderExists(dir)) return false;
  // Without write and search permission on the folder the real move or
  // creation would be refused.
  auto known = writable_.find(dir);
  if (known == writable_.end()) known = writable_.emplace(dir, ::access(dir.c_str(), W_OK | X_OK) == 0).first;
  return known->second;
}

bool SimulatedFileSystem::moveFile(const std::string& from, const std::string& to) {
  if (!fileExists(from) || fileExists(to) || folderExists(to)) return false;
  if (!canCreateIn(from) || !canCreateIn(to)) return false;
  changed_[from] = false;
  changed_[to] = true;
  return true;
}

bool SimulatedFileSystem::deleteFile(const std::string& path) {
  if (!fileExists(path) || !canCreateIn(path)) return false;
  changed_[path] = false;
  return true;
}

std::unique_ptr<output::CompanionSink> SimulatedFileSystem::createTextFile(const std::string& path) {
  if (folderExists(path) || !canCreateIn(path)) throw output::IoFault("Impossible de créer " + path);
  changed_[path] = true;
  return std::make_unique<DiscardingCompanion>();
}

}  // namespace naming

namespace naming {

std::vector<std::string> SimulatedFileSystem::namesIn(const std::string& folder) {
  std::vector<std::string> names = base_.namesIn(folder);
  for (const auto& [path, exists] : changed_) {
    if (meta::folderOf(path) != folder) continue;
    const std::string name = meta::fileNameOf(path);
    auto it = std::find(names.begin(), names.end(), name);
    if (exists && it == names.end()) names.push_back(name);
    if (!exists && it != names.end()) names.erase(it);
  }
  return names;
}

}  // namespace naming
