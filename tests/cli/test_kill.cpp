// A rename with companion text files killed with SIGKILL at random moments:
// no photo is lost, changed or duplicated, every companion on disk is a whole
// report, an undo brings the folder back as it was, and a new run finishes
// the work without taking anything left by the killed one for a photo or a
// companion.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "metadata/image_reader.hpp"
#include "metadata/locale.hpp"
#include "output/output_sink.hpp"
#include "report/report.hpp"
#include "testkit/photo_files.hpp"
#include "testkit/temp_dir.hpp"

namespace {

namespace fs = std::filesystem;

constexpr int kPhotos = 300;
constexpr int kTrials = 12;

// Starts quillmark-cli in `dir`, its output to /dev/null: a rename with
// companions, or an undo of the last run.
pid_t start(const fs::path& dir, bool undo = false) {
  std::fflush(nullptr);  // the child must not write out the parent's buffered output
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    std::FILE* null = std::freopen("/dev/null", "w", stdout);
    (void)null;
    ::setenv("LC_ALL", "C", 1);
    if (undo)
      ::execl(QUILLMARK_CLI_PATH, QUILLMARK_CLI_PATH, "undo", static_cast<char*>(nullptr));
    else
      ::execl(QUILLMARK_CLI_PATH, QUILLMARK_CLI_PATH, "rename", "--text-file", ".",
              static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The companion report of the photo at `path`, as the command line writes it.
std::string reportOf(const std::string& path) {
  meta::TimgData img;
  img.ReadFile(path);
  output::RecordingSink sink;
  report::ShowReportPane(sink, img, {});
  return sink.text();
}

struct Folder {
  qmtest::TempDir dir, state;
  std::multiset<std::string> photos;           // the bytes of every photo
  std::map<std::string, std::string> reports;  // photo bytes -> report under its first name

  Folder() {
    for (int i = 0; i < kPhotos; ++i) {
      // About one photo in five shares its second with the one before.
      const int second = i - i / 5;
      char date[32];
      std::snprintf(date, sizeof date, "2010:01:01 %02d:%02d:%02d", second / 3600, second / 60 % 60,
                    second % 60);
      char name[32];
      std::snprintf(name, sizeof name, "IMG_%04d.jpg", i);
      const std::string bytes = qmtest::photoWithDate(date, "photo " + std::to_string(i));
      reports[bytes] = reportOf(dir.writeFile(name, bytes));
      photos.insert(bytes);
    }
    ::setenv("QUILLMARK_STATE_DIR", state.path().c_str(), 1);
  }

  // Checks the folder; `finished`: every photo must also have its companion.
  void check(bool finished) const {
    std::multiset<std::string> found;
    std::map<std::string, std::string> images;  // base name -> bytes
    std::vector<fs::path> companions;
    for (const auto& e : fs::directory_iterator(dir.path())) {
      const std::string name = e.path().filename().string();
      if (name.ends_with(".exif.txt")) {
        companions.push_back(e.path());
      } else if (name.ends_with(".jpg")) {
        const std::string bytes = qmtest::readFile(e.path());
        found.insert(bytes);
        images[name.substr(0, name.size() - 4)] = bytes;
      } else {
        // Only a killed run's temporary files may lie there, hidden.
        EXPECT_TRUE(name.starts_with(".quillmark-") && name.ends_with(".part")) << name;
      }
    }
    ASSERT_EQ(found, photos) << "photos lost, changed or duplicated";
    for (const fs::path& c : companions) {
      const std::string name = c.filename().string();
      const auto image = images.find(name.substr(0, name.size() - 9));
      ASSERT_NE(image, images.end()) << name << " has no photo";
      const std::string text = qmtest::readFile(c);
      const std::string photo = c.parent_path() / (image->first + ".jpg");
      EXPECT_TRUE(text == reports.at(image->second) || text == reportOf(photo))
          << name << " is not a whole report";
    }
    if (finished) {
      EXPECT_EQ(companions.size(), photos.size());
    }
  }
};

TEST(KilledRename, LosesNothingAndLeavesOnlyWholeCompanions) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  ::setenv("LC_ALL", "C", 1);
  meta::setCurrentLocale(meta::Locale::fromEnvironment());  // as the command line sees it

  // How long an uninterrupted run takes here, to spread the kills over it.
  auto duration = std::chrono::microseconds(0);
  {
    Folder folder;
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(waitFor(start(folder.dir.path())), 0);
    duration =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - began);
    folder.check(true);
  }

  std::mt19937 random(20101);
  for (int trial = 0; trial < kTrials; ++trial) {
    Folder folder;
    const auto delay =
        std::chrono::microseconds(std::uniform_int_distribution<long>(0, duration.count())(random));
    SCOPED_TRACE("trial " + std::to_string(trial) + ", killed after " + std::to_string(delay.count()) +
                 " us");
    const auto before = qmtest::snapshot(folder.dir.path());
    const pid_t pid = start(folder.dir.path());
    std::this_thread::sleep_for(delay);
    ::kill(pid, SIGKILL);
    waitFor(pid);
    folder.check(false);
    if (HasFatalFailure()) return;

    // Undo brings back every name and every byte, the half-made step included.
    const auto killed = qmtest::snapshot(folder.dir.path());
    if (killed != before) {
      EXPECT_EQ(waitFor(start(folder.dir.path(), true)), 0) << "the undo did not finish";
      EXPECT_EQ(qmtest::snapshot(folder.dir.path()), before) << "the undo did not restore the folder";
    }

    EXPECT_EQ(waitFor(start(folder.dir.path())), 0) << "the second run did not finish the work";
    folder.check(true);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
