#include "core/controls.h"

#include <algorithm>

namespace ziv {

void TControl::SetEnabled(bool value) {
    if (value == enabled_)
        return;
    enabled_ = value;
    Changed();
}

void TControl::SetVisible(bool value) {
    if (value == visible_)
        return;
    visible_ = value;
    Changed();
}

void TToggleButton::SetDown(bool value) {
    if (value == down_)
        return;
    down_ = value;
    if (value) {
        for (TToggleButton* other : group_.Members())
            if (other != this)
                other->SetDown(false);
    }
    Changed();
}

void TToggleButton::SetCaption(std::string caption) {
    if (caption == caption_)
        return;
    caption_ = std::move(caption);
    Changed();
}

void TToggleButton::Click() {
    if (!Usable())
        return;
    if (!down_)
        SetDown(true);
    else if (allowAllUp_)
        SetDown(false);
    if (OnClick)
        OnClick();
}

void TPushButton::Click() {
    if (!Usable())
        return;
    if (OnClick)
        OnClick();
}

void TRadioButton::SetChecked(bool value) {
    if (value == checked_)
        return;
    checked_ = value;
    if (value) {
        for (TRadioButton* other : group_.Members())
            if (other != this)
                other->SetChecked(false);
    }
    Changed();
}

void TTrackBar::SetPosition(int value) {
    const int clamped = std::clamp(value, min_, max_);
    if (clamped == position_)
        return;
    position_ = clamped;
    Changed();
}

void TTrackBar::MouseUp() {
    if (!Usable())
        return;
    if (OnMouseUp)
        OnMouseUp();
}

}  // namespace ziv
