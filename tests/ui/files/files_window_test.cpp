#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QValidator>
#include <filesystem>
#include <fstream>

#include "../../core/keyer_fixture.h"
#include "ui/files/form_failai.h"

// The Qt files window's glue: its widgets from the layout rows, their
// events into the model, the model's changes into them. What the model
// decides is tested in tests/core.

namespace ziv::test {
namespace {

namespace fs = std::filesystem;

// Shown, created in a temporary directory that holds b.wav, CQ.WAV,
// notes.txt, a name that is not UTF-8, sub/inner.wav and dot files.
class FilesWindowTest : public KeyerFixture {
protected:
    FilesWindowTest() : root(QFile::encodeName(tmp.path()).toStdString()) {
        fs::create_directories(root + "/sub");
        fs::create_directories(root + "/.dot");
        for (const char* file :
             {"/b.wav", "/CQ.WAV", "/notes.txt", latin, "/sub/inner.wav", "/.d.wav"})
            std::ofstream(root + file) << "RIFF";
        for (int n = 1; n <= TMessageSlots::Count; ++n)
            keyer.PlayButton(n).SetCaption(std::to_string(n) + " ĮRAŠAS");
        const QString oldCwd = QDir::currentPath();
        QDir::setCurrent(tmp.path());
        form = std::make_unique<TFormFailai>(slots, keyer, [this] { ++narrowed; });
        QDir::setCurrent(oldCwd);
        Show();
    }
    // QTemporaryDir removes by display names, which miss names that are not UTF-8.
    ~FilesWindowTest() override { fs::remove_all(root); }

    void Show() { ASSERT_TRUE((form->show(), QTest::qWaitForWindowExposed(form.get()))); }
    void ClickFile(int row) {  // below the rows when row is -1
        TFileListBox* list = form->FileListBox1();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          row >= 0 ? list->visualItemRect(list->item(row)).center()
                                   : QPoint(5, list->viewport()->height() - 3));
    }

    static constexpr const char* latin = "/\xC8\xC1.wav";
    QTemporaryDir tmp;
    std::string root;
    int narrowed = 0;
    std::unique_ptr<TFormFailai> form;
};

TEST_F(FilesWindowTest, ControlsFollowTheLayoutAndFocusStartsOnClose) {
    EXPECT_EQ(form->windowTitle(), QString("ZIV Sound   WAV failai"));
    EXPECT_EQ(form->size(), QSize(370, 259));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    const Qt::WindowFlags onTopCloseOnly = Qt::WindowStaysOnTopHint | Qt::WindowCloseButtonHint;
    EXPECT_EQ(form->windowFlags() &
                  (onTopCloseOnly | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint),
              onTopCloseOnly);
    // Captions may grow to fit a wider font, never shrink or move.
    for (const TControlLayout& row : kFilesWindowLayout) {
        const auto* widget = form->findChild<QWidget*>(row.name);
        ASSERT_NE(widget, nullptr) << row.name;
        const QWidget* parent = *row.parent ? form->findChild<QWidget*>(row.parent) : form.get();
        EXPECT_EQ(widget->parentWidget(), parent) << row.name;
        EXPECT_EQ(widget->pos(), QPoint(row.rect.left, row.rect.top)) << row.name;
        EXPECT_EQ(widget->height(), row.rect.height) << row.name;
        EXPECT_GE(widget->width(), row.rect.width) << row.name;
        const std::string_view name = row.name;
        if (name.starts_with("edFile")) {
            EXPECT_TRUE(static_cast<const QLineEdit*>(widget)->isReadOnly()) << row.name;
        } else if (*row.text != '\0') {
            EXPECT_EQ(widget->property("text").toString(), QString::fromUtf8(row.text)) << row.name;
        }
    }
    EXPECT_FALSE(form->Edit1()->isVisible());
    // Focus starts on "Uždaryti" and Tab walks the rows' buttons, then the browser.
    EXPECT_EQ(QApplication::focusWidget(), form->BitBtn2());
    for (QWidget* next :
         std::initializer_list<QWidget*>{form->btnEnter(1), form->btnEnter(2), form->btnEnter(3),
                                         form->FileListBox1(), form->DirectoryListBox1()}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
}

// Then opening reads anew, and the labels go to the buttons on "Uždaryti".
TEST_F(FilesWindowTest, ClicksKeysSelectorsAndClosesReachTheModelAndItsChangesTheWidgets) {
    // Sorted ignoring case; neither notes.txt nor dot files are listed.
    EXPECT_EQ(form->FileListBox1()->count(), 3);
    EXPECT_EQ(form->FileListBox1()->item(0)->text(), QString("b.wav"));
    EXPECT_EQ(form->DirectoryListBox1()->currentItem()->childCount(), 1);
    ClickFile(-1);
    ASSERT_TRUE(form->Model().Linked());
    EXPECT_EQ(form->Edit1()->text() + " " + form->Label1()->toolTip(), "*.wav " + tmp.path());
    // The name that is not UTF-8 is sorted last, and assigned as its own bytes.
    ClickFile(2);
    QTest::mouseClick(form->btnEnter(1), Qt::LeftButton);
    EXPECT_EQ(slots.Path(1), root + latin);
    EXPECT_EQ(form->edFile(1)->text(), form->FileListBox1()->item(2)->text());

    Q_EMIT form->FilterComboBox1()->activated(1);
    EXPECT_EQ(form->FileListBox1()->count(), 4);  // notes.txt too

    TDirectoryListBox* dirs = form->DirectoryListBox1();
    const QRect sub = dirs->visualItemRect(dirs->findItems("sub", Qt::MatchRecursive).front());
    QTest::mouseDClick(dirs->viewport(), Qt::LeftButton, {}, sub.center());
    EXPECT_EQ(form->Model().Directory(), root + "/sub");
    EXPECT_EQ(form->Label1()->toolTip(), tmp.path() + "/sub");
    dirs->setCurrentItem(dirs->currentItem()->parent());
    QTest::keyClick(dirs, Qt::Key_Return);  // opens as a double-click does
    EXPECT_EQ(form->Model().Directory(), root);

    ClickFile(0);
    form->SetLabelText(1, "CQ");
    form->close();  // the close box copies nothing
    EXPECT_EQ(keyer.BtnPlay1.Caption(), "1 ĮRAŠAS");
    EXPECT_EQ(narrowed, 0);
    std::ofstream(root + "/Message1.wav") << "RIFF";
    slots.SetPath(1, root + "/Message1.wav");
    Show();
    EXPECT_EQ(form->edFile(1)->text(), QString("Message1.wav"));
    EXPECT_EQ(form->LabelText(1), QString("1 ĮRAŠAS"));
    EXPECT_EQ(form->FileListBox1()->findItems("Message1.wav", Qt::MatchExactly).size(), 1);
    EXPECT_TRUE(form->FileListBox1()->item(0)->isSelected());  // b.wav, as it was
    QString cyrillic("Я");  // the settings file could not keep it
    int at = 0;
    EXPECT_EQ(form->edLab(2)->validator()->validate(cyrillic, at), QValidator::Invalid);

    // Escape is "Uždaryti": the labels go to the buttons, the main window narrows.
    form->SetLabelText(1, "CQ");
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(keyer.BtnPlay1.Caption(), "CQ");
    EXPECT_EQ(narrowed, 1);
    Q_EMIT form->DriveComboBox1()->activated(0);
    EXPECT_EQ(form->Model().Directory(), "/");
    EXPECT_EQ(form->DriveComboBox1()->currentText().left(1), QString("/"));
    EXPECT_EQ(TDirectoryReader().Folded("ĄŽUOLAS.WAV"), TDirectoryReader().Folded("ąžuolas.wav"));
}

}  // namespace
}  // namespace ziv::test
