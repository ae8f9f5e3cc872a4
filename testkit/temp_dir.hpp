#pragma once
// A temporary directory that is removed with everything in it when the
// object goes out of scope; for tests that need real paths.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

namespace qmtest {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillmark-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string pathOf(std::string_view name) const { return (path_ / std::string(name)).string(); }

  // Writes the bytes to `name` inside the directory and returns the full path.
  std::string writeFile(std::string_view name, std::string_view bytes) const {
    std::string full = pathOf(name);
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + full);
    return full;
  }

 private:
  std::filesystem::path path_;
};

// The whole content of a file ("" when it cannot be read).
inline std::string readFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every regular file below `root`: relative path -> bytes.
inline std::map<std::string, std::string> snapshot(const std::filesystem::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[std::filesystem::relative(e.path(), root).string()] = readFile(e.path());
  return files;
}

}  // namespace qmtest
