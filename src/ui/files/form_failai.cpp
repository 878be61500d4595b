#include "ui/files/form_failai.h"

#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <filesystem>
#include <system_error>

#include "ui/files/label_validator.h"

namespace ziv {

namespace {

const char* const kCaption = "ZIV Sound   WAV failai";
const char* const kFilter = "WAV failai (*.wav)|*.wav|Visi failai (*.*)|*.*";

QString Display(const std::string& raw) {
    return QFile::decodeName(QByteArray::fromStdString(raw));
}

// The browser's captions: black, 12 pixels high. Their widths in the layout
// fit the original font; a wider fallback font grows them instead of
// clipping the text.
QLabel* BrowserCaption(const QString& text, QWidget* parent, QRect geometry) {
    auto* label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(12);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    label->setGeometry(geometry);
    if (label->sizeHint().width() > geometry.width())
        label->resize(label->sizeHint().width(), geometry.height());
    return label;
}

QLabel* Caption(const QString& text, QWidget* parent, QRect geometry) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    if (label->sizeHint().width() > geometry.width())
        label->resize(label->sizeHint().width(), geometry.height());
    return label;
}

void UseTooltipColours(QLineEdit* edit) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
    palette.setColor(QPalette::Text, palette.color(QPalette::ToolTipText));
    edit->setPalette(palette);
}

std::string WorkingDirectory() {
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    return ec ? std::string("/") : cwd.native();
}

}  // namespace

TFormFailai::TFormFailai(TMessageSlots& messageSlots, TKeyer& keyer,
                         std::function<void()> makeMainNarrow, QWidget* parent)
    : QDialog(parent),
      slots_(messageSlots),
      keyer_(keyer),
      makeMainNarrow_(std::move(makeMainNarrow)) {
    setObjectName(QStringLiteral("FormFailai"));
    setWindowTitle(QString::fromUtf8(kCaption));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(ClientWidth, ClientHeight);
    QFont windowFont = font();
    windowFont.setPixelSize(11);
    setFont(windowFont);
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, windowPalette.color(QPalette::Button));
    setPalette(windowPalette);
    setAutoFillBackground(true);

    // Hidden: it only carries the browser's choice to the "Įvesti" buttons.
    edit1_ = new QLineEdit(this);
    edit1_->setObjectName(QStringLiteral("Edit1"));
    edit1_->setGeometry(24, 68, 129, 21);
    edit1_->hide();

    panel4_ = new QFrame(this);
    panel4_->setObjectName(QStringLiteral("Panel4"));
    panel4_->setFrameShape(QFrame::NoFrame);
    panel4_->setGeometry(7, 0, 361, 161);

    BrowserCaption(QStringLiteral("Failo vardas:"), panel4_, {18, 8, 60, 13})
        ->setObjectName(QStringLiteral("Label2"));
    fileListBox1_ = new TFileListBox(panel4_);
    fileListBox1_->setObjectName(QStringLiteral("FileListBox1"));
    fileListBox1_->setGeometry(16, 27, 142, 85);

    BrowserCaption(QStringLiteral("Katalogas:"), panel4_, {164, 7, 50, 13})
        ->setObjectName(QStringLiteral("Label3"));
    label1_ = new QLabel(panel4_);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setGeometry(164, 24, 92, 13);
    label1_->setFixedSize(92, 13);

    directoryListBox1_ = new TDirectoryListBox(panel4_);
    directoryListBox1_->setObjectName(QStringLiteral("DirectoryListBox1"));
    directoryListBox1_->setGeometry(165, 40, 188, 73);

    BrowserCaption(QStringLiteral("Failo tipas:"), panel4_, {18, 120, 50, 13})
        ->setObjectName(QStringLiteral("Label5"));
    filterComboBox1_ = new TFilterComboBox(QString::fromUtf8(kFilter), panel4_);
    filterComboBox1_->setObjectName(QStringLiteral("FilterComboBox1"));
    filterComboBox1_->setGeometry(16, 137, 142, 21);
    {
        QFont font = filterComboBox1_->font();
        font.setPixelSize(12);
        filterComboBox1_->setFont(font);
        QPalette palette = filterComboBox1_->palette();
        palette.setColor(QPalette::Text, Qt::black);
        palette.setColor(QPalette::ButtonText, Qt::black);
        filterComboBox1_->setPalette(palette);
    }

    BrowserCaption(QStringLiteral("Įrenginys:"), panel4_, {166, 120, 45, 13})
        ->setObjectName(QStringLiteral("Label4"));
    driveComboBox1_ = new TDriveComboBox(panel4_);
    driveComboBox1_->setObjectName(QStringLiteral("DriveComboBox1"));
    driveComboBox1_->setGeometry(165, 138, 188, 19);

    Caption(QStringLiteral("Įrašo failas"), this, {32, 167, 50, 13})
        ->setObjectName(QStringLiteral("Label9"));
    Caption(QStringLiteral("Mygtuko užrašas"), this, {218, 167, 80, 13})
        ->setObjectName(QStringLiteral("Label10"));

    const int rowLabelLeft[] = {16, 16, 17};
    const int rowLabelTop[] = {186, 209, 234};
    const int rowLabelWidth[] = {14, 14, 6};
    const int editTop[] = {183, 207, 231};
    const int buttonTop[] = {184, 208, 232};
    for (int n = 1; n <= TMessageSlots::Count; ++n) {
        const size_t i = Index(n);
        const QString number = QString::number(n);

        auto* rowLabel = new QLabel(number, this);
        rowLabel->setObjectName(QStringLiteral("Label%1").arg(5 + n));
        rowLabel->setGeometry(rowLabelLeft[i], rowLabelTop[i], rowLabelWidth[i], 18);
        rowLabel->setFixedSize(rowLabelWidth[i], 18);
        rowLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

        auto* file = new QLineEdit(this);
        file->setObjectName(QStringLiteral("edFile") + number);
        file->setGeometry(32, editTop[i], 120, 21);
        file->setReadOnly(true);
        UseTooltipColours(file);
        edFile_[i] = file;

        auto* enter = new QPushButton(QStringLiteral("Įvesti"), this);
        enter->setObjectName(QStringLiteral("btnEnter") + number);
        enter->setGeometry(156, buttonTop[i], 51, 20);
        // Enter on a focused "Įvesti" clicks it.
        enter->setAutoDefault(true);
        btnEnter_[i] = enter;

        auto* label = new QLineEdit(this);
        label->setObjectName(QStringLiteral("edLab") + number);
        label->setGeometry(217, editTop[i], 81, 21);
        label->setValidator(new TLabelValidator(label));
        UseTooltipColours(label);
        edLab_[i] = label;
    }

    bitBtn2_ = new QPushButton(QStringLiteral("&Uždaryti"), this);
    bitBtn2_->setObjectName(QStringLiteral("BitBtn2"));
    bitBtn2_->setGeometry(304, 229, 57, 21);
    bitBtn2_->setAutoDefault(true);

    QWidget* const focusOrder[] = {
        edit1_,        bitBtn2_,           btnEnter_[0],     btnEnter_[1],    btnEnter_[2],
        fileListBox1_, directoryListBox1_, filterComboBox1_, driveComboBox1_, edLab_[0],
        edLab_[1],     edLab_[2],          edFile_[0],       edFile_[1],      edFile_[2],
    };
    for (size_t i = 1; i < std::size(focusOrder); ++i)
        QWidget::setTabOrder(focusOrder[i - 1], focusOrder[i]);

    connect(btnEnter_[0], &QPushButton::clicked, this, [this] { btnEnter1Click(); });
    connect(btnEnter_[1], &QPushButton::clicked, this, [this] { btnEnter2Click(); });
    connect(btnEnter_[2], &QPushButton::clicked, this, [this] { btnEnter3Click(); });
    connect(bitBtn2_, &QPushButton::clicked, this, [this] { BitBtn2Click(); });

    // Both lists start in the working directory, unlinked.
    if (!directoryListBox1_->SetDirectory(WorkingDirectory()))
        directoryListBox1_->SetDirectory("/");
    fileListBox1_->SetDirectory(directoryListBox1_->Directory());
    driveComboBox1_->SetVolumes(BrowsableVolumes());
    driveComboBox1_->ShowDriveOf(directoryListBox1_->Directory());

    directoryListBox1_->OnChange = [this] {
        DirectoryListBox1Change();
        if (linked_)
            driveComboBox1_->ShowDriveOf(directoryListBox1_->Directory());
    };
    directoryListBox1_->OnClick = [this] { DirectoryListBox1Click(); };
    fileListBox1_->OnClick = [this] { FileListBox1Click(); };
}

QString TFormFailai::LabelText(int n) const {
    return edLab(n)->text();
}

void TFormFailai::SetLabelText(int n, const QString& text) {
    edLab(n)->setText(text);
}

void TFormFailai::FormShow() {
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        edFile(n)->setText(Display(FileNamePart(slots_.Path(n))));
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        edLab(n)->setText(QString::fromStdString(keyer_.PlayButton(n).Caption()));
}

void TFormFailai::EnterClick(int n) {
    // Row 3 hands its label over at once, whether or not a file follows.
    if (n == 3)
        keyer_.BtnPlay3.SetCaption(edLab(3)->text().toStdString());

    const QString text = edit1_->text();
    if (text.isEmpty())
        return;  // the browser is not linked yet
    // The file list leaves the selected name's own bytes beside the text;
    // anything else in Edit1 is the mask, meaning no file is selected. A
    // POSIX name may itself contain "*", so only a text that did not come
    // from a selected file is taken for the mask.
    const QVariant raw = edit1_->property(TFileListBox::RawNameProperty);
    std::string name;
    if (raw.isValid() && Display(raw.toByteArray().toStdString()) == text) {
        name = raw.toByteArray().toStdString();
    } else {
        if (text.contains(u'*'))
            return;
        name = QFile::encodeName(text).toStdString();
    }
    name = FileNamePart(name);
    if (name.empty())
        return;

    const std::string path = JoinPath(directoryListBox1_->Directory(), name);
    slots_.SetPath(n, path);
    edFile(n)->setText(Display(FileNamePart(path)));
}

void TFormFailai::BitBtn2Click() {
    for (int n = 1; n <= TMessageSlots::Count; ++n)
        keyer_.PlayButton(n).SetCaption(edLab(n)->text().toStdString());
    reject();
    if (makeMainNarrow_)
        makeMainNarrow_();
}

void TFormFailai::DirectoryListBox1Change() {
    if (fileListBox1_->Directory() != directoryListBox1_->Directory())
        fileListBox1_->SetDirectory(directoryListBox1_->Directory());
}

void TFormFailai::Link() {
    driveComboBox1_->SetDirList(directoryListBox1_);
    directoryListBox1_->SetFileList(fileListBox1_);
    directoryListBox1_->SetDirLabel(label1_);
    fileListBox1_->SetFileEdit(edit1_);
    filterComboBox1_->SetFileList(fileListBox1_);
    linked_ = true;
}

void TFormFailai::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;  // restored, not opened
    CentreOnScreen();
    // Files recorded since the last opening show up; the selection stays.
    directoryListBox1_->Refresh();
    fileListBox1_->Refresh();
    FormShow();
    bitBtn2_->setFocus();
}

void TFormFailai::keyPressEvent(QKeyEvent* event) {
    // Escape is "&Uždaryti", not a plain rejection: the labels go to the
    // main window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        bitBtn2_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormFailai::CentreOnScreen() {
    QScreen* screen = parentWidget() != nullptr ? parentWidget()->screen() : this->screen();
    if (screen == nullptr)
        screen = QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return;
    const QRect available = screen->availableGeometry();
    const QSize outer = frameGeometry().size();
    move(available.center() - QPoint(outer.width() / 2, outer.height() / 2));
}

}  // namespace ziv
