#pragma once
// The few file operations of the command line that differ between POSIX and
// Windows: writing a new file without replacing anything, replacing one in a
// single step, and telling whether two names reach one file.
#include <cstdio>
#include <string>

namespace cli {

// Writes `bytes` to a new file `path`; refuses an existing one. False, with
// `problem` said, on failure (nothing is left behind then).
bool writeNewFile(const std::string& path, const std::string& bytes, std::string& problem);
// Writes `bytes` into a temporary file beside `path` and renames it over
// `path`, so that `path` is never half-written.
bool replaceFile(const std::string& path, const std::string& bytes, std::string& problem);

enum class PathKind { Missing, RegularFile, Other };
// What `path` reaches, links followed.
PathKind kindOf(const std::string& path);
// True when `path` itself is a symbolic link.
bool isSymbolicLink(const std::string& path);
// The path of what the link `path` leads to, with every link resolved; empty
// when it cannot be followed to an existing file.
std::string linkTarget(const std::string& path);
// True when both names reach the same file (same device and inode).
bool sameFile(const std::string& a, const std::string& b);
// True when what is written to `out` is thrown away (the null device).
bool discardsOutput(std::FILE* out);

}  // namespace cli
