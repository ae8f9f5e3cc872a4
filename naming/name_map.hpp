#pragma once
// NameMap: names (of files, of paths) and a small value for each, in one
// flat open-addressed table of 16-byte slots, the names themselves one after
// the other in one block. A run asks about each photo's names several times;
// here a question costs a hash and, mostly, one probe and one compare within
// memory that stays in the cache, where a node-based map of tens of
// thousands of names touches scattered nodes. With FoldCase, names that
// differ only in the case of ASCII letters are one name (the first spelling
// is kept).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace naming {

enum class NameCase { Exact, FoldCase };

template <class Value, NameCase Case = NameCase::Exact>
class NameMap {
  static_assert(std::is_trivially_copyable_v<Value> && sizeof(Value) <= 4, "a small value");

 public:
  // The value of `name`, none when it is not in the map.
  std::optional<Value> find(std::string_view name) const {
    const Value* v = lookup(name);
    return v ? std::optional<Value>(*v) : std::nullopt;
  }

  // Where the value of `name` is kept (until the next set), or null.
  Value* lookup(std::string_view name) { return const_cast<Value*>(std::as_const(*this).lookup(name)); }
  const Value* lookup(std::string_view name) const {
    if (slots_.empty()) return nullptr;
    const uint32_t h = hashOf(name);
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
      const Slot& s = slots_[i];
      if (s.state == kEmpty) return nullptr;
      if (s.state == kUsed && s.hash == h && same(nameOf(s), name)) return &s.value;
    }
  }

  // Sets the value of `name`, adding it if needed; where it is kept.
  Value& set(std::string_view name, Value value) {
    const auto [kept, added] = emplace(name, value);
    if (!added) *kept = value;
    return *kept;
  }

  // Adds `name` with `value` unless it is there already: where its value is
  // kept (until the next addition), and whether it was added.
  std::pair<Value*, bool> emplace(std::string_view name, Value value) {
    // A table full of removed names (a folder's listing as its files are
    // renamed) is rebuilt at its size; one full of names doubles.
    if ((used_ + removed_ + 1) * 4 > slots_.size() * 3)
      grow(std::max<size_t>(removed_ * 2 > used_ ? used_ + 1 : used_ * 2, 32));
    const uint32_t h = hashOf(name);
    size_t reuse = slots_.size();
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (s.state == kEmpty) {
        if (reuse == slots_.size()) reuse = i;
        break;
      }
      if (s.state == kRemoved) {
        if (reuse == slots_.size()) reuse = i;
        continue;
      }
      if (s.hash == h && same(nameOf(s), name)) return {&s.value, false};
    }
    Slot& s = slots_[reuse];
    if (s.state == kRemoved) --removed_;
    s = Slot{h, store(name), static_cast<uint32_t>(name.size()), kUsed, value};
    ++used_;
    return {&s.value, true};
  }

  void erase(std::string_view name) {
    if (slots_.empty()) return;
    const uint32_t h = hashOf(name);
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (s.state == kEmpty) return;
      if (s.state == kUsed && s.hash == h && same(nameOf(s), name)) {
        s.state = kRemoved;
        --used_;
        ++removed_;
        return;
      }
    }
  }

  size_t size() const { return used_; }

  // Room for `count` names in all, so that adding them does not grow the table.
  void reserve(size_t count) {
    if (count * 4 > slots_.size() * 3) grow(count);
  }

  // The first name, in table order, for which `pred(name)` holds.
  template <class Pred>
  std::optional<std::string_view> findName(Pred&& pred) const {
    for (const Slot& s : slots_)
      if (s.state == kUsed && pred(nameOf(s))) return nameOf(s);
    return std::nullopt;
  }

 private:
  static constexpr unsigned char kEmpty = 0, kUsed = 1, kRemoved = 2;
  struct Slot {
    uint32_t hash = 0;
    uint32_t at = 0;  // the name, in names_
    uint32_t length = 0;
    unsigned char state = kEmpty;
    Value value{};
  };

  static char folded(char c) {
    if constexpr (Case == NameCase::FoldCase)
      return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return c;
  }
  // Up to eight bytes of a name as one word, the rest zero.
  static uint64_t wordAt(const char* p, size_t n) {
    uint64_t w = 0;
    std::memcpy(&w, p, n);
    return w;
  }
  // The ASCII capitals of a word made small, eight bytes at once: a byte
  // gets bit 5 when it lies in 'A'..'Z' (bytes of 0x80 and up are left).
  static uint64_t foldedWord(uint64_t w) {
    if constexpr (Case == NameCase::FoldCase) {
      constexpr uint64_t kHigh = 0x8080808080808080ull;
      const uint64_t low = w & ~kHigh;
      const uint64_t fromA = low + 0x3F3F3F3F3F3F3F3Full;  // high bit where the byte is 'A' or above
      const uint64_t pastZ = low + 0x2525252525252525ull;  // high bit where it is above 'Z'
      return w | ((fromA & ~pastZ & ~w & kHigh) >> 2);
    }
    return w;
  }
  // Eight bytes a step, each step a multiply; a final mix so that the low
  // bits, which pick the slot, depend on every byte.
  static uint32_t hashOf(std::string_view name) {
    constexpr uint64_t kStep = 0xBF58476D1CE4E5B9ull;
    uint64_t h = 0x9E3779B97F4A7C15ull ^ name.size();
    size_t i = 0;
    for (; i + 8 <= name.size(); i += 8) h = (h ^ foldedWord(wordAt(name.data() + i, 8))) * kStep;
    if (i < name.size()) h = (h ^ foldedWord(wordAt(name.data() + i, name.size() - i))) * kStep;
    h ^= h >> 31;
    h *= 0x94D049BB133111EBull;
    h ^= h >> 29;
    return static_cast<uint32_t>(h ^ (h >> 32));
  }
  static bool same(std::string_view a, std::string_view b) {
    if constexpr (Case == NameCase::Exact) return a == b;
    if (a.size() != b.size()) return false;
    if (a == b) return true;  // mostly the same spelling
    for (size_t i = 0; i < a.size(); ++i)
      if (folded(a[i]) != folded(b[i])) return false;
    return true;
  }

  std::string_view nameOf(const Slot& s) const { return {names_.data() + s.at, s.length}; }

  // A removed name's bytes stay until the table next grows.
  uint32_t store(std::string_view name) {
    if (names_.size() + name.size() > UINT32_MAX) throw std::length_error("name map");
    const auto at = static_cast<uint32_t>(names_.size());
    names_.insert(names_.end(), name.begin(), name.end());
    return at;
  }

  // A new table, at most three quarters full with `count` names; the names
  // kept move into a new block, so that removed names leave no bytes behind.
  void grow(size_t count) {
    std::vector<Slot> old = std::move(slots_);
    std::vector<char> oldNames = std::move(names_);
    size_t size = 64;  // a power of two
    while (size * 3 < std::max(count, used_ + 1) * 4) size *= 2;
    slots_.assign(size, Slot{});
    names_.clear();
    names_.reserve(oldNames.size());
    mask_ = size - 1;
    removed_ = 0;
    for (Slot s : old) {
      if (s.state != kUsed) continue;
      size_t i = s.hash & mask_;
      while (slots_[i].state != kEmpty) i = (i + 1) & mask_;
      const std::string_view name(oldNames.data() + s.at, s.length);
      s.at = store(name);
      slots_[i] = s;
    }
  }

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  size_t used_ = 0;
  size_t removed_ = 0;
  std::vector<char> names_;
};

}  // namespace naming
