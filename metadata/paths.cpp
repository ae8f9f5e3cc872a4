#include "metadata/paths.hpp"

namespace meta {

namespace {
size_t nameStart(std::string_view path) {
#if defined(_WIN32)
  const size_t last = path.find_last_of("\\/:");
#else
  const size_t last = path.rfind('/');
#endif
  return last == std::string_view::npos ? 0 : last + 1;
}
// Index of the extension's dot, or npos.
size_t extensionDot(std::string_view path) {
  size_t start = nameStart(path);
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < start) return std::string_view::npos;
  return dot;
}
}  // namespace

std::string fileNameOf(std::string_view path) { return std::string(path.substr(nameStart(path))); }
std::string folderOf(std::string_view path) { return std::string(path.substr(0, nameStart(path))); }

std::string extensionOf(std::string_view path) {
  size_t dot = extensionDot(path);
  return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string replaceExtension(std::string_view path, std::string_view ext) {
  size_t dot = extensionDot(path);
  std::string r(dot == std::string_view::npos ? path : path.substr(0, dot));
  r += ext;
  return r;
}

std::string stripExtension(std::string_view fileName) { return replaceExtension(fileName, ""); }

}  // namespace meta
