#include "naming/histories.hpp"

#include <algorithm>

#include "metadata/text.hpp"
#include "naming/format.hpp"

namespace naming {

void PushHistory(EditBox& box) {
  const int selStart = box.selStart;
  const int selLength = box.selLength;
  const std::string text = box.text;
  auto found = std::find_if(box.history.begin(), box.history.end(),
                            [&](const std::string& entry) { return meta::equalsIgnoreCase(entry, text); });
  if (found != box.history.end()) box.history.erase(found);
  if (!text.empty()) box.history.insert(box.history.begin(), text);
  box.text = text;
  box.selStart = selStart;
  box.selLength = selLength;
}

void ClearFormatHistory(EditBox& box) {
  box.history.clear();
  box.text = DefaultFormat();
  box.history.push_back(DefaultFormat());
  box.selStart = 0;
  box.selLength = 0;
}

void ClearTextHistory(EditBox& box) {
  box.history.clear();
  box.text.clear();
  box.selStart = 0;
  box.selLength = 0;
}

void InsertKeyword(EditBox& box, std::string_view keyword) {
  const int size = static_cast<int>(box.text.size());
  const int start = std::clamp(box.selStart, 0, size);
  const int length = std::clamp(box.selLength, 0, size - start);
  const std::string inserted = "[" + std::string(keyword) + "]";
  box.text.replace(static_cast<size_t>(start), static_cast<size_t>(length), inserted);
  box.selStart = start + static_cast<int>(inserted.size());
  box.selLength = 0;
}

std::vector<std::string> PickerItems() {
  std::vector<std::string> items;
  items.reserve(FormatElementTable.size());
  for (const FormatElement& e : FormatElementTable)
    items.push_back(std::string("[") + e.Keyword + "]: " + e.Description);
  return items;
}

}  // namespace naming
