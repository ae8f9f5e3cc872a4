#pragma once
// A small FAT volume made in a file and mounted through FUSE for one test,
// as a memory card or a USB stick is: names that differ only in letter case
// are one file, and there is neither a no-replace rename nor a hard link.
// Where it cannot be made (not root, no /dev/fuse, mkfs.vfat or fusefat
// missing), why() says so and the test skips; the volume is unmounted when
// the object goes, whatever the test's outcome.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "testkit/temp_dir.hpp"

namespace qmtest {

class FatVolume {
 public:
  FatVolume() {
    if (::geteuid() != 0) {
      why_ = "mounting a FAT volume through FUSE needs root";
      return;
    }
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
      why_ = "no /dev/fuse";
      return;
    }
    for (const char* tool : {"mkfs.vfat", "fusefat"}) {
      if (programPath(tool).empty()) {
        why_ = std::string(tool) + " is not installed (Debian packages dosfstools and fusefat)";
        return;
      }
    }
    const std::string image = dir_.pathOf("card.img");
    std::filesystem::create_directory(mount_ = dir_.path() / "card");
    if (::truncate(dir_.writeFile("card.img", "").c_str(), 16 << 20) != 0 || run({"mkfs.vfat", image}) != 0) {
      why_ = "mkfs.vfat failed";
      return;
    }
    if (run({"fusefat", "-o", "rw+", image, mount_.string()}) != 0 || !mounted()) {
      why_ = "fusefat could not mount the image";
      return;
    }
    ready_ = true;
  }

  ~FatVolume() {
    if (!ready_) return;
    // fusermount comes with FUSE 2, fusermount3 with FUSE 3; root may also
    // use umount. A busy volume (a program still in it) is detached lazily.
    std::string tool = "umount";
    for (const char* name : {"fusermount3", "fusermount"})
      if (!programPath(name).empty()) tool = name;
    const std::string path = mount_.string();
    const auto unmount = [&](bool lazy) {
      if (tool == "umount") return run({tool, lazy ? "-l" : "--", path});
      if (lazy) return run({tool, "-u", "-z", path});
      return run({tool, "-u", path});
    };
    for (int attempt = 0; attempt < 20 && mounted(); ++attempt) {
      if (unmount(false) == 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (mounted()) unmount(true);
  }
  FatVolume(const FatVolume&) = delete;
  FatVolume& operator=(const FatVolume&) = delete;

  bool ready() const { return ready_; }
  const std::string& why() const { return why_; }
  const std::filesystem::path& root() const { return mount_; }
  std::string pathOf(std::string_view name) const { return (mount_ / std::string(name)).string(); }
  std::string writeFile(std::string_view name, std::string_view bytes) const {
    const std::string path = pathOf(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
    return path;
  }

 private:
  // Another device than the folder it is mounted in.
  bool mounted() const {
    struct stat inside {
    }, outside{};
    return ::stat(mount_.c_str(), &inside) == 0 && ::stat(dir_.path().c_str(), &outside) == 0 &&
           inside.st_dev != outside.st_dev;
  }

  static std::string programPath(const std::string& name) {
    static const char* const kFolders[] = {"/usr/local/sbin", "/usr/local/bin", "/usr/sbin",
                                           "/usr/bin",        "/sbin",          "/bin"};
    for (const char* folder : kFolders) {
      const std::string path = std::string(folder) + "/" + name;
      if (::access(path.c_str(), X_OK) == 0) return path;
    }
    return {};
  }

  // Runs a program, its output dropped; its exit status, or -1.
  static int run(const std::vector<std::string>& args) {
    const std::string program = programPath(args.front());
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int null = ::open("/dev/null", O_RDWR);
      ::dup2(null, 0);
      ::dup2(null, 1);
      ::dup2(null, 2);
      std::vector<char*> argv;
      std::vector<std::string> copy = args;
      for (std::string& a : copy) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  TempDir dir_;  // the image and the mount point; removed after the unmount
  std::filesystem::path mount_;
  std::string why_;
  bool ready_ = false;
};

}  // namespace qmtest
