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
      if (s.hash == h && same(nameOf(s), name)) {
        s.value = value;
        return s.value;
      }
    }
    Slot& s = slots_[reuse];
    if (s.state == kRemoved) --removed_;
    s = Slot{h, store(name), static_cast<uint32_t>(name.size()), kUsed, value};
    ++used_;
    return s.value;
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
    if constexpr (Case == NameCase::FoldCase) return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return c;
  }
  static uint32_t hashOf(std::string_view name) {
    uint64_t h = 14695981039346656037ull;  // FNV-1a, then folded to 32 bits
    for (char c : name) h = (h ^ static_cast<unsigned char>(folded(c))) * 1099511628211ull;
    return static_cast<uint32_t>(h ^ (h >> 32));
  }
  static bool same(std::string_view a, std::string_view b) {
    if constexpr (Case == NameCase::Exact) return a == b;
    if (a.size() != b.size()) return false;
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
