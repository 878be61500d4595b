// The main window's controls: built from the layout table, then what is
// special to each, and bound to the keyer's control models.
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QWindow>

#include "core/form_port.h"
#include "layout/main_window_layout.h"
#include "layout/settings_window_layout.h"
#include "ui/control_builder.h"
#include "ui/error_report.h"
#include "ui/form_sound.h"
#include "ui/glyphs.h"
#include "ui/widgets.h"

namespace ziv {

namespace {

// The font system puts its default sans (often a wide one) in place of a
// missing family, and the captions must fit the window's fixed sizes: so
// the classic family or a metric-compatible one is looked for first, and
// else the default sans is drawn condensed.
QFont FixedLayoutFont(std::initializer_list<const char*> families) {
    const QStringList installed = QFontDatabase::families();
    QString family;
    for (const char* name : families) {
        if (installed.contains(QString::fromLatin1(name), Qt::CaseInsensitive)) {
            family = QString::fromLatin1(name);
            break;
        }
    }
    QFont font(family.isEmpty() ? QStringLiteral("Sans Serif") : family);
    if (family.isEmpty())
        font.setStretch(QFont::Condensed);
    font.setPixelSize(11);
    // Set, not inherited: the settings panel's bold must not reach its
    // children.
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

QFont ScaleFont() {
    return FixedLayoutFont({"Arial", "Liberation Sans", "Arimo"});
}

void SetGlyph(QAbstractButton* button, const QIcon& glyph, QSize size) {
    button->setIcon(glyph);
    button->setIconSize(size);
}

}  // namespace

QFont TFormSound::WindowFont() {
    return FixedLayoutFont(
        {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arimo", "Arial"});
}

QString TFormSound::LaidOutText(const char* name) {
    return QString::fromUtf8(FindControl(kMainWindowLayout, name)->text);
}

void TFormSound::CreateControls() {
    BuildControls(this, kMainWindowLayout);
    FindControls();

    SetGlyph(btnStart_, StartGlyph(), QSize(16, 16));
    SetGlyph(btnTimer_, TimerGlyph(), QSize(16, 17));
    SetGlyph(btnStop_, StopGlyph(), QSize(16, 16));
    SetGlyph(btnEW2_, PanelGlyph(), QSize(9, 6));
    panel2_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel2_->setLineWidth(1);
    trackBar1_->setRange(keyer_.TrackBar1.MinValue(), keyer_.TrackBar1.MaxValue());
    trackBar1_->setPageStep(1);
    trackBar1_->setSingleStep(0);
    for (QLabel* label : scaleLabels_)
        label->setFont(ScaleFont());
    SetUpSettingsPanel();

    // The focus order of the window; the toggle buttons and BtnEW2 take no
    // focus at all.
    const std::initializer_list<QWidget*> order = {
        bitBtn1_, rbInv_, rbNorm_, comboBox1_, rbRTS_, rbDTR_, trackBar1_, btnTimer_, btnStop_};
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (previous)
            setTabOrder(previous, w);
        previous = w;
    }

    connect(comboBox1_->lineEdit(), &QLineEdit::textEdited, this,
            [this] { Guard([this] { presenter_.PortTextEdited(); }); });
    connect(comboBox1_, &QComboBox::textActivated, this,
            [this] { Guard([this] { presenter_.PortItemPicked(); }); });
    connect(btnEW2_, &QToolButton::clicked, this, [this] { Guard([this] { BtnEW2Click(); }); });
    connect(bitBtn1_, &QPushButton::clicked, this, [this] { Guard([this] { BitBtn1Click(); }); });
    connect(BuiltControl<QPushButton>(this, "BtnSettings"), &QPushButton::clicked, this,
            [this] { Guard([this] { presenter_.BtnSettingsClick(); }); });
    // The settings also from the window's context menu, narrow or wide.
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        menu.addAction(QString::fromUtf8(kSettingsWindowCaption), this,
                       [this] { Guard([this] { presenter_.BtnSettingsClick(); }); });
        menu.exec(mapToGlobal(at));
    });
}

void TFormSound::FindControls() {
    for (int n = 1; n <= 3; ++n) {
        const std::string play = "BtnPlay" + std::to_string(n);
        btnPlay_[size_t(n - 1)] = BuiltControl<QToolButton>(this, play.c_str());
        const std::string label = "Label" + std::to_string(n);
        scaleLabels_[size_t(n - 1)] = BuiltControl<QLabel>(this, label.c_str());
    }
    btnStart_ = BuiltControl<QToolButton>(this, "BtnStart");
    btnTimer_ = BuiltControl<QPushButton>(this, "BtnTimer");
    btnStop_ = BuiltControl<QPushButton>(this, "BtnStop");
    btnEW2_ = BuiltControl<QToolButton>(this, "BtnEW2");
    panel2_ = BuiltControl<QFrame>(this, "Panel2");
    trackBar1_ = BuiltControl<TTrackBarWidget>(this, "TrackBar1");
    bitBtn1_ = BuiltControl<QPushButton>(this, "BitBtn1");
    groupBox1_ = BuiltControl<QGroupBox>(this, "GroupBox1");
    label4_ = BuiltControl<QLabel>(this, "Label4");
    comboBox1_ = BuiltControl<QComboBox>(this, "ComboBox1");
    rbNorm_ = BuiltControl<TModelRadioButton>(this, "rbNorm");
    rbInv_ = BuiltControl<TModelRadioButton>(this, "rbInv");
    panel1_ = BuiltControl<QFrame>(this, "Panel1");
    rbRTS_ = BuiltControl<TModelRadioButton>(this, "rbRTS");
    rbDTR_ = BuiltControl<TModelRadioButton>(this, "rbDTR");
}

void TFormSound::SetUpSettingsPanel() {
    QFont bold = WindowFont();
    bold.setBold(true);
    groupBox1_->setFont(bold);
    groupBox1_->hide();
    const QFont font = WindowFont();
    for (QWidget* w : std::initializer_list<QWidget*>{label4_, comboBox1_, rbNorm_, rbInv_, panel1_,
                                                      rbRTS_, rbDTR_})
        w->setFont(font);

    // Port names are typed whole: no completion that would turn "C" into
    // "COM1", and no new list items from typing.
    comboBox1_->setCompleter(nullptr);
    comboBox1_->setInsertPolicy(QComboBox::NoInsert);
    QStringList items{QString()};
    for (int n = 1; n <= kPickablePorts; ++n)
        items.append(QString::fromStdString(PickablePortName(n)));
    comboBox1_->addItems(items);
    // The first item added took the place of the laid-out text.
    presenter_.SetPortText(FindControl(kMainWindowLayout, "ComboBox1")->text);
}

void TFormSound::BindModels() {
    auto bindToggle = [this](TToggleButton& model, QToolButton* widget, bool caption) {
        model.OnChange = [&model, widget, caption] {
            widget->setChecked(model.Down());
            widget->setEnabled(model.Enabled());
            widget->setVisible(model.Visible());
            if (caption)
                widget->setText(QString::fromStdString(model.Caption()));
        };
        model.OnChange();
        connect(widget, &QToolButton::clicked, this,
                [this, &model] { Guard([&model] { model.Click(); }); });
    };
    for (int n = 1; n <= 3; ++n)
        bindToggle(keyer_.PlayButton(n), BtnPlay(n), true);
    bindToggle(keyer_.BtnStart, btnStart_, false);

    auto bindPush = [this](TPushButton& model, QPushButton* widget) {
        model.OnChange = [&model, widget] {
            widget->setEnabled(model.Enabled());
            widget->setVisible(model.Visible());
        };
        model.OnChange();
        connect(widget, &QPushButton::clicked, this,
                [this, &model] { Guard([&model] { model.Click(); }); });
    };
    bindPush(keyer_.BtnTimer, btnTimer_);
    bindPush(keyer_.BtnStop, btnStop_);
    BindSettingsModels();
}

void TFormSound::BindSettingsModels() {
    auto bindRadio = [this](TRadioButton& model, TModelRadioButton* widget) {
        model.OnChange = [&model, widget] {
            widget->setChecked(model.Checked());
            widget->setEnabled(model.Enabled());
        };
        model.OnChange();
        connect(widget, &QAbstractButton::clicked, this,
                [this, &model] { Guard([this, &model] { presenter_.RadioClick(model); }); });
    };
    bindRadio(keyer_.rbRTS, rbRTS_);
    bindRadio(keyer_.rbDTR, rbDTR_);
    bindRadio(keyer_.rbNorm, rbNorm_);
    bindRadio(keyer_.rbInv, rbInv_);

    TTrackBar& bar = keyer_.TrackBar1;
    bar.OnChange = [&bar, this] {
        const QSignalBlocker block(trackBar1_);
        trackBar1_->setValue(bar.Position());
        trackBar1_->setEnabled(bar.Enabled());
    };
    bar.OnChange();
    connect(trackBar1_, &QAbstractSlider::valueChanged, this,
            [this, &bar](int value) { Guard([&bar, value] { bar.SetPosition(value); }); });
    trackBar1_->OnMouseUp = [this, &bar] { Guard([&bar] { bar.MouseUp(); }); };

    keyer_.Panel2.OnSetFocus = [this] { panel2_->setFocus(Qt::OtherFocusReason); };
}

bool TFormSound::IsStopInput(QObject* target, QEvent* event) const {
    auto* widget = qobject_cast<QWidget*>(target);
    const bool here = target == static_cast<QObject*>(windowHandle()) ||
                      (widget != nullptr && widget->window() == this);
    if (!here)
        return false;
    if (event->type() == QEvent::KeyPress)
        return static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape;
    if (event->type() != QEvent::MouseButtonRelease || !btnStop_->isVisible())
        return false;
    const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    return btnStop_->rect().contains(btnStop_->mapFromGlobal(at));
}

}  // namespace ziv
