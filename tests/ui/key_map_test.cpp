#include <gtest/gtest.h>

#include "ui/error_report.h"
#include "ui/key_map.h"

namespace ziv {
namespace {

TEST(KeyMap, QtKeysMapToTheKeyerCodesAndModifiersToTheShiftSet) {
    // The keypad's Enter is Enter too; a key with no code of its own maps
    // to 0.
    const std::pair<Qt::Key, int> keys[] = {
        {Qt::Key_F1, 112},    {Qt::Key_F4, 115},    {Qt::Key_F12, 123}, {Qt::Key_Escape, 27},
        {Qt::Key_Return, 13}, {Qt::Key_Enter, 13},  {Qt::Key_A, 'A'},   {Qt::Key_5, '5'},
        {Qt::Key_Down, 40},   {Qt::Key_unknown, 0}, {Qt::Key_Agrave, 0}};
    for (const auto& [key, code] : keys)
        EXPECT_EQ(VirtualKeyFromQt(key), code) << key;

    EXPECT_EQ(ShiftStateFromQt(Qt::NoModifier), 0u);
    EXPECT_EQ(ShiftStateFromQt(Qt::ControlModifier), TShiftState(ssCtrl));
    EXPECT_EQ(ShiftStateFromQt(Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier),
              TShiftState(ssCtrl | ssShift));
    EXPECT_EQ(ShiftStateFromQt(Qt::AltModifier), TShiftState(ssAlt));
}

TEST(ApplicationTitle, IsTheFileNameCutAtItsFirstDotWithTheRestLowerCase) {
    EXPECT_EQ(ApplicationTitleFromPath("/opt/ziv/ZIVSound"), "Zivsound");
    EXPECT_EQ(ApplicationTitleFromPath("/opt/ziv.d/ZIVSound.bin.old"), "Zivsound");
    EXPECT_EQ(ApplicationTitleFromPath("zIV"), "ziv");
    EXPECT_EQ(ApplicationTitleFromPath("/x/.hidden"), "");
}

}  // namespace
}  // namespace ziv
