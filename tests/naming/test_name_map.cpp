#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "metadata/text.hpp"
#include "naming/name_map.hpp"

namespace {

// Random additions, changes and removals, many enough to grow the table and
// to fill it with removed slots, agree with an ordered map at every step.
template <naming::NameCase Case>
void agreesWithOrderedMap(bool fold) {
  naming::NameMap<int, Case> map;
  std::map<std::string, int> expected;  // keyed by the folded name when folding
  std::mt19937 random(7);
  auto key = [&](const std::string& name) { return fold ? meta::toLower(name) : name; };
  for (int step = 0; step < 40000; ++step) {
    // Capitals on both sides of the eighth byte, where the hash takes its next word.
    std::string name = std::string(random() % 2 ? "Photo-" : "PHOTO-") + std::to_string(random() % 3000) +
                       (random() % 2 ? ".JPG" : ".jpg");
    switch (random() % 3) {
      case 0:
        map.set(name, step);
        expected[key(name)] = step;
        break;
      case 1:
        map.erase(name);
        expected.erase(key(name));
        break;
      default: {
        const auto it = expected.find(key(name));
        const std::optional<int> found = map.find(name);
        ASSERT_EQ(found.has_value(), it != expected.end()) << name << " at step " << step;
        if (found) {
          ASSERT_EQ(*found, it->second) << name;
        }
      }
    }
    ASSERT_EQ(map.size(), expected.size());
  }
}

TEST(NameMap, AgreesWithAnOrderedMapThroughGrowthAndRemovals) {
  agreesWithOrderedMap<naming::NameCase::Exact>(false);
  agreesWithOrderedMap<naming::NameCase::FoldCase>(true);
}

}  // namespace
