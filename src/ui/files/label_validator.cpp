#include "ui/files/label_validator.h"

#include "settings/cp1257.h"

namespace ziv {

bool LabelCanHold(char16_t ch) {
    if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0))
        return false;
    return IsCp1257Representable(static_cast<char32_t>(ch));
}

QValidator::State TLabelValidator::validate(QString& input, int& /*pos*/) const {
    for (QChar ch : input)
        if (!LabelCanHold(ch.unicode()))
            return Invalid;
    return Acceptable;
}

}  // namespace ziv
