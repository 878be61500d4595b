#pragma once

#include <QAbstractSlider>
#include <QRadioButton>
#include <QToolButton>
#include <functional>

namespace ziv {

// A button whose pressed state is shown, never decided, by the widget:
// a click only reports itself, and the control model sets the state.
// Used for the toggle buttons, whose Down follows the keyer's models.
class TModelToolButton : public QToolButton {
public:
    using QToolButton::QToolButton;

protected:
    void nextCheckState() override {}
};

// A radio button that does not check itself on a click; the radio group
// model does, so that both groups follow the models exactly (and "neither
// checked", which the settings can give, can be shown).
class TModelRadioButton : public QRadioButton {
public:
    explicit TModelRadioButton(const QString& text, QWidget* parent = nullptr)
        : QRadioButton(text, parent) {
        setAutoExclusive(false);
    }

protected:
    void nextCheckState() override {}
};

// The vertical pause track bar: the maximum at the top, tick marks on the
// left every TickGap positions, an aqua channel, and a pointer thumb.
// A press on the thumb drags it; a press elsewhere in the channel moves it
// one page toward the pointer. Every mouse release calls OnMouseUp after
// the position has been updated.
class TTrackBarWidget : public QAbstractSlider {
public:
    static constexpr int Margin = 2;
    static constexpr int TickGap = 5;

    explicit TTrackBarWidget(QWidget* parent = nullptr);

    std::function<void()> OnMouseUp;

    // Vertical centre of the thumb for a value, in widget pixels.
    int YForValue(int value) const;
    int ValueForY(int y) const;
    QRect ThumbRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int Top() const;
    int Bottom() const;
    bool dragging_ = false;
    int dragOffset_ = 0;
};

}  // namespace ziv
