// The collision cache must give, through a whole batch of moves, exactly the
// names that testing every counter one by one gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "metadata/image_reader.hpp"
#include "metadata/locale.hpp"
#include "metadata/paths.hpp"
#include "metadata/text.hpp"
#include "naming/collision_cache.hpp"
#include "naming/naming.hpp"
#include "testkit/fake_file_system.hpp"

namespace {

using naming::TNaming;

// The composition written out step by step, without shortcuts: one pass per
// counter until the candidate is free or the file's own. None when the loop
// has not ended after `limit` counters.
std::optional<std::string> plainLoop(const naming::TParsedFormat& format,
                                     const std::vector<std::string>& values, int digits,
                                     const std::string& path, naming::FileSystem& fs, int limit = 5000) {
  const std::string folder = meta::folderOf(path);
  const std::string sourceExt = meta::extensionOf(path);
  for (int counter = 1; counter <= limit; ++counter) {
    std::string name;
    bool usesNumber = false;
    for (int i = 0; i < format.ItemCount; ++i) {
      int32_t item = format.Items[static_cast<size_t>(i)];
      if (item <= 0)
        name += format.Literals[static_cast<size_t>(-item)];
      else if (item == naming::kNumberCode)
        name += meta::formatZeroPadded(counter, digits), usesNumber = true;
      else
        name += values[static_cast<size_t>(naming::ElementRowOf(item))];
    }
    std::string candidate = folder + name;
    if (!meta::equalsIgnoreCase(meta::extensionOf(candidate), sourceExt))
      candidate = meta::replaceExtension(candidate, sourceExt);
    if (!(usesNumber && fs.fileExists(candidate) && candidate != path)) return candidate;
  }
  return std::nullopt;
}

struct Engine {
  meta::TimgData reader;
  TNaming naming;
  std::string digits;
  Engine(naming::FileSystem& fs, const std::string& format, int d)
      : naming(reader, fs), digits(std::to_string(d)) {
    naming.DigitText = [this] { return digits; };
    naming.ParseFormat(format);
  }
  std::string compose(const std::vector<std::string>& values, const std::string& path,
                      naming::CollisionCache* cache) {
    for (size_t row = 0; row < values.size(); ++row) naming.ElementValues[row] = values[row];
    naming.ComposeNewName(path, cache);
    return naming.NewPath;
  }
};

const char* const kFormats[] = {
    "[IYEAR]-[NUMBER]",
    "[IYEAR][IMONTH]-[NUMBER][EXT]",
    "[TEXT][NUMBER]",
    "[NUMBER]",
    "x[NUMBER]y[NUMBER]",
    "[IYEAR][NUMBER]",
    "[NAME]-[NUMBER]",
    "[IYEAR].[NUMBER]",
    "[IYEAR].jp[NUMBER]",
    "[IYEAR]-[NUMBER].[NUMBER]",
    "[IYEAR]",
    "[TEXT]/[NUMBER]",
};

std::string pick(std::mt19937& rng, std::initializer_list<const char*> pool) {
  std::uniform_int_distribution<size_t> d(0, pool.size() - 1);
  return *(pool.begin() + static_cast<std::ptrdiff_t>(d(rng)));
}

TEST(CollisionCache, SameNamesAsThePlainLoopThroughWholeBatches) {
  int batches = 0, collisions = 0;
  for (unsigned seed = 1; seed <= 400; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto chance = [&](int percent) { return std::uniform_int_distribution<int>(0, 99)(rng) < percent; };
    const bool folded = chance(25);
    qmtest::FakeFileSystem fs(folded);
    const std::string format = kFormats[seed % std::size(kFormats)];
    const int digits = std::uniform_int_distribution<int>(1, 3)(rng);
    const std::string text = pick(rng, {"", "t", "T1", "sub"});
    Engine plain(fs, format, digits), cached(fs, format, digits);
    naming::CollisionCache cache;
    std::vector<std::string> others;

    // Files to rename and files in the way, most of them named as the format
    // names files (so that names collide, and files leave names that others
    // then take), some not at all.
    const std::string years[] = {"2004", "2005", "200"}, months[] = {"1", "01", "11"};
    auto formatted = [&](int i) {
      std::string name = format;
      auto put = [&](const std::string& key, const std::string& value) {
        for (size_t at; (at = name.find(key)) != std::string::npos;) name.replace(at, key.size(), value);
      };
      put("[IYEAR]", years[rng() % 3]);
      put("[IMONTH]", months[rng() % 3]);
      put("[TEXT]", text);
      put("[NAME]", "IMG_" + std::to_string(i));
      put("[EXT]", ".jpg");
      put("[NUMBER]", meta::formatZeroPadded(1 + rng() % 8, chance(80) ? digits : 1 + int(rng() % 3)));
      return name;
    };
    std::vector<std::string> list;
    const int files = std::uniform_int_distribution<int>(1, 60)(rng);
    for (int i = 0; i < files + files / 2; ++i) {
      std::string ext = pick(rng, {".jpg", ".JPG", ".jp2", ".JP2"});
      std::string path =
          pick(rng, {"/a/", "/a/", "/b/"}) + (chance(75) ? formatted(i) : "IMG_" + std::to_string(i));
      if (!meta::equalsIgnoreCase(meta::extensionOf(path), ext)) path = meta::replaceExtension(path, ext);
      if (fs.fileExists(path)) continue;
      fs.addFile(path);
      (i < files ? list : others).push_back(path);
    }
    std::shuffle(list.begin(), list.end(), rng);

    for (const std::string& path : list) {
      if (!fs.fileExists(path)) continue;  // moved away as a side effect below
      std::vector<std::string> values(naming::kElementCount);
      values[naming::rowNAME] = meta::stripExtension(meta::fileNameOf(path));
      values[naming::rowEXT] = meta::toLower(meta::extensionOf(path));
      values[naming::rowIYEAR] = years[rng() % 3];
      values[naming::rowIMONTH] = months[rng() % 3];
      values[naming::rowTEXT] = text;

      std::optional<std::string> expected = plainLoop(plain.naming.Format, values, digits, path, fs);
      std::string withoutCache = plain.compose(values, path, nullptr);
      std::string withCache = cached.compose(values, path, &cache);
      ASSERT_EQ(withCache, withoutCache) << path;
      if (expected) {
        ASSERT_EQ(withoutCache, *expected) << path;
      } else {
        // The loop would never end: the name stays a taken one.
        ASSERT_TRUE(fs.fileExists(withoutCache)) << path;
        ASSERT_NE(withoutCache, path);
      }
      if (withCache != path && fs.fileExists(withCache)) ++collisions;

      // The batch: move when the name is free, sometimes fail to; now and
      // then another file of the batch is removed.
      if (withCache != path && !fs.fileExists(withCache) && chance(90) && fs.moveFile(path, withCache)) {
        cache.notifyVacated(path);
        cache.notifyOccupied(withCache);
      }
      if (chance(10) && !others.empty()) {
        const std::string& victim = others[std::uniform_int_distribution<size_t>(0, others.size() - 1)(rng)];
        if (fs.deleteFile(victim)) cache.notifyVacated(victim);
      }
    }
    ++batches;
  }
  EXPECT_EQ(batches, 400);
  EXPECT_GT(collisions, 0);
}

// 10,000 photos of one year under "[IYEAR]-[NUMBER]": every file collides
// with all those renamed before it.
TEST(CollisionCache, HeavilyCollidingBatchStaysLinear) {
  const int n = 10000;
  qmtest::FakeFileSystem fs;
  Engine engine(fs, "[IYEAR]-[NUMBER]", 4);
  naming::CollisionCache cache;
  std::vector<std::string> values(naming::kElementCount);
  values[naming::rowIYEAR] = "2004";
  for (int i = 0; i < n; ++i) fs.addFile("/p/IMG_" + std::to_string(i) + ".jpg");
  for (int i = 0; i < n; ++i) {
    std::string path = "/p/IMG_" + std::to_string(i) + ".jpg";
    std::string name = engine.compose(values, path, &cache);
    ASSERT_EQ(name, "/p/2004-" + meta::formatZeroPadded(i + 1, 4) + ".jpg");
    ASSERT_TRUE(fs.moveFile(path, name));
    cache.notifyVacated(path);
    cache.notifyOccupied(name);
  }
  EXPECT_LE(fs.existenceTests, 3ull * n);
}

// Files already named, listed last first: the first one steps over all the
// others, every later one is found at once.
TEST(CollisionCache, AlreadyNamedFilesInReverseOrder) {
  const int n = 5000;
  qmtest::FakeFileSystem fs;
  Engine engine(fs, "[IYEAR]-[NUMBER]", 4);
  naming::CollisionCache cache;
  std::vector<std::string> values(naming::kElementCount);
  values[naming::rowIYEAR] = "2004";
  for (int i = 1; i <= n; ++i) fs.addFile("/p/2004-" + meta::formatZeroPadded(i, 4) + ".jpg");
  for (int i = n; i >= 1; --i) {
    std::string path = "/p/2004-" + meta::formatZeroPadded(i, 4) + ".jpg";
    ASSERT_EQ(engine.compose(values, path, &cache), path);
  }
  EXPECT_LE(fs.existenceTests, 2ull * n);
}

TEST(CollisionCache, VacatedNameIsTakenAgain) {
  qmtest::FakeFileSystem fs;
  naming::CollisionCache cache;
  auto candidate = [](naming::Counter c) { return "/p/n" + std::to_string(c) + ".jpg"; };
  for (int i = 1; i <= 5; ++i) fs.addFile(candidate(static_cast<naming::Counter>(i)));
  EXPECT_EQ(cache.firstFree("f", "/p/x.jpg", candidate, fs), 6u);
  ASSERT_TRUE(fs.deleteFile("/p/n3.jpg"));
  cache.notifyVacated("/p/n3.jpg");
  EXPECT_EQ(cache.firstFree("f", "/p/x.jpg", candidate, fs), 3u);
  fs.addFile("/p/n3.jpg");
  cache.notifyOccupied("/p/n3.jpg");
  EXPECT_EQ(cache.firstFree("f", "/p/x.jpg", candidate, fs), 6u);
  // The file's own name below the known top wins over the free one above.
  EXPECT_EQ(cache.firstFree("f", "/p/n2.jpg", candidate, fs), 2u);
  // On a volume that ignores case, moving "N4.JPG" away frees "n4.jpg" too.
  qmtest::FakeFileSystem fat(true);
  naming::CollisionCache c2;
  for (int i = 1; i <= 5; ++i) fat.addFile(candidate(static_cast<naming::Counter>(i)));
  EXPECT_EQ(c2.firstFree("f", "/p/x.jpg", candidate, fat), 6u);
  ASSERT_TRUE(fat.deleteFile("/p/N4.JPG"));
  c2.notifyVacated("/p/N4.JPG");
  EXPECT_EQ(c2.firstFree("f", "/p/x.jpg", candidate, fat), 4u);
}

}  // namespace
