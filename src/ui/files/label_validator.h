#pragma once

#include <QValidator>

namespace ziv {

// Whether a label may hold the character: the settings file stores labels
// in Windows-1257, so the code page must hold it, and it must not be a
// control character, since a line break inside a label would split its
// entry in the settings file.
bool LabelCanHold(char16_t ch);

// Accepts only label texts that the settings file stores unchanged, so a
// label typed here comes back the same at the next start.
class TLabelValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override;
};

}  // namespace ziv
