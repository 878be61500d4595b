#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layout/files_window_layout.h"
#include "ui_win32/files/browser_rules.h"

namespace ziv::files_win32 {
namespace {

TEST(FilesBrowserRules, MasksMatchIgnoringCaseBeyondAscii) {
    struct Case {
        const wchar_t* name;
        const wchar_t* masks;
        bool matches;
    };
    const Case cases[] = {
        {L"cq.wav", L"*.wav", true},
        {L"CQ.WAV", L"*.wav", true},
        {L"ĄŽUOLAS.WAV", L"ąžuolas.wav", true},  // not only A..Z fold
        {L"cq.wavx", L"*.wav", false},
        {L"cq.wav.txt", L"*.wav", false},
        {L"README", L"*.*", true},  // "Visi failai" means every file
        {L"README", L"*", true},
        {L"a.au", L"*.wav; *.au", true},
        {L"a.mp3", L"*.wav;*.au;", false},
        {L"x1.wav", L"x?.wav", true},
        {L"x12.wav", L"x?.wav", false},
        {L"a.wav", L"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchesMask(c.name, c.masks), c.matches)
            << WideToUtf8(c.name) << " ~ " << WideToUtf8(c.masks);

    const std::vector<TFileFilter> filters = ParseFilter(kFilesWindowFilter);
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].Description, L"WAV failai (*.wav)");
    EXPECT_EQ(filters[0].Mask, L"*.wav");
    EXPECT_EQ(filters[1].Mask, L"*.*");
}

TEST(FilesBrowserRules, PathsSplitFromTheirRoot) {
    using Chain = std::vector<std::wstring>;
    EXPECT_EQ(DirectoryChain(L"C:\\"), Chain{L"C:\\"});
    EXPECT_EQ(DirectoryChain(L"C:\\Įrašai\\cq"),
              (Chain{L"C:\\", L"C:\\Įrašai", L"C:\\Įrašai\\cq"}));
    EXPECT_EQ(DirectoryChain(L"c:/a//b/"), (Chain{L"c:\\", L"c:\\a", L"c:\\a\\b"}));
    EXPECT_EQ(DirectoryChain(L"\\\\srv\\share\\x"),
              (Chain{L"\\\\srv\\share\\", L"\\\\srv\\share\\x"}));
    EXPECT_TRUE(DirectoryChain(L"relative\\dir").empty());

    EXPECT_EQ(NormalizeDirectory(L"C:\\a\\"), L"C:\\a");
    EXPECT_EQ(NormalizeDirectory(L"C:\\"), L"C:\\");  // the root keeps its "\"
    EXPECT_EQ(JoinPath(L"C:\\", L"a.wav"), L"C:\\a.wav");
    EXPECT_EQ(JoinPath(L"C:\\a", L"b.wav"), L"C:\\a\\b.wav");
    EXPECT_TRUE(IsInside(L"c:\\a", L"C:\\"));
    EXPECT_TRUE(IsInside(L"C:\\", L"C:\\"));
    EXPECT_FALSE(IsInside(L"D:\\a", L"C:\\"));
    EXPECT_FALSE(IsInside(L"C:\\ab", L"C:\\a"));
}

TEST(FilesBrowserRules, LabelsHoldOnlyWhatTheSettingsFileKeeps) {
    EXPECT_TRUE(LabelCanHold(L"1 ĮRAŠAS ąčęėįšųūž €"));
    EXPECT_TRUE(LabelCanHold(L""));
    EXPECT_FALSE(LabelCanHold(L"CQ\nTEST"));  // a line break would split the entry
    EXPECT_FALSE(LabelCanHold(L"\x7F"));
    EXPECT_FALSE(LabelCanHold(L"Я"));       // not in Windows-1257
    EXPECT_FALSE(LabelCanHold(L"\xD83D"));  // a lone surrogate half
    EXPECT_EQ(WideToUtf8(Utf8ToWide("Mygtuko užrašas")), "Mygtuko užrašas");
}

}  // namespace
}  // namespace ziv::files_win32
