#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>

#include "core/keyer.h"
#include "core/message_slots.h"
#include "layout/files_window_layout.h"
#include "ui/files/directory_list_box.h"
#include "ui/files/drive_combo_box.h"
#include "ui/files/file_list_box.h"
#include "ui/files/filter_combo_box.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ziv {

// The message files window: a small file browser above, and one row per
// message slot below with the slot's file name, an "Įvesti" button that
// assigns the file chosen in the browser, and the slot's button label.
//
// The browser's controls start unlinked; the first click in the directory
// list or the file list links all of them for the rest of the run. The
// window is created once and only hidden between openings, so the browser
// keeps its directory, selection and links within a run.
class TFormFailai : public QDialog {
public:
    static constexpr int ClientWidth = kFilesWindowClientWidth;
    static constexpr int ClientHeight = kFilesWindowClientHeight;

    // makeMainNarrow sets the main window to its narrow width and hides its
    // settings panel.
    TFormFailai(TMessageSlots& messageSlots, TKeyer& keyer, std::function<void()> makeMainNarrow,
                QWidget* parent = nullptr);

    // The label edits edLab1..edLab3 (n = 1..3): where the labels live
    // between loading and saving the settings.
    QString LabelText(int n) const;
    void SetLabelText(int n, const QString& text);

    // --- Handlers ---
    void FormShow();
    void btnEnter1Click() { EnterClick(1); }
    void btnEnter2Click() { EnterClick(2); }
    void btnEnter3Click() { EnterClick(3); }
    void BitBtn2Click();
    void DirectoryListBox1Click() { Link(); }
    void FileListBox1Click() { Link(); }
    void DirectoryListBox1Change();

    // --- Controls, for the main window and for tests ---
    bool Linked() const { return linked_; }
    QFrame* Panel4() const { return panel4_; }
    QLabel* Label1() const { return label1_; }
    QLineEdit* Edit1() const { return edit1_; }
    TFileListBox* FileListBox1() const { return fileListBox1_; }
    TDirectoryListBox* DirectoryListBox1() const { return directoryListBox1_; }
    TFilterComboBox* FilterComboBox1() const { return filterComboBox1_; }
    TDriveComboBox* DriveComboBox1() const { return driveComboBox1_; }
    QLineEdit* edFile(int n) const { return edFile_.at(Index(n)); }
    QLineEdit* edLab(int n) const { return edLab_.at(Index(n)); }
    QPushButton* btnEnter(int n) const { return btnEnter_.at(Index(n)); }
    QPushButton* BitBtn2() const { return bitBtn2_; }

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    static size_t Index(int n) { return static_cast<size_t>(n - 1); }
    // Construction, in this order.
    void SetUpWindow();
    QWidget* MakeBrowserControl(const TControlLayout& row, QWidget* parent);
    void FindControls();
    void StyleControls();
    void SetFocusOrder();
    void ConnectButtons();
    void StartBrowser();

    void EnterClick(int n);
    void Link();
    void CentreOnScreen();

    TMessageSlots& slots_;
    TKeyer& keyer_;
    std::function<void()> makeMainNarrow_;
    bool linked_ = false;

    QLineEdit* edit1_ = nullptr;
    QFrame* panel4_ = nullptr;
    QLabel* label1_ = nullptr;
    TFileListBox* fileListBox1_ = nullptr;
    TDirectoryListBox* directoryListBox1_ = nullptr;
    TFilterComboBox* filterComboBox1_ = nullptr;
    TDriveComboBox* driveComboBox1_ = nullptr;
    std::array<QLineEdit*, TMessageSlots::Count> edFile_{};
    std::array<QPushButton*, TMessageSlots::Count> btnEnter_{};
    std::array<QLineEdit*, TMessageSlots::Count> edLab_{};
    QPushButton* bitBtn2_ = nullptr;
};

}  // namespace ziv
