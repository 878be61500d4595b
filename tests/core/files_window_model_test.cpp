#include <gtest/gtest.h>

#include <map>

#include "core/files/files_window_model.h"
#include "keyer_fixture.h"

namespace ziv::test {
namespace {

// Case folding of A..Z only; each flavour brings its file system's own.
std::u32string AsciiFold(const std::string& text) {
    std::u32string out;
    for (const char c : text)
        out += static_cast<char32_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return out;
}

TEST(FilesBrowserRules, PathsMasksFiltersLabelsVolumesAndTheShortenedDirectory) {
    using Chain = std::vector<std::string>;
    constexpr TPathStyle P = TPathStyle::Posix, W = TPathStyle::Windows;
    EXPECT_EQ(DirectoryChain("/a//b/", P), (Chain{"/", "/a", "/a/b"}));
    EXPECT_EQ(DirectoryChain("c:/Įrašai/cq", W), (Chain{"c:/", "c:/Įrašai", "c:/Įrašai/cq"}));
    EXPECT_EQ(DirectoryChain("//srv/share/x", W), (Chain{"//srv/share/", "//srv/share/x"}));
    EXPECT_TRUE(DirectoryChain("/a", W).empty() && DirectoryChain("C:/a", P).empty());
    EXPECT_EQ(NormalizedDirectory("/a//", P), "/a");
    EXPECT_EQ(NormalizedDirectory("///", P), "/");
    EXPECT_EQ(NormalizedDirectory("C://", W), "C:/");  // a root keeps its "/"
    EXPECT_TRUE(IsInside("/media/usb/x", "/media/usb", P, AsciiFold));
    EXPECT_TRUE(IsInside("/x", "/", P, AsciiFold));
    EXPECT_FALSE(IsInside("/media/usb2", "/media/usb", P, AsciiFold));
    EXPECT_FALSE(IsInside("/Media/usb", "/media", P, AsciiFold));
    EXPECT_TRUE(IsInside("c:/a", "C:/", W, AsciiFold));
    EXPECT_FALSE(IsInside("D:/a", "C:/", W, AsciiFold));

    const std::tuple<const char*, const char*, bool> masks[] = {
        {"CQ.WAV", "*.wav", true},  {"cq.wav.txt", "*.wav", false}, {"README", "*.*", true},
        {"README", "*", true},      {"a.au", "*.wav; *.au", true},  {"a.mp3", "*.wav;*.au;", false},
        {"x1.wav", "x?.wav", true}, {"x12.wav", "x?.wav", false},   {"a.wav", "", false}};
    for (const auto& [name, mask, matches] : masks)
        EXPECT_EQ(MatchesMask(name, mask, AsciiFold), matches) << name << " ~ " << mask;
    const auto filters = ParseFilter("WAV failai (*.wav)|*.wav|Visi failai (*.*)|*.*");
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].Description + filters[1].Mask, "WAV failai (*.wav)*.*");

    for (const char32_t ch : std::u32string(U"1 ĮRAŠAS ąčęėįšųūž €–"))
        EXPECT_TRUE(LabelCanHold(ch)) << static_cast<unsigned>(ch);
    // A line break would split the settings file's entry; the rest are not Windows-1257.
    for (const char32_t ch : {U'\n', U'\t', U'\x7F', U'Я', U'😀', char32_t{0xD83D}})
        EXPECT_FALSE(LabelCanHold(ch)) << static_cast<unsigned>(ch);

    // Pseudo file systems by their type, system mounts by their place.
    for (const char* mountPoint : {"/", "/run/media/op/STICK", "/devices"})
        EXPECT_TRUE(IsBrowsableVolume(mountPoint, "ext4")) << mountPoint;
    EXPECT_FALSE(IsBrowsableVolume("/home", "proc"));
    EXPECT_FALSE(IsBrowsableVolume("/run/user/1000", "tmpfs"));

    // One code point is one unit wide here, so a byte count would fail.
    const TTextWidth width = [](const std::string& text) {
        return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
    };
    EXPECT_EQ(MinimizeName("/home/op/msg", width, 20), "/home/op/msg");
    EXPECT_EQ(MinimizeName("/home/op/msg/cq", width, 8), "/.../cq");
    EXPECT_EQ(MinimizeName("/home/op/msg/cq", width, 6), ".../cq");
    EXPECT_EQ(MinimizeName("/cq", width, 2), "cq");
    EXPECT_EQ(MinimizeName("/namai/ąžuolas/įrašai", width, 19), "/.../ąžuolas/įrašai");
}

// The model over a file tree in memory; the widgets are plain values.
class FilesWindowModelTest : public KeyerFixture, TBrowsedFileSystem, TFilesWindowView {
protected:
    FilesWindowModelTest() {
        tree["/"] = {true, {"home"}, {"root.wav"}};
        tree["/home"] = {true, {"op"}, {}};
        tree["/home/op"] = {true, {"sub", "zeta"}, {"a*b.wav", "b.wav", "CQ.WAV", "notes.txt"}};
        tree["/home/op/sub"] = {true, {}, {"inner.wav"}};
        tree["/media/usb"] = {true, {}, {}};
        model.Start("/home/op", {{"/", "/"}, {"/media/usb", "usb"}});
    }

    TDirectoryEntries Read(const std::string& dir) override {
        return tree.contains(dir) ? tree[dir] : TDirectoryEntries{};
    }
    std::u32string Folded(const std::string& name) const override { return AsciiFold(name); }
    TPathStyle PathStyle() const override { return style; }
    std::optional<std::string> SlotPath(const std::string& path) const override {
        return path == unspellable ? std::nullopt : std::optional(path);
    }
    void ShowDirectoryRows(const std::vector<TDirectoryRow>&, std::size_t row) override {
        current = row;
    }
    void ShowFiles(const std::vector<std::string>& names, int) override { files = names; }
    void ShowFileEdit(const std::string& text) override { edit1 = text; }
    void ShowDirectory(const std::string& dir) override { label1 = dir; }
    void ShowDrive(int index) override { drive = index; }
    void ShowSlotFile(int n, const std::string& name) override { edFile.at(n - 1) = name; }
    void ShowLabel(int n, const std::string& text) override { edLab.at(n - 1) = text; }
    std::string LabelEditText(int n) const override { return edLab.at(n - 1); }
    void Hide() override { ++hidden; }
    void Refuse() override { ++refused; }

    std::map<std::string, TDirectoryEntries> tree;
    TPathStyle style = TPathStyle::Posix;
    std::string unspellable, edit1, label1;
    std::vector<std::string> files;
    std::size_t current = 0;
    int drive = -1, hidden = 0, refused = 0, narrowed = 0;
    std::array<std::string, 3> edFile, edLab;
    TFilesWindowModel model{slots, keyer, [this] { ++narrowed; }, *this, *this, "a|*.wav|b|*.*"};
};

TEST_F(FilesWindowModelTest, StartsUnlinkedWhereItCanAndChangesNothingElseUntilAClick) {
    std::string rows;  // each row's text and depth
    for (const TDirectoryRow& row : model.Rows())
        rows += row.Text + std::to_string(row.Depth) + " ";
    EXPECT_EQ(rows, "/0 home1 op2 sub3 zeta3 ");
    EXPECT_EQ(current, 2u);
    EXPECT_EQ(files, (std::vector<std::string>{"a*b.wav", "b.wav", "CQ.WAV"}));
    EXPECT_EQ(drive, 0);

    // Unlinked, the selectors change nothing and "Įvesti" assigns nothing;
    // a new directory still reaches the file list.
    model.FilterChosen(1);
    model.DriveChosen(1);
    EXPECT_EQ(model.Mask() + " " + model.Directory(), "*.wav /home/op");
    ASSERT_TRUE(model.SetDirectory("/home/op/sub/"));
    EXPECT_EQ(files, std::vector<std::string>{"inner.wav"});
    model.EnterClick(1);
    EXPECT_EQ(slots.Path(1), "a.wav");
    EXPECT_EQ(edit1 + label1 + edFile[0], "");
    EXPECT_FALSE(model.SetDirectory("/gone") || model.SetDirectory("home"));
    EXPECT_EQ(model.Directory(), "/home/op/sub");

    // A start that cannot be read (a POSIX path on Windows) goes to the first
    // drive that can; the drive shown is the longest root holding it, its
    // case ignored on Windows.
    tree["c:/op"] = {true, {}, {}};
    style = TPathStyle::Windows;
    model.Start("/", {{"/gone", "x"}, {"C:/", "c:"}, {"c:/op", "op"}, {"c:/", "c"}});
    EXPECT_EQ(model.Directory(), "c:/op");
    EXPECT_EQ(drive, 2);
    model.Start("c:/op", {{"/", "/"}, {"C:/", "c:"}});
    EXPECT_EQ(drive, 1);
}

TEST_F(FilesWindowModelTest, TheFirstClickLinksAndEnterAssignsOnlyASelectedFile) {
    model.FileSelected(1);
    EXPECT_TRUE(model.Linked());
    EXPECT_EQ(label1 + " " + edit1, "/home/op b.wav");
    model.FileSelected(-1);
    EXPECT_EQ(edit1, "*.wav");
    model.EnterClick(1);  // the mask
    EXPECT_EQ(slots.Path(1), "a.wav");
    model.FileSelected(0);  // a POSIX name may hold "*"
    model.EnterClick(2);
    EXPECT_EQ(slots.Path(2) + " " + edFile[1], "/home/op/a*b.wav a*b.wav");
    unspellable = "/home/op/b.wav";  // no ANSI spelling on Windows
    model.FileSelected(1);
    model.EnterClick(1);
    EXPECT_EQ(slots.Path(1), "a.wav");
    EXPECT_EQ(refused, 1);

    // A new file type lists anew with nothing selected.
    model.FilterChosen(1);
    EXPECT_EQ(files.size(), 4u);
    EXPECT_EQ(edit1, "*.*");
    // Files recorded meanwhile show up at the next opening; the selection stays.
    model.FileSelected(2);
    tree["/home/op"].Files.insert(tree["/home/op"].Files.begin(), "message1.wav");
    tree["/home/op"].Directories.push_back("new");
    model.Refresh();
    EXPECT_EQ(model.Rows().back().Path, "/home/op/new");
    EXPECT_EQ(files.front() + " " + edit1, "message1.wav CQ.WAV");
}

TEST_F(FilesWindowModelTest, DirectoryRowsAndDrivesNavigateAndRefuseWhatCannotBeRead) {
    model.FileSelected(1);
    model.DirectoryRowOpened(2);  // the current one: nothing listed anew
    EXPECT_EQ(edit1, "b.wav");
    model.DirectoryRowOpened(3);
    EXPECT_EQ(model.Directory(), "/home/op/sub");
    EXPECT_EQ(files, std::vector<std::string>{"inner.wav"});
    EXPECT_EQ(label1 + " " + edit1, "/home/op/sub *.wav");
    model.DirectoryRowOpened(0);
    model.FileSelected(0);
    model.EnterClick(1);  // at the root no second "/"
    EXPECT_EQ(slots.Path(1) + " " + edFile[0], "/root.wav root.wav");

    model.SetDirectory("/home/op");
    model.DirectoryRowOpened(4);  // zeta vanished after it was listed
    EXPECT_EQ(refused, 1);
    EXPECT_EQ(model.Directory(), "/home/op");
    model.DriveChosen(1);
    EXPECT_EQ(model.Directory(), "/media/usb");
    EXPECT_EQ(drive, 1);
    tree.erase("/");
    drive = 0;  // as the operator left the selector
    model.DriveChosen(0);
    EXPECT_EQ(refused, 2);
    EXPECT_EQ(drive, 1);
}

TEST_F(FilesWindowModelTest, LabelsReachTheButtonsThroughRow3AndClose) {
    keyer.BtnPlay1.SetCaption("1 ĮRAŠAS");
    model.FormShow();
    EXPECT_EQ(edFile, (std::array<std::string, 3>{"a.wav", "b.wav", ""}));
    EXPECT_EQ(edLab[0], "1 ĮRAŠAS");
    edLab = {"CQ", "QRZ", "TEST"};
    model.EnterClick(1);
    model.EnterClick(3);  // only row 3 hands its label over, without a file
    EXPECT_EQ(keyer.BtnPlay3.Caption(), "TEST");
    EXPECT_EQ(keyer.BtnPlay1.Caption(), "1 ĮRAŠAS");
    EXPECT_EQ(slots.Path(3), "");
    model.BitBtn2Click();
    EXPECT_EQ(keyer.BtnPlay1.Caption() + keyer.BtnPlay2.Caption(), "CQQRZ");
    EXPECT_EQ(hidden + narrowed, 2);
}

}  // namespace
}  // namespace ziv::test
