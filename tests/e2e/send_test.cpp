// One message sent with F1 and Ctrl+Enter by the real program, seen on the
// serial double's line log and on the sound server's output together.
#include <gtest/gtest.h>

#include "e2e/checks.h"

namespace ziv::e2e {
namespace {

struct TSendCase {
    const char* name;
    TPtt ptt;
};

class SendTest : public ::testing::TestWithParam<TSendCase> {};

TEST_P(SendTest, KeysPlaysTheWholeMessageAndUnkeys) {
    const TPtt ptt = GetParam().ptt;
    const TMarkedMessage message{.rate = 48000, .channels = 1, .bodySeconds = 0.4};
    TEndToEnd run;
    TStation* station = run.StationOnCom1(ptt, {message});
    ASSERT_TRUE(station && run.Launch(*station)) << run.Error();
    const std::string& device = run.Device();

    station->Send("F1");
    ASSERT_TRUE(run.WaitForTransmissions(device, ptt, 1, 5000)) << station->Stderr();
    EXPECT_EQ(station->Terminate(), 0) << station->Stderr();

    const std::vector<TLineEvent> events = run.Lines();
    const std::vector<TKeyedSpan> sent = Transmissions(events, device, ptt);
    // Nothing else was keyed by the program (what the device does at the
    // last close is another matter: it drops both lines).
    ASSERT_EQ(sent.size(), 1u);
    ExpectWholeSend(sent[0], run.Sounds(), message, -1.0, "the send");
    ExpectQuietLines(events, device, ptt);
}

INSTANTIATE_TEST_SUITE_P(Lines, SendTest,
                         ::testing::Values(TSendCase{"RtsNormal", {TPttLine::Rts, false}},
                                           TSendCase{"RtsInverted", {TPttLine::Rts, true}},
                                           TSendCase{"DtrNormal", {TPttLine::Dtr, false}},
                                           TSendCase{"DtrInverted", {TPttLine::Dtr, true}}),
                         [](const auto& info) { return std::string(info.param.name); });

// Files in other encodings play whole and at their own rate; the server
// resamples them to the sink's 48 kHz, which smears their edges a little.
TEST(SendFormats, EightKilohertzStereoAndFloatMessagesPlayWhole) {
    const TPtt ptt{TPttLine::Rts, false};
    const std::vector<TMarkedMessage> messages = {
        {.rate = 8000, .channels = 1, .bodySeconds = 0.3},
        {.rate = 44100, .channels = 2, .bodySeconds = 0.3},
        {.rate = 48000, .channels = 1, .floatSamples = true, .bodySeconds = 0.3},
    };
    TEndToEnd run;
    TStation* station = run.StationOnCom1(ptt, messages);
    ASSERT_TRUE(station && run.Launch(*station)) << run.Error();
    const std::string& device = run.Device();

    const char* keys[] = {"F1", "F2", "F3"};
    for (std::size_t n = 0; n < 3; ++n) {
        station->Send(keys[n]);
        ASSERT_TRUE(run.WaitForTransmissions(device, ptt, n + 1, 5000)) << station->Stderr();
    }
    EXPECT_EQ(station->Terminate(), 0) << station->Stderr();

    const std::vector<TKeyedSpan> sent = Transmissions(run.Lines(), device, ptt);
    ASSERT_EQ(sent.size(), 3u);
    const std::vector<THeardSound> sounds = run.Sounds();
    ExpectWholeSend(sent[0], sounds, messages[0], -3.0, "8 kHz mono");
    ExpectWholeSend(sent[1], sounds, messages[1], -3.0, "44.1 kHz stereo");
    ExpectWholeSend(sent[2], sounds, messages[2], -1.0, "32-bit float");
}

}  // namespace
}  // namespace ziv::e2e
