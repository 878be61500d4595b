#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "audio/wave_player.h"
#include "base/path_shortening.h"
#include "core/keyer.h"
#include "core/message_slots.h"
#include "layout/files_window_layout.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "mock/fake_sound_service.h"
#include "mock/virtual_ui_thread.h"
#include "ui/files/browser_rules.h"
#include "ui/files/form_failai.h"
#include "ui/files/label_validator.h"
#include "ui/files/volumes.h"

namespace ziv::test {
namespace {

namespace fs = std::filesystem;

void Touch(const std::string& path) {
    std::ofstream(path) << "RIFF";
}

// A files window over a temporary directory tree, created with that tree
// as the working directory:
//   b.wav  CQ.WAV  notes.txt  .hidden.wav  sub/inner.wav  zeta/  .dot/
class FilesWindowTest : public ::testing::Test {
protected:
    FilesWindowTest() : oldCwd_(QDir::currentPath()) {
        root = QFile::encodeName(tmp_.path()).toStdString();
        for (const char* dir : {"/sub", "/zeta", "/.dot"})
            fs::create_directory(root + dir);
        for (const char* file :
             {"/b.wav", "/CQ.WAV", "/notes.txt", "/.hidden.wav", "/sub/inner.wav"})
            Touch(root + file);
        QDir::setCurrent(tmp_.path());
        form = std::make_unique<TFormFailai>(messageSlots, keyer, [this] { ++narrowCalls; });
        QDir::setCurrent(oldCwd_);
        for (int n = 1; n <= TMessageSlots::Count; ++n)
            keyer.PlayButton(n).SetCaption(std::to_string(n) + " ĮRAŠAS");
    }

    // QTemporaryDir removes by display names, which miss names that are not UTF-8.
    ~FilesWindowTest() override {
        form.reset();
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    void Show() {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    // A mouse click on the file list row that lists `name`, or below the
    // rows when none does.
    void ClickFileList(const std::string& name) {
        TFileListBox* list = form->FileListBox1();
        const auto names = list->Names();
        const int row =
            static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
        const QPoint at = row < list->count() ? list->visualItemRect(list->item(row)).center()
                                              : QPoint(5, list->viewport()->height() - 3);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    }

    QTemporaryDir tmp_;
    QString oldCwd_;
    std::string root;

    TVirtualUiThread ui;
    TFakeCommPlatform platform;
    TTestComm com{platform};
    TFakeSoundService sound{ui};
    TSRWavePlayer player{sound};
    TCountingBeep beep;
    TMessageSlots messageSlots;
    TKeyer keyer{com, player, ui, beep, messageSlots};
    int narrowCalls = 0;
    std::unique_ptr<TFormFailai> form;
};

TEST_F(FilesWindowTest, ControlsFollowTheLayoutAndFocusStartsOnClose) {
    EXPECT_EQ(form->windowTitle(), QString("ZIV Sound   WAV failai"));
    EXPECT_EQ(form->size(), QSize(370, 259));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    // Captions may grow to fit a wider font, never shrink or move.
    for (const TControlLayout& row : kFilesWindowLayout) {
        const auto* widget = form->findChild<QWidget*>(row.name);
        ASSERT_NE(widget, nullptr) << row.name;
        const QWidget* parent = *row.parent ? form->findChild<QWidget*>(row.parent) : form.get();
        EXPECT_EQ(widget->parentWidget(), parent) << row.name;
        const TLayoutRect r = row.rect;
        EXPECT_EQ(widget->pos(), QPoint(r.left, r.top)) << row.name;
        EXPECT_EQ(widget->height(), r.height) << row.name;
        EXPECT_GE(widget->width(), r.width) << row.name;
        // Labels, buttons and edits have a text; the rest none.
        EXPECT_EQ(widget->property("text").toString(), QString::fromUtf8(row.text)) << row.name;
    }
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        EXPECT_TRUE(form->edFile(n)->isReadOnly()) << n;

    Show();
    EXPECT_FALSE(form->Edit1()->isVisible());
    // Focus starts on "Uždaryti" and Tab walks the rows' buttons, then the browser.
    EXPECT_EQ(QApplication::focusWidget(), form->BitBtn2());
    QWidget* expected[] = {form->btnEnter(1), form->btnEnter(2), form->btnEnter(3),
                           form->FileListBox1(), form->DirectoryListBox1()};
    for (QWidget* next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
}

TEST_F(FilesWindowTest, UnlinkedBrowserChangesNothingElseAndAssignsNothing) {
    Show();
    EXPECT_EQ(form->DirectoryListBox1()->Directory(), root);
    // Matching ignores case; dot files are not listed.
    EXPECT_EQ(form->FileListBox1()->Names(), (std::vector<std::string>{"b.wav", "CQ.WAV"}));

    form->FilterComboBox1()->Choose(1);
    form->DriveComboBox1()->Choose(0);
    EXPECT_EQ(form->FileListBox1()->Mask(), QString("*.wav"));
    EXPECT_EQ(form->DirectoryListBox1()->Directory(), root);
    EXPECT_TRUE(form->Label1()->text().isEmpty());

    // The directory list's change still points the file list at it.
    ASSERT_TRUE(form->DirectoryListBox1()->SetDirectory(root + "/sub"));
    EXPECT_EQ(form->FileListBox1()->Names(), std::vector<std::string>{"inner.wav"});
    EXPECT_TRUE(form->Edit1()->text().isEmpty());

    form->btnEnter1Click();
    EXPECT_FALSE(form->Linked());
    EXPECT_TRUE(messageSlots.Path(1).empty());
    EXPECT_TRUE(form->edFile(1)->text().isEmpty());
}

TEST_F(FilesWindowTest, FirstClickLinksAndSelectedFileIsAssignedAsSpelledOnDisk) {
    messageSlots.SetPath(1, "/old/one.wav");
    Show();
    EXPECT_EQ(form->edFile(1)->text(), QString("one.wav"));

    ClickFileList("");  // below the rows: nothing selected
    ASSERT_TRUE(form->Linked());
    EXPECT_EQ(form->Edit1()->text(), QString("*.wav"));
    EXPECT_FALSE(form->Label1()->text().isEmpty());
    form->btnEnter1Click();
    EXPECT_EQ(messageSlots.Path(1), "/old/one.wav");

    ClickFileList("CQ.WAV");
    EXPECT_EQ(form->Edit1()->text(), QString("CQ.WAV"));
    QTest::mouseClick(form->btnEnter(2), Qt::LeftButton);
    EXPECT_EQ(messageSlots.Path(2), root + "/CQ.WAV");
    EXPECT_EQ(form->edFile(2)->text(), QString("CQ.WAV"));

    // A new file type lists anew with nothing selected: the mask is refused.
    form->FilterComboBox1()->Choose(1);
    EXPECT_EQ(form->FileListBox1()->Names(),
              (std::vector<std::string>{"b.wav", "CQ.WAV", "notes.txt"}));
    EXPECT_EQ(form->Edit1()->text(), QString("*.*"));
    form->btnEnter2Click();
    EXPECT_EQ(messageSlots.Path(2), root + "/CQ.WAV");
}

TEST_F(FilesWindowTest, ASlotRecordedWhileClosedShowsAtTheNextOpening) {
    messageSlots.SetPath(1, "/old/one.wav");
    Show();
    form->hide();
    // A recording kept meanwhile: a new file beside the others, the slot
    // naming it.
    Touch(root + "/message1.wav");
    messageSlots.SetPath(1, root + "/message1.wav");
    Show();
    EXPECT_EQ(form->edFile(1)->text(), QString("message1.wav"));
    const auto names = form->FileListBox1()->Names();
    EXPECT_NE(std::find(names.begin(), names.end(), "message1.wav"), names.end());
}

TEST_F(FilesWindowTest, DirectoryListNavigatesAndFileListFollows) {
    Show();
    TDirectoryListBox* dirs = form->DirectoryListBox1();
    std::vector<std::string> expected = DirectoryChain(root);
    expected.insert(expected.end(), {root + "/sub", root + "/zeta"});
    EXPECT_EQ(dirs->EntryPaths(), expected);

    // A double-click on "sub" links (it is a click too) and enters it.
    const auto sub = dirs->findItems("sub", Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_EQ(sub.size(), 1);
    const QPoint at = dirs->visualItemRect(sub.front()).center();
    QTest::mouseClick(dirs->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(dirs->viewport(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(form->Linked());
    EXPECT_EQ(dirs->Directory(), root + "/sub");
    EXPECT_EQ(form->FileListBox1()->Names(), std::vector<std::string>{"inner.wav"});
    EXPECT_EQ(form->Edit1()->text(), QString("*.wav"));
    EXPECT_EQ(form->Label1()->toolTip(),
              QFile::decodeName(QByteArray::fromStdString(root + "/sub")));

    // A directory that vanished after it was listed is refused; the list stays.
    ASSERT_TRUE(dirs->OpenEntry(root));
    fs::remove(root + "/zeta");
    ASSERT_TRUE(dirs->OpenEntry(root + "/zeta"));
    EXPECT_EQ(dirs->Directory(), root);
    EXPECT_EQ(form->FileListBox1()->Directory(), root);

    // At the root no second "/" is added.
    ASSERT_TRUE(dirs->SetDirectory("/"));
    form->Edit1()->setText("voice.wav");
    form->btnEnter1Click();
    EXPECT_EQ(messageSlots.Path(1), "/voice.wav");
    EXPECT_EQ(form->edFile(1)->text(), QString("voice.wav"));
}

TEST_F(FilesWindowTest, NamesAreKeptAsTheFileSystemsOwnBytes) {
    // Not valid UTF-8, and a "*" that a POSIX name may hold.
    const std::string latin = "\xC8\xC1.wav";
    Touch(root + "/" + latin);
    Touch(root + "/a*b.wav");
    Show();
    ClickFileList(latin);
    form->btnEnter1Click();
    EXPECT_EQ(messageSlots.Path(1), root + "/" + latin);

    ClickFileList("a*b.wav");
    form->btnEnter2Click();
    EXPECT_EQ(messageSlots.Path(2), root + "/a*b.wav");
}

TEST_F(FilesWindowTest, LabelsReachTheButtonsOnlyThroughRow3AndClose) {
    Show();
    EXPECT_EQ(form->LabelText(1), QString("1 ĮRAŠAS"));
    form->SetLabelText(1, "CQ");
    form->SetLabelText(3, "TEST");

    // Row 3 copies its label even though no file is chosen.
    form->btnEnter3Click();
    EXPECT_EQ(keyer.BtnPlay3.Caption(), "TEST");
    EXPECT_TRUE(messageSlots.Path(3).empty());

    // The close box copies nothing and leaves the main window as it is.
    form->close();
    EXPECT_EQ(keyer.BtnPlay1.Caption(), "1 ĮRAŠAS");
    EXPECT_EQ(narrowCalls, 0);
    EXPECT_EQ(form->LabelText(1), QString("CQ"));  // still what is saved at close

    // Reopening refills the label edits from the buttons.
    Show();
    EXPECT_EQ(form->LabelText(1), QString("1 ĮRAŠAS"));
    form->SetLabelText(1, "CQ");

    // Escape is "Uždaryti": all labels copied, closed, main window narrowed.
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(keyer.BtnPlay1.Caption(), "CQ");
    EXPECT_EQ(narrowCalls, 1);

    // Alt+U is "Uždaryti" too.
    Show();
    form->SetLabelText(2, "QRZ");
    QApplication::setActiveWindow(form.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form->windowHandle(), Qt::Key_U, Qt::AltModifier);
    // A mnemonic clicks the button with a short animation.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 2000));
    EXPECT_EQ(keyer.BtnPlay2.Caption(), "QRZ");
    EXPECT_EQ(narrowCalls, 2);
}

TEST(FilesBrowserRules, MasksDrivesAndDirectoryChain) {
    EXPECT_EQ(DirectoryChain("/a/b/"), (std::vector<std::string>{"/", "/a", "/a/b"}));
    EXPECT_TRUE(IsInside("/media/usb/x", "/media/usb"));
    EXPECT_FALSE(IsInside("/media/usb2", "/media/usb"));

    const std::tuple<const char*, const char*, bool> masks[] = {{"CQ.WAV", "*.wav", true},
                                                                {"cq.wav.txt", "*.wav", false},
                                                                {"README", "*.*", true},
                                                                {"x.au", "*.wav; *.au", true}};
    for (const auto& [name, mask, matches] : masks)
        EXPECT_EQ(MatchesMask(name, mask), matches) << name << " " << mask;

    // Pseudo file systems by their type, system mounts by their place.
    const std::tuple<const char*, const char*, bool> volumes[] = {
        {"/", "ext4", true},
        {"/run/media/op/STICK", "vfat", true},
        {"/home", "proc", false},
        {"/run/user/1000", "tmpfs", false}};
    for (const auto& [mountPoint, type, browsable] : volumes)
        EXPECT_EQ(IsBrowsableVolume(mountPoint, type), browsable) << mountPoint;
    const auto mounted = BrowsableVolumes();
    ASSERT_FALSE(mounted.empty());
    EXPECT_EQ(mounted.front().Root, "/");
}

TEST(FilesBrowserRules, ShortenedDirectoryDropsWholeNamesFromTheFront) {
    // One code point is one unit wide here, so a byte count would fail.
    const TTextWidth width = [](const std::string& text) {
        return static_cast<int>(std::count_if(text.begin(), text.end(), [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        }));
    };
    const std::tuple<const char*, int, const char*> cases[] = {
        {"/home/op/msg", 20, "/home/op/msg"},
        {"/home/op/msg/cq", 8, "/.../cq"},
        {"/home/op/msg/cq", 6, ".../cq"},
        {"/", 0, "/"},
        {"/cq", 2, "cq"},
        {"/namai/ąžuolas/įrašai", 19, "/.../ąžuolas/įrašai"}};
    for (const auto& [dir, maxWidth, shown] : cases)
        EXPECT_EQ(MinimizeName(dir, width, maxWidth), shown) << dir << " " << maxWidth;
}

TEST(FilesBrowserRules, LabelsHoldOnlyWhatTheSettingsFileCanStore) {
    TLabelValidator validator;
    int pos = 0;
    QString ok = QString::fromUtf8("Ąžuolas € – Šiauliai");
    EXPECT_EQ(validator.validate(ok, pos), QValidator::Acceptable);
    for (const char* bad : {"Привет", "CQ 😀", "a\nb", "tab\t"}) {
        QString text = QString::fromUtf8(bad);
        EXPECT_EQ(validator.validate(text, pos), QValidator::Invalid) << bad;
    }
}

}  // namespace
}  // namespace ziv::test

int main(int argc, char** argv) {
    // Never a real display: the offscreen platform unless the caller chose one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
