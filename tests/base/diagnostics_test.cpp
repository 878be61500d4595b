#include "base/diagnostics.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace ziv {
namespace {

class TRecordingReport : public TErrorReport {
public:
    void ReportException(const std::exception& error) override {
        if (fail)
            throw std::bad_alloc();
        messages.emplace_back(error.what());
    }
    std::vector<std::string> messages;
    bool fail = false;
};

// What an entry point's catch block does with whatever was thrown.
template <typename Throw>
void Catch(TErrorReport* report, Throw thrower) {
    try {
        thrower();
    } catch (...) {
        ReportCurrentException(report);
    }
}

TEST(Diagnostics, EveryThrowEndsInTheReportOrOneLineOnStandardError) {
    TRecordingReport report;
    Catch(&report, [] { throw std::runtime_error("Prievadas užimtas"); });
    Catch(&report, [] { throw 42; });
    EXPECT_EQ(report.messages, (std::vector<std::string>{"Prievadas užimtas", "Unknown error"}));

    testing::internal::CaptureStderr();
    Catch(nullptr, [] { throw std::runtime_error("no report"); });
    report.fail = true;
    Catch(&report, [] { throw std::runtime_error("lost"); });
    WriteDiagnostic("cannot play x.wav: gone");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ZIVSound: no report\n"
              "ZIVSound: an error could not be reported\n"
              "ZIVSound: cannot play x.wav: gone\n");
}

}  // namespace
}  // namespace ziv
