#include "ui/form_sound.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QToolButton>
#include <QWindow>
#include <algorithm>

#include "settings/ini_ctrl.h"
#include "settings/station_settings.h"
#include "ui/error_report.h"
#include "ui/form_port.h"
#include "ui/glyphs.h"
#include "ui/key_map.h"
#include "ui/ui_gate.h"
#include "ui/widgets.h"
#include "ui/window_position.h"

namespace ziv {

const char* const TFormSound::PortBusyText = "Prievadas užimtas";
const char* const TFormSound::SendFailedText = "nepavyko groti";

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

QFont WindowFont() {
    return FixedLayoutFont(
        {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arimo", "Arial"});
}

QFont ScaleFont() {
    return FixedLayoutFont({"Arial", "Liberation Sans", "Arimo"});
}

QString Utf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

}  // namespace

TFormSound::TFormSound(TKeyer& keyer, TFormPort& port, TLMDIniCtrl& ini,
                       TMessageSlots& messageSlots, TMessageBoxes& boxes, TErrorReport& errors,
                       TUiGate* gate, QString title, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      keyer_(keyer),
      port_(port),
      ini_(ini),
      slots_(messageSlots),
      boxes_(boxes),
      errors_(errors),
      gate_(gate),
      title_(std::move(title)) {
    setObjectName("FormSound");
    setWindowTitle(title_);
    setFont(WindowFont());
    // The hints are the only place where the keys are named; show them even
    // while another program's window is active.
    setAttribute(Qt::WA_AlwaysShowToolTips, true);
    setFixedSize(LaidOutClientWidth, ClientHeight);

    for (int n = 1; n <= TMessageSlots::Count; ++n) {
        labels_[size_t(n - 1)] = QString::number(n) + QStringLiteral(" ĮRAŠAS");
        keyer_.PlayButton(n).SetCaption(labels_[size_t(n - 1)].toStdString());
    }
    CreateControls();
    BindModels();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

TFormSound::~TFormSound() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
    // The models outlive the widgets; they must not reach them any more.
    for (TControl* c : std::initializer_list<TControl*>{
             &keyer_.BtnPlay1, &keyer_.BtnPlay2, &keyer_.BtnPlay3, &keyer_.BtnStart,
             &keyer_.BtnTimer, &keyer_.BtnStop, &keyer_.TrackBar1, &keyer_.rbRTS, &keyer_.rbDTR,
             &keyer_.rbNorm, &keyer_.rbInv, &keyer_.Panel2})
        c->OnChange = nullptr;
    keyer_.Panel2.OnSetFocus = nullptr;
}

void TFormSound::CreateControls() {
    auto toggle = [this](const QString& name, QRect geometry) {
        auto* b = new TModelToolButton(this);
        b->setObjectName(name);
        b->setGeometry(geometry);
        b->setCheckable(true);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    for (int n = 1; n <= 3; ++n) {
        QToolButton* b =
            toggle(QStringLiteral("BtnPlay%1").arg(n), QRect(58, 8 + 24 * (n - 1), 81, 25));
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setToolTip(QStringLiteral("F%1").arg(n));
        btnPlay_[size_t(n - 1)] = b;
    }
    btnStart_ = toggle("BtnStart", QRect(99, 84, 40, 25));
    btnStart_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    btnStart_->setIcon(StartGlyph());
    btnStart_->setIconSize(QSize(16, 16));
    btnStart_->setToolTip(QStringLiteral(" Skaityti įrašą \nCtrl+<ENTER>"));

    auto push = [this](const QString& name, QRect geometry) {
        auto* b = new QPushButton(this);
        b->setObjectName(name);
        b->setGeometry(geometry);
        b->setFocusPolicy(Qt::StrongFocus);
        b->setAutoDefault(false);
        return b;
    };
    btnTimer_ = push("BtnTimer", QRect(58, 84, 40, 25));
    btnTimer_->setIcon(TimerGlyph());
    btnTimer_->setIconSize(QSize(16, 17));
    btnTimer_->setToolTip(QStringLiteral("Paleisti taimerĮ\n       <F4>"));
    btnStop_ = push("BtnStop", QRect(58, 84, 40, 25));
    btnStop_->setIcon(StopGlyph());
    btnStop_->setIconSize(QSize(16, 16));
    btnStop_->setToolTip(QStringLiteral(" Sustabdyti taimerį\n     <ESCAPE>"));

    btnEW2_ = new QToolButton(this);
    btnEW2_->setObjectName("BtnEW2");
    btnEW2_->setGeometry(144, 11, 12, 13);
    btnEW2_->setAutoRaise(true);
    btnEW2_->setFocusPolicy(Qt::NoFocus);
    btnEW2_->setIcon(PanelGlyph());
    btnEW2_->setIconSize(QSize(9, 6));
    btnEW2_->setToolTip(QStringLiteral("Nustatymai"));

    panel2_ = new QFrame(this);
    panel2_->setObjectName("Panel2");
    panel2_->setGeometry(8, 9, 44, 102);
    panel2_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel2_->setLineWidth(1);
    panel2_->setFocusPolicy(Qt::NoFocus);

    trackBar1_ = new TTrackBarWidget(panel2_);
    trackBar1_->setObjectName("TrackBar1");
    trackBar1_->setGeometry(16, 1, 26, 97);
    trackBar1_->setRange(keyer_.TrackBar1.MinValue(), keyer_.TrackBar1.MaxValue());
    trackBar1_->setPageStep(1);
    trackBar1_->setSingleStep(0);
    trackBar1_->setToolTip(QStringLiteral("Pauzės trukmė"));

    const struct {
        const char* name;
        QRect geometry;
        const char* text;
    } scale[] = {{"Label1", QRect(9, 83, 6, 14), "0"},
                 {"Label2", QRect(3, 42, 12, 14), "10"},
                 {"Label3", QRect(3, 3, 12, 14), "20"}};
    for (size_t i = 0; i < 3; ++i) {
        auto* l = new QLabel(QString::fromLatin1(scale[i].text), panel2_);
        l->setObjectName(scale[i].name);
        l->setGeometry(scale[i].geometry);
        l->setFont(ScaleFont());
        scaleLabels_[i] = l;
    }

    bitBtn1_ = push("BitBtn1", QRect(218, 13, 58, 25));
    bitBtn1_->setText(QStringLiteral("Failai"));

    groupBox1_ = new QGroupBox(this);
    groupBox1_->setObjectName("GroupBox1");
    groupBox1_->setGeometry(143, 38, 134, 73);
    QFont bold = WindowFont();
    bold.setBold(true);
    groupBox1_->setFont(bold);
    groupBox1_->hide();

    label4_ = new QLabel(QStringLiteral("Prievadas"), groupBox1_);
    label4_->setObjectName("Label4");
    label4_->setGeometry(8, 16, 47, 13);
    label4_->setFont(WindowFont());

    comboBox1_ = new QComboBox(groupBox1_);
    comboBox1_->setObjectName("ComboBox1");
    comboBox1_->setGeometry(64, 12, 57, 21);
    comboBox1_->setFont(WindowFont());
    comboBox1_->setEditable(true);
    // Port names are typed whole: no completion that would turn "C" into
    // "COM1", and no new list items from typing.
    comboBox1_->setCompleter(nullptr);
    comboBox1_->setInsertPolicy(QComboBox::NoInsert);
    comboBox1_->addItems({QString(), "COM1", "COM2", "COM3", "COM4"});
    comboBox1_->setEditText(QStringLiteral("COM3"));
    lastPortText_ = comboBox1_->currentText();

    auto radio = [this](QWidget* parent, const QString& name, const QString& text, QRect geometry) {
        auto* r = new TModelRadioButton(text, parent);
        r->setObjectName(name);
        r->setGeometry(geometry);
        r->setFont(WindowFont());
        r->setFocusPolicy(Qt::StrongFocus);
        return r;
    };
    rbNorm_ = radio(groupBox1_, "rbNorm", QStringLiteral("Normalus"), QRect(57, 36, 65, 17));
    rbInv_ = radio(groupBox1_, "rbInv", QStringLiteral("Invertuotas"), QRect(57, 52, 74, 17));

    panel1_ = new QFrame(groupBox1_);
    panel1_->setObjectName("Panel1");
    panel1_->setGeometry(2, 32, 55, 39);
    panel1_->setFrameStyle(QFrame::NoFrame);
    panel1_->setFont(WindowFont());
    rbRTS_ = radio(panel1_, "rbRTS", QStringLiteral("RTS"), QRect(6, 3, 49, 17));
    rbDTR_ = radio(panel1_, "rbDTR", QStringLiteral("DTR"), QRect(6, 20, 58, 17));

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

    connect(comboBox1_->lineEdit(), &QLineEdit::textEdited, this, [this] { PortTextEdited(); });
    connect(comboBox1_, &QComboBox::textActivated, this, [this] { PortItemPicked(); });
    connect(btnEW2_, &QToolButton::clicked, this, [this] { Guard([this] { BtnEW2Click(); }); });
    connect(bitBtn1_, &QPushButton::clicked, this, [this] { Guard([this] { BitBtn1Click(); }); });
}

void TFormSound::BindModels() {
    auto bindToggle = [this](TToggleButton& model, QToolButton* widget, bool caption) {
        model.OnChange = [&model, widget, caption] {
            widget->setChecked(model.Down());
            widget->setEnabled(model.Enabled());
            widget->setVisible(model.Visible());
            if (caption)
                widget->setText(Utf8(model.Caption()));
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

    auto bindRadio = [this](TRadioButton& model, TModelRadioButton* widget) {
        model.OnChange = [&model, widget] {
            widget->setChecked(model.Checked());
            widget->setEnabled(model.Enabled());
        };
        model.OnChange();
        // A click on a radio button always checks it.
        connect(widget, &QAbstractButton::clicked, this, [this, &model] {
            Guard([this, &model] {
                model.SetChecked(true);
                FollowPolarity();
                // The line now chosen, or the line under the new polarity,
                // goes to its idle level at once: it may sit at the keyed
                // one. Not during a key-up delay, which the play ends.
                if (!keyer_.Timer2->Enabled())
                    keyer_.TXOff();
            });
        });
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

    // A send that failed shows in the title until the next one goes out:
    // the operator must see it without a terminal, and a message box would
    // stand in the way in the middle of a contest.
    keyer_.OnSendResult = [this](bool sent) {
        const QString file = QFileInfo(Utf8(keyer_.WavePlayer.WaveName())).fileName();
        setWindowTitle(sent ? title_
                            : title_ + QStringLiteral(" — ") + QString::fromUtf8(SendFailedText) +
                                  QStringLiteral(" ") + file);
    };
}

void TFormSound::SetFilesWindow(TFilesWindowLink link) {
    files_ = std::move(link);
    if (files_.SetLabelText)
        for (int n = 1; n <= TMessageSlots::Count; ++n)
            files_.SetLabelText(n, labels_[size_t(n - 1)]);
}

void TFormSound::Guard(const std::function<void()>& handler) {
    Guarded(errors_, handler);
}

// ---------------------------------------------------------------------------
// Handlers

void TFormSound::FormShow() {
    // A failed load leaves everything as laid out and the port closed; the
    // error goes to the default report.
    LoadStationSettings(ini_, *this);
    settingsLoaded_ = true;

    groupBox1_->hide();
    SetOuterWidth(NarrowWidth);

    const QString text = comboBox1_->currentText();
    if (text.isEmpty()) {
        port_.SetPortNum(0);
    } else {
        for (int n = 1; n <= 4; ++n)
            if (text == QStringLiteral("COM%1").arg(n))
                port_.SetPortNum(n);
    }
    if (port_.PortNum() != 0) {
        SetRadiosEnabled(true);
        try {
            port_.Close();
        } catch (...) {
            // Nothing is open at start-up; a failure here says nothing.
        }
        OpenWithIdleLevel();
    } else {
        SetRadiosEnabled(false);
    }
}

void TFormSound::FormClose() {
    try {
        // A close during a transmission (a signal in the key-up delay)
        // unkeys first: with an Inverted PTT the closed port keeps the
        // level it had.
        keyer_.TXOff();
    } catch (...) {
        // The port is closed next anyway.
    }
    try {
        port_.Close();
    } catch (...) {
        // The program ends anyway; the settings are still saved.
    }
    // Settings that were never loaded in this run (the window was never
    // shown, or the load failed) must not be replaced by laid-out values.
    if (settingsLoaded_)
        SaveStationSettings(ini_, *this);
}

void TFormSound::BtnEW2Click() {
    if (!groupBox1_->isHidden()) {
        groupBox1_->hide();
        SetOuterWidth(NarrowWidth);
    } else {
        groupBox1_->show();
        SetOuterWidth(WideWidth);
    }
}

void TFormSound::MakeNarrow() {
    groupBox1_->hide();
    SetOuterWidth(NarrowWidth);
}

void TFormSound::BitBtn1Click() {
    if (files_.Dialog)
        files_.Dialog->exec();
}

void TFormSound::ComboBox1Change() {
    port_.Close();
    const QString text = comboBox1_->currentText();
    if (text.isEmpty()) {
        SetRadiosEnabled(false);
        return;
    }
    SetRadiosEnabled(true);
    for (int n = 1; n <= 4; ++n)
        if (text == QStringLiteral("COM%1").arg(n))
            port_.SetPortNum(n);
    OpenWithIdleLevel();
}

void TFormSound::PortTextEdited() {
    lastPortText_ = comboBox1_->currentText();
    Guard([this] { ComboBox1Change(); });
}

void TFormSound::PortItemPicked() {
    // Picking the item that is already the text changes nothing.
    const QString text = comboBox1_->currentText();
    if (text == lastPortText_)
        return;
    lastPortText_ = text;
    Guard([this] { ComboBox1Change(); });
}

void TFormSound::FollowPolarity() {
    // Linux drops both lines when the port closes or the program ends:
    // unkeyed for a Normal PTT, which is what unkeys after a crash, but
    // keyed for an Inverted one, whose lines must then keep their level.
    port_.SetHangUpOnClose(!keyer_.rbInv.Checked());
}

void TFormSound::OpenWithIdleLevel() {
    try {
        FollowPolarity();
        port_.Open();
        // The idle levels are the unkey levels.
        keyer_.TXOff();
    } catch (...) {
        boxes_.ShowMessage(title_, QString::fromUtf8(PortBusyText));
    }
}

void TFormSound::SetRadiosEnabled(bool enabled) {
    keyer_.rbRTS.SetEnabled(enabled);
    keyer_.rbDTR.SetEnabled(enabled);
    keyer_.rbNorm.SetEnabled(enabled);
    keyer_.rbInv.SetEnabled(enabled);
}

// ---------------------------------------------------------------------------
// Width

void TFormSound::SetOuterWidth(int width) {
    outerWidth_ = width;
    ApplyWidth();
}

void TFormSound::ApplyWidth() {
    if (outerWidth_ == 0)
        return;
    // The frame is the window manager's; it is known once the window is on
    // the screen (and stays 0 without a window manager).
    const int frame = testAttribute(Qt::WA_WState_Created) && isVisible()
                          ? std::max(0, frameGeometry().width() - geometry().width())
                          : 0;
    const int client = std::max(1, outerWidth_ - frame);
    if (client != width() || minimumWidth() != client) {
        setFixedSize(client, ClientHeight);
        // Qt's resize of a native window that is not on the screen yet
        // asks again for the client area's corner (QWindow::resize), which
        // would undo the frame's placement.
        if (windowHandle() && !windowHandle()->isVisible())
            PlaceFrame();
    }
}

// ---------------------------------------------------------------------------
// Settings homes

void TFormSound::SetLeft(int value) {
    if (!requestedPos_)
        requestedPos_ = pos();
    requestedPos_->setX(value);
    PlaceFrame();
}

void TFormSound::SetTop(int value) {
    if (!requestedPos_)
        requestedPos_ = pos();
    requestedPos_->setY(value);
    PlaceFrame();
}

QPoint TFormSound::FrameTarget() const {
    std::vector<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.push_back(screen->availableGeometry());
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QSize frame = frameGeometry().size().expandedTo(size().grownBy(kUnknownFrameAllowance));
    // The request is kept as asked, and placed whole each time: a left
    // edge on no screen may be on one with the top edge that comes next.
    return PlaceWindowFrame(requestedPos_->x(), requestedPos_->y(), frame, screens,
                            primary ? primary->availableGeometry() : QRect());
}

void TFormSound::PlaceFrame() {
    if (!requestedPos_)
        return;
    const QPoint corner = FrameTarget();
    // pos() is the frame's corner, and so is what is saved. move() puts
    // the frame's corner there only while Qt knows the frame: before the
    // native window exists (Qt then asks the window manager for the
    // frame's corner) or once the window manager has framed it. In between,
    // which is when the settings are loaded, it places the client area's
    // corner and the frame is added above and left of it: the saved place
    // would move by the frame at every start. The native window's frame
    // position is the frame's corner whenever the frame comes.
    move(corner);
    if (QWindow* window = windowHandle())
        window->setFramePosition(corner);
}

std::string TFormSound::PortText() const {
    return QFile::encodeName(comboBox1_->currentText()).toStdString();
}

void TFormSound::SetPortText(const std::string& value) {
    // Setting the text from the program is not the operator's change.
    comboBox1_->setEditText(QFile::decodeName(QByteArray::fromStdString(value)));
    lastPortText_ = comboBox1_->currentText();
}

std::string TFormSound::LabelText(int n) const {
    const QString text = files_.LabelText ? files_.LabelText(n) : labels_.at(size_t(n - 1));
    return text.toUtf8().toStdString();
}

void TFormSound::SetLabelText(int n, const std::string& value) {
    labels_.at(size_t(n - 1)) = Utf8(value);
    if (files_.SetLabelText)
        files_.SetLabelText(n, Utf8(value));
}

void TFormSound::SetPlayCaption(int n, const std::string& value) {
    keyer_.PlayButton(n).SetCaption(value);
}

// ---------------------------------------------------------------------------
// Events

bool TFormSound::eventFilter(QObject* watched, QEvent* event) {
    // Key preview: the key's first stop in this window is the focused
    // control (or the window itself); the keyer sees it there, before the
    // control, and the key goes on unconsumed. While the gate holds, the
    // key waits and comes back here afterwards.
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->window() != this)
        return false;
    QWidget* target = focusWidget() ? focusWidget() : this;
    if (widget != target)
        return false;
    if (gate_ && gate_->Holding())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const std::uint16_t vk = VirtualKeyFromQt(key->key());
    const TShiftState shift = ShiftStateFromQt(key->modifiers());
    if (vk != 0)
        Guard([this, vk, shift] { FormKeyDown(vk, shift); });
    return false;
}

void TFormSound::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_)
        return;
    shown_ = true;
    Guard([this] { FormShow(); });
}

void TFormSound::closeEvent(QCloseEvent* event) {
    Guard([this] { FormClose(); });
    // The window's timers go with it: nothing may key or play after close.
    keyer_.Timer1->SetEnabled(false);
    keyer_.Timer2->SetEnabled(false);
    event->accept();
}

void TFormSound::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // The window manager's frame arrives after the window is mapped.
    ApplyWidth();
    CorrectFirstPlacement();
}

void TFormSound::CorrectFirstPlacement() {
    // A window manager may map the window before it has taken the position
    // asked for (now and then openbox put it at the screen's corner, or
    // the client area where the frame was asked). Once it has framed the
    // window Qt knows the frame, and move() puts the frame's corner where
    // asked: checked once, at the first move that shows a frame, so that
    // the operator's own moves are never undone.
    if (placed_ || !requestedPos_ || !isVisible())
        return;
    if (frameGeometry().size() == geometry().size())
        return;  // not framed yet, or no window manager
    placed_ = true;
    const QPoint corner = FrameTarget();
    if (pos() != corner)
        move(corner);
}

}  // namespace ziv
