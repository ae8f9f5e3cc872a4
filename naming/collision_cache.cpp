#include "naming/collision_cache.hpp"

#include <set>
#include <string_view>
#include <vector>

#include "metadata/text.hpp"
#include "naming/name_map.hpp"

namespace naming {

Counter firstFreeCounter(const std::string& ownPath, const CandidateOf& candidate, FileSystem& fs) {
  for (Counter c = 1;; ++c) {
    std::string path = candidate(c);
    if (path == ownPath || !fs.fileExists(path)) return c;
  }
}

struct CollisionCache::Impl {
  // One candidate name met by the cache.
  struct Entry {
    uint32_t family;
    Counter counter;
    std::string path;  // exact text
  };
  // Every candidate below `top` was found to exist (or was put there by the
  // batch), except those in `uncertain`: their file was removed since, so
  // they must be tested again before being skipped.
  struct Family {
    Counter top = 1;
    std::set<Counter> uncertain;
  };

  NameMap<uint32_t> familyIds;
  std::vector<Family> families;
  // Keyed by the path, letter case aside.
  NameMap<std::vector<Entry>, NameCase::FoldCase> entries;

  uint32_t familyOf(const std::string& key) {
    if (const uint32_t* id = familyIds.lookup(key)) return *id;
    families.emplace_back();
    return familyIds.set(key, static_cast<uint32_t>(families.size() - 1));
  }

  void record(uint32_t family, Counter counter, const std::string& path) {
    std::vector<Entry>* known = entries.lookup(path);
    std::vector<Entry>& list = known ? *known : entries.set(path, {});
    for (const Entry& e : list)
      if (e.family == family && e.counter == counter) return;
    list.push_back({family, counter, path});
  }

  // The smallest counter below `top` at which the family's candidate is the
  // file's own path; 0 when there is none.
  Counter knownOwnCounter(uint32_t family, const std::string& ownPath) const {
    const std::vector<Entry>* list = entries.lookup(ownPath);
    if (!list) return 0;
    Counter own = 0;
    for (const Entry& e : *list)
      if (e.family == family && e.path == ownPath && e.counter < families[family].top &&
          (own == 0 || e.counter < own))
        own = e.counter;
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
  std::set<Counter>& uncertain = m.families[id].uncertain;
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
  impl_->entries.reserve(impl_->entries.size() + files);
}

void CollisionCache::notifyVacated(const std::string& path) {
  const std::vector<Impl::Entry>* list = impl_->entries.lookup(path);
  if (!list) return;
  for (const Impl::Entry& e : *list) {
    Impl::Family& family = impl_->families[e.family];
    if (e.counter < family.top) family.uncertain.insert(e.counter);
  }
}

void CollisionCache::notifyOccupied(const std::string& path) {
  const std::vector<Impl::Entry>* list = impl_->entries.lookup(path);
  if (!list) return;
  for (const Impl::Entry& e : *list) {
    if (e.path != path) continue;
    Impl::Family& family = impl_->families[e.family];
    family.uncertain.erase(e.counter);
    if (e.counter == family.top) family.top = e.counter + 1;
  }
}


}  // namespace naming
