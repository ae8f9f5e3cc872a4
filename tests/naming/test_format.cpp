#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "metadata/faults.hpp"
#include "naming/format.hpp"

namespace {

using naming::ParseFormat;
using naming::TParsedFormat;

std::vector<int32_t> itemsOf(const TParsedFormat& f) {
  return std::vector<int32_t>(f.Items.begin(), f.Items.begin() + f.ItemCount);
}

std::vector<std::string> literalsOf(const TParsedFormat& f) {
  std::vector<std::string> out;
  for (const std::string& l : f.Literals)
    if (!l.empty()) out.push_back(l);
  return out;
}

TEST(ParseFormat, ItemsAndLiterals) {
  struct Case {
    std::string text;
    std::vector<int32_t> items;
    std::vector<std::string> literals;
  };
  const Case cases[] = {
      {naming::DefaultFormat(), {1, 2, 3, 0, 4, 5, 6, -1, 21, 20, 8}, {"-", "-"}},
      {"[IYEAR]-[imonth] photo[EXT]", {1, 0, 2, -1, 8}, {"-", " photo"}},
      {"", {}, {}},
      {"[iyear]", {1}, {}},
      {"[IYear]", {1}, {}},
      {"[[IYEAR]", {0}, {"[IYEAR]"}},
      {"x[[y", {0}, {"x[y"}},
      {"[[[IYEAR]", {0, 1}, {"["}},
      {"[IYEAR", {0}, {"[IYEAR"}},
      {"ab[", {0}, {"ab["}},
      {"[FOO]", {0}, {"[FOO]"}},
      {"[ IYEAR]", {0}, {"[ IYEAR]"}},
      {"[AB[IYEAR]", {0}, {"[AB[IYEAR]"}},
      {"[AB[IYEAR]][IDAY]", {0, 3}, {"[AB[IYEAR]]"}},
      {"a]b", {0}, {"a]b"}},
      {"[NUMBER][NUMBER]", {21, 21}, {}},
      {"just text", {0}, {"just text"}},
      {"[NAME]x[FOO][EXT]y", {7, 0, 8, -1}, {"x[FOO]", "y"}},
      {"[NAMEX][NAME]", {0, 7}, {"[NAMEX]"}},
      {"[]", {0}, {"[]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TParsedFormat f;
    ParseFormat(c.text, f);
    EXPECT_EQ(itemsOf(f), c.items);
    EXPECT_EQ(literalsOf(f), c.literals);
  }
}

TEST(ParseFormat, ReparseForgetsThePreviousFormat) {
  TParsedFormat f;
  ParseFormat("a[IYEAR]b[IDAY]c", f);
  ParseFormat("[EXT]", f);
  EXPECT_EQ(itemsOf(f), std::vector<int32_t>{8});
  EXPECT_TRUE(literalsOf(f).empty());
}

TEST(ParseFormat, LongFormatsAreCutAfterTheLastItemThatFits) {
  struct Case {
    const char* name;
    std::string text;
    int32_t lastItem;  // Items[255]
    size_t literals;
  };
  std::string elements, alternating, endsInLiteral;
  for (int i = 0; i < 300; ++i) elements += "[IYEAR]";
  for (int i = 0; i < 300; ++i) alternating += "x[IDAY]";
  for (int i = 0; i < 255; ++i) endsInLiteral += "[IDAY]";
  endsInLiteral += "tail[IYEAR]more";
  const Case cases[] = {
      {"300 elements", elements, 1, 0},
      // literal 0, element, literal 1, element ...: item 256 is the 128th element
      {"alternating", alternating, 3, 128},
      // the 256th item is the literal "tail"; the element after it is dropped
      {"literal last", endsInLiteral, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TParsedFormat f;
    ParseFormat(c.text, f);
    EXPECT_EQ(f.ItemCount, naming::kMaxItems);
    EXPECT_EQ(f.Items[255], c.lastItem);
    EXPECT_EQ(literalsOf(f).size(), c.literals);
  }
  TParsedFormat f;
  ParseFormat(endsInLiteral, f);
  EXPECT_EQ(f.Literals[0], "tail");
}

TEST(ParseFormat, LiteralsAreReferencedInOrderOnce) {
  TParsedFormat f;
  std::string text;
  for (int i = 0; i < 400; ++i) text += std::to_string(i) + "[NUMBER]";
  ParseFormat(text, f);
  int32_t expected = 0;
  for (int32_t i = 0; i < f.ItemCount; ++i) {
    const int32_t item = f.Items[static_cast<size_t>(i)];
    if (item <= 0) {
      EXPECT_EQ(item, -expected);
      ++expected;
    }
  }
  EXPECT_EQ(expected, 128);
  EXPECT_EQ(f.Literals[127], "127");
}

TEST(FormatTable, DefaultFormatAndRows) {
  EXPECT_EQ(naming::DefaultFormat(), "[IYEAR][IMONTH][IDAY]-[IHOUR][IMIN][ISEC]-[NUMBER][TEXT][EXT]");
  for (size_t row = 0; row < naming::FormatElementTable.size(); ++row)
    EXPECT_EQ(naming::ElementRowOf(naming::FormatElementTable[row].ElementCode), static_cast<int>(row));
  EXPECT_EQ(naming::ElementRowOf(21), naming::rowNUMBER);
  EXPECT_EQ(naming::ElementRowOf(7), naming::rowNAME);
}

TEST(FormatTable, UnknownCodeIsAnInternalError) {
  for (int32_t code : {0, 22, -1}) {
    SCOPED_TRACE(code);
    try {
      naming::ElementRowOf(code);
      ADD_FAILURE() << "no error";
    } catch (const meta::InternalError& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.rfind("ERREUR PROGRAMME: Tag non trouvé", 0), 0u) << message;
      EXPECT_NE(message.find("Principale"), std::string::npos);
      EXPECT_NE(message.find("240"), std::string::npos);
    }
  }
}

}  // namespace
