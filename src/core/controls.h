#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ziv {

// Toolkit-free models of the main window's controls. The keyer reads and
// writes these as its state; the Qt window binds each one to a widget
// through OnChange (model -> widget) and by calling Click/MouseUp
// (widget -> model). None of the keying logic lives in the widgets.
class TControl {
public:
    virtual ~TControl() = default;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    bool Visible() const { return visible_; }
    void SetVisible(bool value);

    // Raised after any displayed property changed.
    std::function<void()> OnChange;

protected:
    void Changed() const {
        if (OnChange)
            OnChange();
    }
    bool Usable() const { return enabled_ && visible_; }

private:
    bool enabled_ = true;
    bool visible_ = true;
};

class TToggleButton;

// Toggle buttons that share a GroupIndex: pressing one raises the others.
class TToggleGroup {
public:
    void Add(TToggleButton& button) { members_.push_back(&button); }
    const std::vector<TToggleButton*>& Members() const { return members_; }

private:
    std::vector<TToggleButton*> members_;
};

// A toggle button (a speed button with a group index).
class TToggleButton : public TControl {
public:
    TToggleButton(TToggleGroup& group, bool allowAllUp) : group_(group), allowAllUp_(allowAllUp) {
        group.Add(*this);
    }

    bool AllowAllUp() const { return allowAllUp_; }
    bool Down() const { return down_; }
    // Setting Down from the program raises no click. Setting it true raises
    // every other button of the group; setting the present value does nothing.
    void SetDown(bool value);

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);

    std::function<void()> OnClick;
    // A mouse click: flips Down (a pressed button stays down unless all may
    // be up), then raises the click. Ignored while disabled or hidden.
    void Click();

private:
    TToggleGroup& group_;
    bool allowAllUp_;
    bool down_ = false;
    std::string caption_;
};

class TPushButton : public TControl {
public:
    std::function<void()> OnClick;
    // A mouse click; ignored while disabled or hidden.
    void Click();
};

class TRadioButton;

// Radio buttons with one parent form one group: checking one clears the others.
class TRadioGroup {
public:
    void Add(TRadioButton& button) { members_.push_back(&button); }
    const std::vector<TRadioButton*>& Members() const { return members_; }

private:
    std::vector<TRadioButton*> members_;
};

class TRadioButton : public TControl {
public:
    explicit TRadioButton(TRadioGroup& group) : group_(group) { group.Add(*this); }

    bool Checked() const { return checked_; }
    // Checking clears the other buttons of the group; unchecking changes
    // nothing else.
    void SetChecked(bool value);

private:
    TRadioGroup& group_;
    bool checked_ = false;
};

// The vertical pause track bar.
class TTrackBar : public TControl {
public:
    TTrackBar(int minValue, int maxValue) : min_(minValue), max_(maxValue) {}

    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    int Position() const { return position_; }
    // Clamps into MinValue..MaxValue; repaints only on a change of the stored value.
    void SetPosition(int value);

    // Release of a mouse button on the track bar.
    std::function<void()> OnMouseUp;
    void MouseUp();

private:
    int min_;
    int max_;
    int position_ = 0;
};

// A panel that can take the keyboard focus.
class TPanel : public TControl {
public:
    std::function<void()> OnSetFocus;
    void SetFocus() {
        if (OnSetFocus)
            OnSetFocus();
    }
};

}  // namespace ziv
