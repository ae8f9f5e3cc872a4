#include "metadata/paths.hpp"

namespace meta {

size_t fileNameStart(std::string_view path) {
  for (size_t i = path.size(); i-- > 0;)
    if (isPathSeparator(path[i])) return i + 1;
  return 0;
}

std::string_view extensionIn(std::string_view path) {
  // From the end back to the first dot, unless a separator comes first.
  for (size_t i = path.size(); i-- > 0;) {
    if (path[i] == '.') return path.substr(i);
    if (isPathSeparator(path[i])) break;
  }
  return {};
}

std::string fileNameOf(std::string_view path) { return std::string(path.substr(fileNameStart(path))); }
std::string folderOf(std::string_view path) { return std::string(path.substr(0, fileNameStart(path))); }
std::string extensionOf(std::string_view path) { return std::string(extensionIn(path)); }

std::string replaceExtension(std::string_view path, std::string_view ext) {
  std::string r(path.substr(0, path.size() - extensionIn(path).size()));
  r += ext;
  return r;
}

std::string stripExtension(std::string_view fileName) { return replaceExtension(fileName, ""); }

}  // namespace meta
