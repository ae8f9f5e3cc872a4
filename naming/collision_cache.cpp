#include "naming/collision_cache.hpp"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "naming/name_map.hpp"

namespace naming {

Counter firstFreeCounter(const std::string& ownPath, const CandidateOf& candidate, FileSystem& fs) {
  for (Counter c = 1;; ++c) {
    std::string path = candidate(c);
    if (path == ownPath || !fs.fileExists(path)) return c;
  }
}

struct CollisionCache::Impl {
  // One candidate name met by the cache. The entries of one name (letter
  // case aside) are chained through `next`, newest first.
  struct Entry {
    uint32_t family;
    uint32_t next;  // index + 1 of the next entry of the name; 0: none
    Counter counter;
    uint32_t pathAt;  // the exact text, in `paths`
    uint32_t pathLength;
  };
  // Every candidate below `top` was found to exist (or was put there by the
  // batch), except those in `uncertain` (in increasing order): their file was
  // removed since, so they must be tested again before being skipped.
  struct Family {
    Counter top = 1;
    std::vector<Counter> uncertain;

    void markUncertain(Counter c) {
      const auto at = std::lower_bound(uncertain.begin(), uncertain.end(), c);
      if (at == uncertain.end() || *at != c) uncertain.insert(at, c);
    }
    void markCertain(Counter c) {
      const auto at = std::lower_bound(uncertain.begin(), uncertain.end(), c);
      if (at != uncertain.end() && *at == c) uncertain.erase(at);
    }
  };

  NameMap<uint32_t> familyIds;
  std::vector<Family> families;
  // Keyed by the path, letter case aside: index + 1 of its newest entry.
  NameMap<uint32_t, NameCase::FoldCase> firstEntry;
  std::vector<Entry> entries;
  std::string paths;

  uint32_t familyOf(const std::string& key) {
    const auto [id, added] = familyIds.emplace(key, static_cast<uint32_t>(families.size()));
    if (added) families.emplace_back();
    return *id;
  }

  std::string_view pathOf(const Entry& e) const {
    return std::string_view(paths).substr(e.pathAt, e.pathLength);
  }

  // Calls f(entry) for each entry of `path`'s name.
  template <class F>
  void forEachEntry(std::string_view path, F&& f) const {
    const uint32_t* first = firstEntry.lookup(path);
    for (uint32_t i = first ? *first : 0; i != 0; i = entries[i - 1].next) f(entries[i - 1]);
  }

  void record(uint32_t family, Counter counter, const std::string& path) {
    uint32_t* first = firstEntry.emplace(path, 0).first;  // 0: no entry yet
    for (uint32_t i = *first; i != 0; i = entries[i - 1].next)
      if (entries[i - 1].family == family && entries[i - 1].counter == counter) return;
    if (entries.size() >= UINT32_MAX - 1 || paths.size() + path.size() >= UINT32_MAX)
      throw std::length_error("collision cache");
    entries.push_back(
        {family, *first, counter, static_cast<uint32_t>(paths.size()), static_cast<uint32_t>(path.size())});
    paths += path;
    *first = static_cast<uint32_t>(entries.size());
  }

  // The smallest counter below `top` at which the family's candidate is the
  // file's own path; 0 when there is none.
  Counter knownOwnCounter(uint32_t family, const std::string& ownPath) const {
    Counter own = 0;
    forEachEntry(ownPath, [&](const Entry& e) {
      if (e.family == family && pathOf(e) == ownPath && e.counter < families[family].top &&
          (own == 0 || e.counter < own))
        own = e.counter;
    });
    return own;
  }
};

CollisionCache::CollisionCache() : impl_(std::make_unique<Impl>()) {}
CollisionCache::~CollisionCache() = default;

Counter CollisionCache::firstFree(const std::string& familyKey, const std::string& ownPath,
                                  const CandidateOf& candidate, FileSystem& fs) {
  Impl& m = *impl_;
  uint32_t id = m.familyOf(familyKey);
  Counter own = m.knownOwnCounter(id, ownPath);

  // Names freed since they were skipped come first: the lowest free one wins,
  // unless the file's own name comes before it.
  std::vector<Counter>& uncertain = m.families[id].uncertain;
  for (auto it = uncertain.begin(); it != uncertain.end() && (own == 0 || *it < own);) {
    Counter c = *it;
    std::string path = candidate(c);
    if (path == ownPath || !fs.fileExists(path)) return c;
    it = uncertain.erase(it);
  }
  if (own != 0) return own;

  for (;;) {
    Impl::Family& family = m.families[id];  // `record` never adds families
    Counter c = family.top;
    std::string path = candidate(c);
    m.record(id, c, path);
    if (path == ownPath || !fs.fileExists(path)) return c;
    family.top = c + 1;
  }
}

void CollisionCache::reserve(size_t files) {
  impl_->families.reserve(impl_->families.size() + files);
  impl_->familyIds.reserve(impl_->familyIds.size() + files);
  impl_->firstEntry.reserve(impl_->firstEntry.size() + files);
  impl_->entries.reserve(impl_->entries.size() + files);
}

void CollisionCache::notifyVacated(const std::string& path) {
  impl_->forEachEntry(path, [&](const Impl::Entry& e) {
    Impl::Family& family = impl_->families[e.family];
    if (e.counter < family.top) family.markUncertain(e.counter);
  });
}

void CollisionCache::notifyOccupied(const std::string& path) {
  impl_->forEachEntry(path, [&](const Impl::Entry& e) {
    if (impl_->pathOf(e) != path) return;
    Impl::Family& family = impl_->families[e.family];
    family.markCertain(e.counter);
    if (e.counter == family.top) family.top = e.counter + 1;
  });
}

}  // namespace naming
