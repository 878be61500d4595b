#include "settings/cp1257.h"

#include <gtest/gtest.h>

namespace ziv {
namespace {

TEST(Cp1257Test, EveryByteSurvivesAndTextItCannotHoldNeverPassesAsIs) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string utf8 = Cp1257ToUtf8(all);
    EXPECT_TRUE(IsCp1257Representable(utf8));
    EXPECT_EQ(Utf8ToCp1257(utf8), all);
    // The Lithuanian letters map to their own bytes (and back: above).
    EXPECT_EQ(Utf8ToCp1257("ąčęėįšųūž ĄČĘĖĮŠŲŪŽ €"),
              "\xE0\xE8\xE6\xEB\xE1\xF0\xF8\xFB\xFE \xC0\xC8\xC6\xCB\xC1\xD0\xD8\xDB\xDE \x80");

    EXPECT_TRUE(IsCp1257Representable(U'Į'));
    EXPECT_TRUE(IsCp1257Representable(std::string("Äö ß §")));
    EXPECT_FALSE(IsCp1257Representable(U'Ж'));
    EXPECT_FALSE(IsCp1257Representable(U'\U0001F600'));
    EXPECT_FALSE(IsCp1257Representable(std::string("CQ Ж")));
    EXPECT_FALSE(IsCp1257Representable(std::string("bad \xC1 utf-8")));
    EXPECT_FALSE(IsCp1257Representable(std::string("\xC0\x80")));      // overlong NUL
    EXPECT_FALSE(IsCp1257Representable(std::string("\xED\xA0\x80")));  // surrogate
    EXPECT_EQ(Utf8ToCp1257("CQ Ж!"), "CQ ?!");
    EXPECT_EQ(Utf8ToCp1257("a\xE2\x82"), "a?");  // cut sequence
}

}  // namespace
}  // namespace ziv
