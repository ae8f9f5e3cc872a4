#pragma once
// NameMap: names (of files, of paths) and a small value for each, in one
// flat open-addressed table whose names lie together in a few large blocks.
// A run asks about each photo's names several times; here a question costs a
// hash and, mostly, one probe and one compare within memory that stays in
// the cache, where a node-based map of tens of thousands of names touches
// scattered nodes. With FoldCase, names that differ only in the case of
// ASCII letters are one name (the first spelling is kept).
#include <algorithm>
#include <cstdint>
#include <string>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace naming {

enum class NameCase { Exact, FoldCase };

template <class Value, NameCase Case = NameCase::Exact>
class NameMap {
 public:
  // The value of `name`, none when it is not in the map.
  std::optional<Value> find(std::string_view name) const {
    const Value* v = lookup(name);
    return v ? std::optional<Value>(*v) : std::nullopt;
  }

  // Where the value of `name` is kept (until the next set), or null.
  Value* lookup(std::string_view name) {
    return const_cast<Value*>(static_cast<const NameMap*>(this)->lookup(name));
  }
  const Value* lookup(std::string_view name) const {
    if (slots_.empty()) return nullptr;
    const uint64_t h = hashOf(name);
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
      const Slot& s = slots_[i];
      if (s.state == kEmpty) return nullptr;
      if (s.state == kUsed && s.hash == h && same(nameOf(s), name)) return &s.value;
    }
  }

  // Sets the value of `name`, adding it if needed; where it is kept.
  Value& set(std::string_view name, Value value) {
    if ((used_ + removed_ + 1) * 4 > slots_.size() * 3) grow(used_ + 1);
    const uint64_t h = hashOf(name);
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
        s.value = std::move(value);
        return s.value;
      }
    }
    Slot& s = slots_[reuse];
    if (s.state == kRemoved) --removed_;
    s = Slot{h, store(name), static_cast<uint32_t>(name.size()), kUsed, std::move(value)};
    ++used_;
    return s.value;
  }

  void erase(std::string_view name) {
    if (slots_.empty()) return;
    const uint64_t h = hashOf(name);
    for (size_t i = h & mask_;; i = (i + 1) & mask_) {
      Slot& s = slots_[i];
      if (s.state == kEmpty) return;
      if (s.state == kUsed && s.hash == h && same(nameOf(s), name)) {
        s.state = kRemoved;
        s.value = Value{};
        --used_;
        ++removed_;
        return;
      }
    }
  }

  size_t size() const { return used_; }

  // Room for `count` names in all, so that adding them does not grow the table.
  void reserve(size_t count) {
    if (count * 2 > slots_.size()) grow(count);
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
    uint64_t hash = 0;
    const char* name = nullptr;
    uint32_t length = 0;
    unsigned char state = kEmpty;
    Value value{};
  };

  static char folded(char c) {
    if constexpr (Case == NameCase::FoldCase) return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return c;
  }
  static uint64_t hashOf(std::string_view name) {
    uint64_t h = 14695981039346656037ull;  // FNV-1a, then mixed
    for (char c : name) h = (h ^ static_cast<unsigned char>(folded(c))) * 1099511628211ull;
    return h ^ (h >> 29);
  }
  static bool same(std::string_view a, std::string_view b) {
    if constexpr (Case == NameCase::Exact) return a == b;
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (folded(a[i]) != folded(b[i])) return false;
    return true;
  }

  static std::string_view nameOf(const Slot& s) { return {s.name, s.length}; }

  // The names are copied into blocks that never move; a removed name's bytes
  // stay until the table next grows.
  const char* store(std::string_view name) {
    if (blockLeft_ < name.size()) {
      const size_t size = std::max<size_t>(64 * 1024, name.size());
      blocks_.push_back(std::make_unique<char[]>(size));
      blockNext_ = blocks_.back().get();
      blockLeft_ = size;
    }
    char* at = blockNext_;
    if (!name.empty()) std::char_traits<char>::copy(at, name.data(), name.size());
    blockNext_ += name.size();
    blockLeft_ -= name.size();
    return at;
  }

  // A new table, at most half full with `count` names; the names kept move
  // into new blocks, so that removed names leave no bytes behind.
  void grow(size_t count) {
    std::vector<Slot> old = std::move(slots_);
    slots_.clear();
    std::vector<std::unique_ptr<char[]>> oldBlocks = std::move(blocks_);
    blocks_.clear();
    blockNext_ = nullptr;
    blockLeft_ = 0;
    size_t size = 64;  // a power of two
    while (size < std::max(count, used_ + 1) * 2) size *= 2;
    slots_.assign(size, Slot{});
    mask_ = size - 1;
    removed_ = 0;
    for (Slot& s : old) {
      if (s.state != kUsed) continue;
      size_t i = s.hash & mask_;
      while (slots_[i].state != kEmpty) i = (i + 1) & mask_;
      s.name = store(nameOf(s));
      slots_[i] = std::move(s);
    }
  }

  std::vector<Slot> slots_;
  size_t mask_ = 0;
  size_t used_ = 0;
  size_t removed_ = 0;
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* blockNext_ = nullptr;
  size_t blockLeft_ = 0;
};

}  // namespace naming
