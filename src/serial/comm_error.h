#pragma once

#include <stdexcept>
#include <string>

namespace ziv {

// Every failure of the serial port component is reported with this.
class EVaCommError : public std::runtime_error {
public:
    explicit EVaCommError(const std::string& message) : std::runtime_error(message) {}
};

// Trailing characters of code 32 or below and trailing full stops go, so
// "Access is denied.\r\n" reads "Access is denied" after the code.
std::string TrimPlatformErrorText(std::string text);

// Fills a message pattern of the component: the first "%d" takes the code
// as signed decimal, the first "%s" the text. Other characters stay.
std::string FormatCommMessage(const std::string& pattern, int code, const std::string& text = {});

}  // namespace ziv
