#include "ui/files/form_failai.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <filesystem>
#include <initializer_list>
#include <string_view>
#include <system_error>

#include "core/files/browser_rules.h"
#include "ui/control_builder.h"

namespace ziv {

namespace {

// A caption keeps its place; its width in the layout fits the original
// font, and a wider fallback font grows it instead of clipping the text.
void FitWidthToText(QLabel* label) {
    if (label->sizeHint().width() > label->width())
        label->resize(label->sizeHint().width(), label->height());
}

// The browser's captions and file-type selector: black, 12 pixels high.
void UseBrowserFont(QWidget* widget, std::initializer_list<QPalette::ColorRole> textRoles) {
    QFont font = widget->font();
    font.setPixelSize(12);
    widget->setFont(font);
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : textRoles)
        palette.setColor(role, Qt::black);
    widget->setPalette(palette);
}

void UseTooltipColours(QLineEdit* edit) {
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
    palette.setColor(QPalette::Text, palette.color(QPalette::ToolTipText));
    edit->setPalette(palette);
}

// Accepts only label texts that the settings file stores unchanged, so a
// label typed here comes back the same at the next start.
class TLabelValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*pos*/) const override {
        for (const QChar ch : input)
            if (!LabelCanHold(ch.unicode()))
                return Invalid;
        return Acceptable;
    }
};

std::string WorkingDirectory() {
    std::error_code ec;
    const std::filesystem::path cwd = std::filesystem::current_path(ec);
    return ec ? std::string("/") : cwd.native();
}

}  // namespace

TFormFailai::TFormFailai(TMessageSlots& messageSlots, TKeyer& keyer,
                         std::function<void()> makeMainNarrow, QWidget* parent)
    : QDialog(parent),
      model_(messageSlots, keyer, std::move(makeMainNarrow), fileSystem_, *this,
             kFilesWindowFilter) {
    SetUpWindow();
    BuildControls(this, kFilesWindowLayout, [this](const TControlLayout& row, QWidget* parent) {
        return MakeBrowserControl(row, parent);
    });
    FindControls();
    StyleControls();
    SetFocusOrder();
    ConnectControls();
    StartBrowser();
}

void TFormFailai::SetUpWindow() {
    setObjectName(QStringLiteral("FormFailai"));
    setWindowTitle(QString::fromUtf8(kFilesWindowCaption));
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
}

QWidget* TFormFailai::MakeBrowserControl(const TControlLayout& row, QWidget* parent) {
    const std::string_view name = row.name;
    if (name == "FileListBox1")
        return fileListBox1_ = new TFileListBox(parent);
    if (name == "DirectoryListBox1")
        return directoryListBox1_ = new TDirectoryListBox(parent);
    // Drop-down lists, not editable.
    if (name == "FilterComboBox1")
        return filterComboBox1_ = new QComboBox(parent);
    if (name == "DriveComboBox1")
        return driveComboBox1_ = new QComboBox(parent);
    // A dialog's own buttons: Enter presses the one with the focus.
    if (row.kind == TControlKind::PushButton)
        return new QPushButton(QString::fromUtf8(row.text), parent);
    return nullptr;
}

void TFormFailai::FindControls() {
    edit1_ = BuiltControl<QLineEdit>(this, QStringLiteral("Edit1"));
    panel4_ = BuiltControl<QFrame>(this, QStringLiteral("Panel4"));
    label1_ = BuiltControl<QLabel>(this, QStringLiteral("Label1"));
    bitBtn2_ = BuiltControl<QPushButton>(this, QStringLiteral("BitBtn2"));
    for (int n = 1; n <= TMessageSlots::Count; ++n) {
        const QString number = QString::number(n);
        edFile_[Index(n)] = BuiltControl<QLineEdit>(this, QStringLiteral("edFile") + number);
        btnEnter_[Index(n)] = BuiltControl<QPushButton>(this, QStringLiteral("btnEnter") + number);
        edLab_[Index(n)] = BuiltControl<QLineEdit>(this, QStringLiteral("edLab") + number);
    }
}

void TFormFailai::StyleControls() {
    edit1_->hide();
    for (const char* name : {"Label2", "Label3", "Label5", "Label4"}) {
        auto* caption = BuiltControl<QLabel>(this, QString::fromLatin1(name));
        UseBrowserFont(caption, {QPalette::WindowText});
        FitWidthToText(caption);
    }
    UseBrowserFont(filterComboBox1_, {QPalette::Text, QPalette::ButtonText});
    for (const char* name : {"Label9", "Label10"})
        FitWidthToText(BuiltControl<QLabel>(this, QString::fromLatin1(name)));
    label1_->setFixedSize(label1_->size());
    for (int n = 1; n <= TMessageSlots::Count; ++n) {
        auto* rowLabel = BuiltControl<QLabel>(this, QStringLiteral("Label%1").arg(5 + n));
        rowLabel->setFixedSize(rowLabel->size());
        rowLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        edFile(n)->setReadOnly(true);
        UseTooltipColours(edFile(n));
        // Enter on a focused "Įvesti" clicks it.
        btnEnter(n)->setAutoDefault(true);
        edLab(n)->setValidator(new TLabelValidator(edLab(n)));
        UseTooltipColours(edLab(n));
    }
    bitBtn2_->setAutoDefault(true);
}

void TFormFailai::SetFocusOrder() {
    QWidget* const focusOrder[] = {
        edit1_,        bitBtn2_,           btnEnter_[0],     btnEnter_[1],    btnEnter_[2],
        fileListBox1_, directoryListBox1_, filterComboBox1_, driveComboBox1_, edLab_[0],
        edLab_[1],     edLab_[2],          edFile_[0],       edFile_[1],      edFile_[2],
    };
    for (size_t i = 1; i < std::size(focusOrder); ++i)
        QWidget::setTabOrder(focusOrder[i - 1], focusOrder[i]);
}

void TFormFailai::ConnectControls() {
    connect(btnEnter_[0], &QPushButton::clicked, this, [this] { btnEnter1Click(); });
    connect(btnEnter_[1], &QPushButton::clicked, this, [this] { btnEnter2Click(); });
    connect(btnEnter_[2], &QPushButton::clicked, this, [this] { btnEnter3Click(); });
    connect(bitBtn2_, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    directoryListBox1_->OnOpen = [this](std::size_t row) { model_.DirectoryRowOpened(row); };
    directoryListBox1_->OnClick = [this] { DirectoryListBox1Click(); };
    fileListBox1_->OnSelect = [this](int row) { model_.FileSelected(row); };
    fileListBox1_->OnClick = [this] { FileListBox1Click(); };
    connect(filterComboBox1_, &QComboBox::activated, this,
            [this](int index) { model_.FilterChosen(index); });
    connect(driveComboBox1_, &QComboBox::activated, this,
            [this](int index) { model_.DriveChosen(index); });
}

void TFormFailai::StartBrowser() {
    for (const TFileFilter& filter : model_.Filters())
        filterComboBox1_->addItem(QString::fromStdString(filter.Description));
    std::vector<TVolume> volumes = BrowsableVolumes();
    for (const TVolume& volume : volumes)
        driveComboBox1_->addItem(QString::fromStdString(volume.Caption));
    // Both lists start in the working directory, unlinked.
    model_.Start(WorkingDirectory(), std::move(volumes));
}

}  // namespace ziv
