#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>

#include "core/files/files_window_model.h"
#include "core/keyer.h"
#include "core/message_slots.h"
#include "layout/files_window_layout.h"
#include "ui/files/directory_list_box.h"
#include "ui/files/directory_reader.h"
#include "ui/files/file_list_box.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ziv {

// The message files window on Qt, built from kFilesWindowLayout: a small
// file browser above, and one row per message slot below with the slot's
// file name, an "Įvesti" button that assigns the file chosen in the
// browser, and the slot's button label. What it decides is
// TFilesWindowModel's; the window forwards its widgets' events there and
// shows what the model tells it. It is created once and only hidden between
// openings, so the browser keeps its directory, selection and links within
// a run.
class TFormFailai : public QDialog, private TFilesWindowView {
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
    void FormShow() { model_.FormShow(); }
    void btnEnter1Click() { model_.EnterClick(1); }
    void btnEnter2Click() { model_.EnterClick(2); }
    void btnEnter3Click() { model_.EnterClick(3); }
    void BitBtn2Click() { model_.BitBtn2Click(); }
    void DirectoryListBox1Click() { model_.Link(); }
    void FileListBox1Click() { model_.Link(); }

    // --- The model and the controls, for the main window and for tests ---
    const TFilesWindowModel& Model() const { return model_; }
    QFrame* Panel4() const { return panel4_; }
    QLabel* Label1() const { return label1_; }
    QLineEdit* Edit1() const { return edit1_; }
    TFileListBox* FileListBox1() const { return fileListBox1_; }
    TDirectoryListBox* DirectoryListBox1() const { return directoryListBox1_; }
    QComboBox* FilterComboBox1() const { return filterComboBox1_; }
    QComboBox* DriveComboBox1() const { return driveComboBox1_; }
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
    void ConnectControls();
    void StartBrowser();

    void CentreOnScreen();

    // --- TFilesWindowView ---
    void ShowDirectoryRows(const std::vector<TDirectoryRow>& rows, std::size_t current) override;
    void ShowFiles(const std::vector<std::string>& names, int selected) override;
    void ShowFileEdit(const std::string& text) override;
    void ShowDirectory(const std::string& dir) override;
    void ShowDrive(int index) override;
    void ShowSlotFile(int n, const std::string& name) override;
    void ShowLabel(int n, const std::string& text) override;
    std::string LabelEditText(int n) const override;
    void Hide() override;
    void Refuse() override;

    TDirectoryReader fileSystem_;
    TFilesWindowModel model_;

    QLineEdit* edit1_ = nullptr;
    QFrame* panel4_ = nullptr;
    QLabel* label1_ = nullptr;
    TFileListBox* fileListBox1_ = nullptr;
    TDirectoryListBox* directoryListBox1_ = nullptr;
    QComboBox* filterComboBox1_ = nullptr;
    QComboBox* driveComboBox1_ = nullptr;
    std::array<QLineEdit*, TMessageSlots::Count> edFile_{};
    std::array<QPushButton*, TMessageSlots::Count> btnEnter_{};
    std::array<QLineEdit*, TMessageSlots::Count> edLab_{};
    QPushButton* bitBtn2_ = nullptr;
};

}  // namespace ziv
