#pragma once
// Format editing without widgets: the history lists of the format and
// user-text boxes, and the insertion of an element keyword at a selection.
// Positions and lengths are byte offsets into the box's text.
#include <string>
#include <string_view>
#include <vector>

namespace naming {

struct EditBox {
  std::string text;
  std::vector<std::string> history;  // most recent first
  int selStart = 0;
  int selLength = 0;
};

// Puts the box's text at the top of its history (an entry equal but for
// letter case is removed first; an empty text adds nothing); the text and
// selection stay as they were.
void PushHistory(EditBox& box);
// Empties the format history: the text becomes DefaultFormat, which is then
// the only entry.
void ClearFormatHistory(EditBox& box);
// Empties the text history and the text.
void ClearTextHistory(EditBox& box);
// "[" + keyword + "]" replaces the selection (or goes in at the caret); the
// caret ends behind it with nothing selected.
void InsertKeyword(EditBox& box, std::string_view keyword);

// The element picker's items: "[" + Keyword + "]: " + Description, row order.
std::vector<std::string> PickerItems();

}  // namespace naming
