#pragma once
// Runs code that must not wait on a FIFO, so that a test of it fails rather
// than hangs: should the code still run after a while, a watchdog opens the
// FIFO's writing end (again and again, until the code is done), which lets an
// open for reading come back and the reads that follow see the end of it.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace qmtest {

// True when `body` finished without the watchdog's help.
inline bool finishesWithoutWaiting(const std::string& fifo, const std::function<void()>& body,
                                   std::chrono::milliseconds patience = std::chrono::seconds(3)) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false, helped = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(m);
    if (cv.wait_for(lock, patience, [&] { return done; })) return;
    while (!done) {
      helped = true;
      const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // succeeds only while someone waits
      if (fd >= 0) ::close(fd);
      cv.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; });
    }
  });
  body();
  {
    std::lock_guard<std::mutex> lock(m);
    done = true;
  }
  cv.notify_all();
  watchdog.join();
  return !helped;
}

}  // namespace qmtest
