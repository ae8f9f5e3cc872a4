#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "naming/format.hpp"
#include "naming/histories.hpp"

namespace {

using naming::EditBox;
using History = std::vector<std::string>;

TEST(Histories, PushHistory) {
  struct Case {
    const char* why;
    std::string text;
    History before, after;
  };
  const Case cases[] = {
      {"new entry on top", "b", {"a"}, {"b", "a"}},
      {"the form last used wins", "x[IYEAR]", {"y", "X[iyear]", "z"}, {"x[IYEAR]", "y", "z"}},
      {"same text moves to the top", "z", {"y", "z"}, {"z", "y"}},
      {"an empty text adds nothing", "", {"a", "b"}, {"a", "b"}},
      {"an empty text removes an empty entry", "", {"a", "", "b"}, {"a", "b"}},
      {"into an empty history", "a", {}, {"a"}},
      {"no limit while running",
       "k",
       {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
       {"k", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EditBox box{c.text, c.before, 1, 2};
    naming::PushHistory(box);
    EXPECT_EQ(box.history, c.after);
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(box.selStart, 1);  // the caret and selection do not move
    EXPECT_EQ(box.selLength, 2);
  }
}

TEST(Histories, Clearing) {
  EditBox format{"[NAME]", {"[NAME]", "[IYEAR]"}, 3, 1};
  naming::ClearFormatHistory(format);
  EXPECT_EQ(format.text, "[IYEAR][IMONTH][IDAY]-[IHOUR][IMIN][ISEC]-[NUMBER][TEXT][EXT]");
  EXPECT_EQ(format.history, History{naming::DefaultFormat()});

  EditBox text{"rome", {"rome", "paris"}, 2, 0};
  naming::ClearTextHistory(text);
  EXPECT_EQ(text.text, "");
  EXPECT_TRUE(text.history.empty());
}

TEST(Histories, InsertKeyword) {
  struct Case {
    std::string text;
    int selStart, selLength;
    std::string after;
    int caret;
  };
  const Case cases[] = {
      {"AB", 1, 0, "A[IYEAR]B", 8},  {"A-xx-B", 2, 2, "A-[IYEAR]-B", 9},
      {"", 0, 0, "[IYEAR]", 7},      {"AB", 2, 0, "AB[IYEAR]", 9},
      {"AB", 0, 2, "[IYEAR]", 7},    {"AB", 5, 3, "AB[IYEAR]", 9},  // a stale selection past the end
      {"AB", -1, 0, "[IYEAR]AB", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text + " at " + std::to_string(c.selStart));
    EditBox box{c.text, {}, c.selStart, c.selLength};
    naming::InsertKeyword(box, "IYEAR");
    EXPECT_EQ(box.text, c.after);
    EXPECT_EQ(box.selStart, c.caret);
    EXPECT_EQ(box.selLength, 0);
  }
}

TEST(Histories, PickerItems) {
  const std::vector<std::string> items = naming::PickerItems();
  ASSERT_EQ(items.size(), 21u);
  EXPECT_EQ(items[0], "[NAME]: File name");
  EXPECT_EQ(items[1], "[EXT]: File exension");
  EXPECT_EQ(items[4], "[IYEAR]: Image date Year");
  EXPECT_EQ(items[16], "[FLASH]: Flash fired (F/N: Flash/Natural");
  EXPECT_EQ(items[20], "[NUMBER]: Dynamic image number");
}

}  // namespace
