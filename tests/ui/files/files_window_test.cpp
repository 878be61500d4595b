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
#include "core/keyer.h"
#include "core/message_slots.h"
#include "mock/counting_beep.h"
#include "mock/fake_comm_platform.h"
#include "mock/fake_sound_service.h"
#include "mock/virtual_ui_thread.h"
#include "ui/files/file_browser.h"
#include "ui/files/form_failai.h"
#include "ui/files/label_validator.h"

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
        Touch(root + "/b.wav");
        Touch(root + "/CQ.WAV");
        Touch(root + "/notes.txt");
        Touch(root + "/.hidden.wav");
        fs::create_directory(root + "/sub");
        Touch(root + "/sub/inner.wav");
        fs::create_directory(root + "/zeta");
        fs::create_directory(root + "/.dot");
        QDir::setCurrent(tmp_.path());
        form = std::make_unique<TFormFailai>(messageSlots, keyer, [this] { ++narrowCalls; });
        QDir::setCurrent(oldCwd_);
        keyer.BtnPlay1.SetCaption("1 ĮRAŠAS");
        keyer.BtnPlay2.SetCaption("2 ĮRAŠAS");
        keyer.BtnPlay3.SetCaption("3 ĮRAŠAS");
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
    // A mouse click on a file list row, or below the rows for row -1.
    void ClickFileList(int row) {
        TFileListBox* list = form->FileListBox1();
        const QPoint at = row >= 0 ? list->visualItemRect(list->item(row)).center()
                                   : QPoint(5, list->viewport()->height() - 3);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    int RowOf(const std::string& name) const {
        const auto names = form->FileListBox1()->Names();
        const auto it = std::find(names.begin(), names.end(), name);
        return it == names.end() ? -1 : static_cast<int>(it - names.begin());
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

TEST_F(FilesWindowTest, LayoutCaptionsAndWindowKind) {
    EXPECT_EQ(form->windowTitle(), QString("ZIV Sound   WAV failai"));
    EXPECT_EQ(form->size(), QSize(370, 259));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

    // Browser controls lie in Panel4, positions relative to it.
    EXPECT_EQ(form->Panel4()->geometry(), QRect(7, 0, 361, 161));
    EXPECT_EQ(form->FileListBox1()->parentWidget(), form->Panel4());
    EXPECT_EQ(form->FileListBox1()->geometry(), QRect(16, 27, 142, 85));
    EXPECT_EQ(form->DirectoryListBox1()->geometry(), QRect(165, 40, 188, 73));
    EXPECT_EQ(form->DriveComboBox1()->geometry(), QRect(165, 138, 188, 19));
    EXPECT_EQ(form->Label1()->geometry(), QRect(164, 24, 92, 13));
    EXPECT_EQ(form->findChild<QLabel*>("Label4")->text(), QString("Įrenginys:"));
    EXPECT_EQ(form->findChild<QLabel*>("Label10")->text(), QString("Mygtuko užrašas"));

    EXPECT_EQ(form->edFile(2)->geometry(), QRect(32, 207, 120, 21));
    EXPECT_TRUE(form->edFile(2)->isReadOnly());
    EXPECT_EQ(form->btnEnter(3)->geometry(), QRect(156, 232, 51, 20));
    EXPECT_EQ(form->btnEnter(3)->text(), QString("Įvesti"));
    EXPECT_EQ(form->edLab(1)->geometry(), QRect(217, 183, 81, 21));
    EXPECT_EQ(form->BitBtn2()->geometry(), QRect(304, 229, 57, 21));
    EXPECT_EQ(form->BitBtn2()->text(), QString("&Uždaryti"));
    EXPECT_EQ(form->Edit1()->geometry(), QRect(24, 68, 129, 21));

    ASSERT_EQ(form->FilterComboBox1()->count(), 2);
    EXPECT_EQ(form->FilterComboBox1()->itemText(0), QString("WAV failai (*.wav)"));
    EXPECT_EQ(form->FilterComboBox1()->itemText(1), QString("Visi failai (*.*)"));

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
    EXPECT_EQ(form->FileListBox1()->Directory(), root);
    // Matching ignores case; dot files are not listed.
    EXPECT_EQ(form->FileListBox1()->Names(), (std::vector<std::string>{"b.wav", "CQ.WAV"}));

    form->FilterComboBox1()->Choose(1);
    form->DriveComboBox1()->Choose(0);
    EXPECT_EQ(form->FileListBox1()->Mask(), QString("*.wav"));
    EXPECT_EQ(form->DirectoryListBox1()->Directory(), root);
    EXPECT_TRUE(form->Edit1()->text().isEmpty());
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

    ClickFileList(-1);  // below the rows: nothing selected
    ASSERT_TRUE(form->Linked());
    EXPECT_EQ(form->Edit1()->text(), QString("*.wav"));
    EXPECT_FALSE(form->Label1()->text().isEmpty());
    form->btnEnter1Click();
    EXPECT_EQ(messageSlots.Path(1), "/old/one.wav");
    EXPECT_EQ(form->edFile(1)->text(), QString("one.wav"));

    ClickFileList(RowOf("CQ.WAV"));
    EXPECT_EQ(form->Edit1()->text(), QString("CQ.WAV"));
    QTest::mouseClick(form->btnEnter(2), Qt::LeftButton);
    EXPECT_EQ(messageSlots.Path(2), root + "/CQ.WAV");
    EXPECT_TRUE(fs::exists(messageSlots.Path(2)));
    EXPECT_EQ(form->edFile(2)->text(), QString("CQ.WAV"));

    // A new file type lists anew with nothing selected: the mask is refused.
    form->FilterComboBox1()->Choose(1);
    EXPECT_EQ(form->FileListBox1()->Names(),
              (std::vector<std::string>{"b.wav", "CQ.WAV", "notes.txt"}));
    EXPECT_EQ(form->Edit1()->text(), QString("*.*"));
    form->btnEnter2Click();
    EXPECT_EQ(messageSlots.Path(2), root + "/CQ.WAV");
}

TEST_F(FilesWindowTest, DirectoryListNavigatesAndFileListFollows) {
    Show();
    TDirectoryListBox* dirs = form->DirectoryListBox1();
    std::vector<std::string> expected;
    for (const std::string& p : DirectoryChain(root))
        expected.push_back(p);
    expected.push_back(root + "/sub");
    expected.push_back(root + "/zeta");
    EXPECT_EQ(dirs->EntryPaths(), expected);

    // A double-click on "sub" links (it is a click too) and enters it.
    QTreeWidgetItem* sub = nullptr;
    for (QTreeWidgetItemIterator it(dirs); *it; ++it)
        if ((*it)->text(0) == "sub")
            sub = *it;
    ASSERT_NE(sub, nullptr);
    const QPoint at = dirs->visualItemRect(sub).center();
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
    EXPECT_EQ(dirs->Directory(), "/");
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
    ClickFileList(-1);
    ASSERT_TRUE(form->Linked());
    ASSERT_GE(RowOf(latin), 0);
    ClickFileList(RowOf(latin));
    form->btnEnter1Click();
    EXPECT_EQ(messageSlots.Path(1), root + "/" + latin);
    EXPECT_TRUE(fs::exists(messageSlots.Path(1)));

    ClickFileList(RowOf("a*b.wav"));
    form->btnEnter2Click();
    EXPECT_EQ(messageSlots.Path(2), root + "/a*b.wav");
}

TEST_F(FilesWindowTest, LabelsReachTheButtonsOnlyThroughRow3AndClose) {
    Show();
    EXPECT_EQ(form->LabelText(1), QString("1 ĮRAŠAS"));
    form->SetLabelText(1, "CQ");
    form->SetLabelText(2, "QRZ");
    form->SetLabelText(3, "TEST");

    // Row 3 copies its label even though no file is chosen.
    form->btnEnter3Click();
    EXPECT_EQ(keyer.BtnPlay3.Caption(), "TEST");
    EXPECT_TRUE(messageSlots.Path(3).empty());
    EXPECT_EQ(keyer.BtnPlay1.Caption(), "1 ĮRAŠAS");

    // The close box copies nothing and leaves the main window as it is.
    form->close();
    EXPECT_FALSE(form->isVisible());
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
    EXPECT_EQ(keyer.BtnPlay2.Caption(), "2 ĮRAŠAS");
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

TEST(FilesBrowserRules, PathsMasksAndShortenedDirectory) {
    EXPECT_EQ(JoinPath("/", "voice.wav"), "/voice.wav");
    EXPECT_EQ(JoinPath("/msg", "cq.wav"), "/msg/cq.wav");
    EXPECT_EQ(FileNamePart("/msg/cq.wav"), "cq.wav");
    EXPECT_EQ(FileNamePart("cq.wav"), "cq.wav");
    EXPECT_EQ(NormalizeDirectory("/msg//"), "/msg");
    EXPECT_EQ(NormalizeDirectory("/"), "/");
    EXPECT_TRUE(IsInside("/media/usb/x", "/media/usb"));
    EXPECT_FALSE(IsInside("/media/usb2", "/media/usb"));

    EXPECT_TRUE(MatchesMask("CQ.WAV", "*.wav"));
    EXPECT_FALSE(MatchesMask("cq.wav.txt", "*.wav"));
    EXPECT_TRUE(MatchesMask("README", "*.*"));
    EXPECT_TRUE(MatchesMask("x.au", "*.wav; *.au"));

    // One character is one unit wide here.
    const auto width = [](const QString& s) { return static_cast<int>(s.size()); };
    EXPECT_EQ(MinimizeName("/home/op/msg", width, 20), QString("/home/op/msg"));
    EXPECT_EQ(MinimizeName("/home/op/msg/cq", width, 13), QString("/.../msg/cq"));
    EXPECT_EQ(MinimizeName("/home/op/msg/cq", width, 8), QString("/.../cq"));
    EXPECT_EQ(MinimizeName("/home/op/msg/cq", width, 6), QString(".../cq"));
    EXPECT_EQ(MinimizeName("/", width, 0), QString("/"));

    EXPECT_TRUE(IsBrowsableVolume("/", "ext4"));
    EXPECT_TRUE(IsBrowsableVolume("/run/media/op/STICK", "vfat"));
    EXPECT_TRUE(IsBrowsableVolume("/home", "btrfs"));
    EXPECT_FALSE(IsBrowsableVolume("/proc", "proc"));
    EXPECT_FALSE(IsBrowsableVolume("/sys/fs/cgroup", "cgroup2"));
    EXPECT_FALSE(IsBrowsableVolume("/run/user/1000", "tmpfs"));
    const auto volumes = BrowsableVolumes();
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes.front().Root, "/");
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
