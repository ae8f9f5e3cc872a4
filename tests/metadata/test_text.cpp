// Paths made printable: what reaches a terminal or a report never holds a
// control character or a byte that is not UTF-8, and an ordinary name is
// left exactly as it is.
#include <gtest/gtest.h>

#include <string>

#include "metadata/text.hpp"

namespace {

TEST(PrintablePath, EscapesControlsAndBytesThatAreNotUtf8) {
  struct Case {
    const char* why;
    std::string path, shown;
    bool utf8;
  };
  const Case cases[] = {
      {"plain", "/p/IMG_0001.JPG", "/p/IMG_0001.JPG", true},
      {"UTF-8 letters", "/p/Cr\xC3\xA9mieux11.tiff", "/p/Cr\xC3\xA9mieux11.tiff", true},
      {"four-byte UTF-8", "/p/\xF0\x9F\x93\xB7.jpg", "/p/\xF0\x9F\x93\xB7.jpg", true},
      {"blank and backslash", "C:\\My Photos\\a b.jpg", "C:\\My Photos\\a b.jpg", true},
      {"escape sequence", "/p/a\x1b[31mred.jpg", "/p/a\\x1b[31mred.jpg", true},
      {"line ends", "/p/a\nb\r.jpg", "/p/a\\x0ab\\x0d.jpg", true},
      {"tab", "/p/a\tb.jpg", "/p/a\\x09b.jpg", true},
      {"zero byte and delete", std::string("a\0\x7F", 3), "a\\x00\\x7f", true},
      {"C1 control in UTF-8",
       "/p/\xC2\x9B"
       "2J.jpg",
       "/p/\\xc2\\x9b2J.jpg", true},
      {"first letter after the C1 controls", "\xC2\xA0", "\xC2\xA0", true},
      {"Windows-1252 letter", "/p/Cr\xE9mieux.jpg", "/p/Cr\\xe9mieux.jpg", false},
      {"sequence cut short", "a\xC3", "a\\xc3", false},
      {"overlong slash",
       "a\xC0\xAF"
       "b",
       "a\\xc0\\xafb", false},
      {"surrogate", "\xED\xA0\x80", "\\xed\\xa0\\x80", false},
      {"above U+10FFFF", "\xF4\x90\x80\x80", "\\xf4\\x90\\x80\\x80", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_EQ(meta::printablePath(c.path), c.shown);
    EXPECT_EQ(meta::isUtf8(c.path), c.utf8);
  }
}

}  // namespace
