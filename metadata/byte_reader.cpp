#include "metadata/byte_reader.hpp"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "metadata/byte_source.hpp"
#include "metadata/faults.hpp"

namespace meta {

// ---- The windowed region ---------------------------------------------------

// Positions 1..head are read when the region is made; window k holds the
// kWindowBytes positions from head + 1 + k * kWindowBytes, loaded when first
// read. When kMaxWindows are held, the one read longest ago makes room.
class tByteStore::Windows {
 public:
  Windows(std::shared_ptr<const tByteSource> source, int64_t origin, int64_t extent)
      : source_(std::move(source)), origin_(origin), extent_(extent) {
    head_ = load(1, std::min(extent_, kHeadBytes));
    windows_.reserve(kMaxWindows);
  }

  int64_t extent() const { return extent_; }
  const ByteString& head() const { return head_; }

  int64_t held() const {
    int64_t n = static_cast<int64_t>(head_.size());
    for (const Window& w : windows_) n += static_cast<int64_t>(w.bytes.size());
    return n;
  }

  void release() { source_.reset(); }

  // The positions must lie inside.
  void read(int64_t position, int64_t count, char* out) {
    const int64_t head = static_cast<int64_t>(head_.size());
    while (count > 0) {
      const char* from;
      int64_t n;
      if (position <= head) {
        from = head_.data() + (position - 1);
        n = std::min(count, head - position + 1);
      } else {
        const int64_t index = (position - head - 1) / kWindowBytes;
        const int64_t first = head + 1 + index * kWindowBytes;
        const ByteString& bytes = window(index, first);
        from = bytes.data() + (position - first);
        n = std::min(count, first + static_cast<int64_t>(bytes.size()) - position);
      }
      std::memcpy(out, from, static_cast<size_t>(n));
      out += n;
      position += n;
      count -= n;
    }
  }

 private:
  struct Window {
    int64_t index;
    ByteString bytes;
    uint64_t lastRead;
  };

  // `count` positions from `first`, zeros past the end of the source.
  ByteString load(int64_t first, int64_t count) const {
    if (!source_)
      throw DecodeFault("Position " + std::to_string(first) + " was not read while the file was open");
    ByteString bytes(static_cast<size_t>(count), '\0');
    source_->ReadAt(origin_ + first - 1, bytes.data(), count);
    return bytes;
  }

  const ByteString& window(int64_t index, int64_t first) {
    ++clock_;
    for (Window& w : windows_) {
      if (w.index == index) {
        w.lastRead = clock_;
        return w.bytes;
      }
    }
    ByteString bytes = load(first, std::min(kWindowBytes, extent_ - first + 1));
    if (windows_.size() < static_cast<size_t>(kMaxWindows)) {
      windows_.push_back(Window{index, std::move(bytes), clock_});
      return windows_.back().bytes;
    }
    Window& oldest =
        *std::min_element(windows_.begin(), windows_.end(),
                          [](const Window& a, const Window& b) { return a.lastRead < b.lastRead; });
    oldest = Window{index, std::move(bytes), clock_};
    return oldest.bytes;
  }

  std::shared_ptr<const tByteSource> source_;  // none once released
  int64_t origin_;
  int64_t extent_;
  ByteString head_;
  std::vector<Window> windows_;
  uint64_t clock_ = 0;
};

// ---- tByteStore ------------------------------------------------------------

tByteStore::tByteStore(ByteString bytes) : whole_(std::make_shared<const ByteString>(std::move(bytes))) {
  held_ = whole_->data();
  heldSize_ = size_ = static_cast<int64_t>(whole_->size());
}

tByteStore tByteStore::View(const ByteString& bytes) {
  tByteStore store;
  store.held_ = bytes.data();
  store.heldSize_ = store.size_ = static_cast<int64_t>(bytes.size());
  return store;
}

tByteStore tByteStore::Region(std::shared_ptr<const tByteSource> source, int64_t origin, int64_t extent) {
  tByteStore store;
  store.region_ = std::make_shared<Windows>(std::move(source), origin, std::max<int64_t>(extent, 0));
  store.held_ = store.region_->head().data();
  store.heldSize_ = static_cast<int64_t>(store.region_->head().size());
  store.size_ = store.region_->extent();
  return store;
}

void tByteStore::readWindows(int64_t position, int64_t count, char* out) const {
  if (region_) region_->read(position, count, out);
}

ByteString tByteStore::copy(int64_t position, int64_t count) const {
  if (position < 1) position = 1;
  count = std::min({count, size() - (position - 1), kMaxCopyBytes});
  if (count <= 0) return {};
  if (const char* at = heldAt(position, count)) return ByteString(at, static_cast<size_t>(count));
  ByteString bytes(static_cast<size_t>(count), '\0');
  read(position, count, bytes.data());
  return bytes;
}

int64_t tByteStore::heldBytes() const {
  if (region_) return region_->held();
  return heldSize_;
}

void tByteStore::release() {
  if (region_) region_->release();
}

bool tByteStore::equals(std::string_view bytes) const {
  if (size() != static_cast<int64_t>(bytes.size())) return false;
  ByteString all(bytes.size(), '\0');
  read(1, size(), all.data());
  return all == bytes;
}

// ---- tEndInd ---------------------------------------------------------------

void tEndInd::outOfRange(int64_t position, int width) const {
  throw DecodeFault("Range check error: " + std::to_string(width) + " bytes at position " +
                    std::to_string(position) + " of a " + std::to_string(Buffer.size()) + "-byte buffer");
}

int32_t tEndInd::BytesToInt(std::string_view bytes) const noexcept {
  uint64_t acc = 0;
  const size_t n = bytes.size();
  for (size_t i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(BigEndian ? bytes[i] : bytes[n - 1 - i]);
    acc = (acc << 8) | c;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(acc & 0xFFFFFFFFu));
}

ByteString copyClamped(const ByteString& buf, int64_t position, int64_t count) {
  if (count <= 0) return {};
  if (position < 1) position = 1;
  const int64_t size = static_cast<int64_t>(buf.size());
  if (position > size) return {};
  int64_t available = size - (position - 1);
  if (count > available) count = available;
  return buf.substr(static_cast<size_t>(position - 1), static_cast<size_t>(count));
}

}  // namespace meta
