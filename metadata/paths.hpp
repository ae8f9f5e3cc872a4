#pragma once
// Path conventions of the naming rules, with the platform's separators
// ('/' on Linux; '\', '/' and ':' on Windows). The extension is the part from
// the last '.' after the last separator, dot included, so ".jpg" alone has the
// extension ".jpg" and an empty name.
#include <string>
#include <string_view>

namespace meta {

inline bool isPathSeparator(char c) {
#if defined(_WIN32)
  return c == '\\' || c == '/' || c == ':';
#else
  return c == '/';
#endif
}
// Where the file name of a path starts: just after its last separator, else 0.
size_t fileNameStart(std::string_view path);
// The extension as a view into `path` (dot included), or empty.
std::string_view extensionIn(std::string_view path);
std::string fileNameOf(std::string_view path);   // after the last separator
std::string folderOf(std::string_view path);     // up to and including it
std::string extensionOf(std::string_view path);  // dot included, or empty
std::string replaceExtension(std::string_view path, std::string_view ext);
std::string stripExtension(std::string_view fileName);

}  // namespace meta
