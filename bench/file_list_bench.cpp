// Times FileList::AddFiles with 100,000 paths, in the two ways a list is
// filled: one folder that holds them all, and every file path given alone.
//   file_list_bench [COUNT] [FOLDER]
// The photos (empty files) are made in FOLDER (default: a new temporary
// folder, removed at the end) unless it already holds them.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "naming/file_list.hpp"

namespace fs = std::filesystem;

namespace {

template <class F>
double secondsOf(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
  const bool own = argc <= 2;
  const fs::path folder =
      own ? fs::temp_directory_path() /
                ("quillmark-list-bench-" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))
          : fs::path(argv[2]);
  fs::create_directories(folder);
  std::vector<std::string> files;
  files.reserve(static_cast<size_t>(count));
  char name[32];
  for (int i = 0; i < count; ++i) {
    std::snprintf(name, sizeof name, "IMG_%06d.jpg", i);
    const fs::path p = folder / name;
    if (!fs::exists(p)) std::ofstream(p).put('\0');
    files.push_back(p.string());
  }
  size_t listed = 0;
  const double byFolder = secondsOf([&] {
    naming::FileList list;
    list.AddFiles({folder.string()});
    listed = list.size();
  });
  const double byPath = secondsOf([&] {
    naming::FileList list;
    list.AddFiles(files);
  });
  std::printf("%d photos: one folder %.3f s (%zu listed), %d paths given %.3f s\n", count, byFolder, listed,
              count, byPath);
  if (own) fs::remove_all(folder);
  return listed == static_cast<size_t>(count) ? 0 : 1;
}
