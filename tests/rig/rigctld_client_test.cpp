#include "rig/rigctld_client.h"
#include "rig/cat_ptt.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ziv::rig {
namespace {

// A server that answers each command line with the scripted lines, or
// stays silent ("" as the answer); records what it was sent.
class TScriptedLink final : public ITcpLink {
public:
    std::deque<std::pair<std::string, std::vector<std::string>>> script;
    std::vector<std::string> sent;
    int connects = 0;
    bool refuse = false;

    bool Connect(const std::string&, int, Clock::time_point, std::string* error) override {
        ++connects;
        open_ = !refuse;
        if (refuse)
            *error = "Connection refused";
        return open_;
    }
    bool Send(const std::string& text, Clock::time_point, std::string*) override {
        sent.push_back(text);
        EXPECT_FALSE(script.empty()) << "unexpected " << text;
        if (!script.empty()) {
            EXPECT_EQ(script.front().first, text);
            answer_ = script.front().second;
            script.pop_front();
        }
        return true;
    }
    bool ReadLine(std::string& line, Clock::time_point, std::string* error) override {
        if (answer_.empty() || answer_.front().empty()) {
            *error = "no answer in time";
            return false;
        }
        line = answer_.front();
        answer_.erase(answer_.begin());
        return true;
    }
    bool Connected() const override { return open_; }
    void Close() override { open_ = false; }

private:
    bool open_ = false;
    std::vector<std::string> answer_;
};

const std::vector<std::string> kSet0{"set_ptt: 0", "RPRT 0"}, kSet1{"set_ptt: 1", "RPRT 0"};
std::vector<std::string> Ptt(const char* value) {
    return {"get_ptt:", std::string("PTT: ") + value, "RPRT 0"};
}

TEST(RigctldClient, UnkeysOnConnectingKeysWithReadBackAndUnkeysOnRelease) {
    auto link = std::make_unique<TScriptedLink>();
    TScriptedLink& server = *link;
    server.script = {{"+T 0\n", kSet0}, {"+T 1\n", kSet1},  {"+t\n", Ptt("1")},
                     {"+T 0\n", kSet0}, {"+t\n", Ptt("0")}, {"+T 0\n", kSet0}};
    TRigctldClient client(std::move(link), "127.0.0.1", 4532);
    std::string error;
    EXPECT_TRUE(client.SetPtt(true, &error)) << error;
    EXPECT_TRUE(client.SetPtt(false, &error)) << error;
    EXPECT_TRUE(client.Release(&error)) << error;
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(server.connects, 1);
    EXPECT_TRUE(server.script.empty());
}

// Every way a key can fail says why, drops the connection and is never
// taken for a key.
TEST(RigctldClient, RefusedStalledForeignOrUnconfirmedKeysFail) {
    const struct {
        std::vector<std::string> keyAnswer, readBack;
        const char* reason;
    } cases[] = {
        {{"set_ptt: 1", "RPRT -1"}, {}, "T 1: refused (RPRT -1)"},
        {{""}, {}, "T 1: no answer in time"},
        {{"HTTP/1.1 400 Bad Request"}, {}, "not a rigctld answer (\"HTTP/1.1 400 Bad Request\")"},
        {kSet1, Ptt("0"), "the radio says PTT 0 after T 1"},
        {kSet1, {"get_ptt:", "RPRT 0"}, "t: no PTT in the answer"},
    };
    for (const auto& c : cases) {
        auto link = std::make_unique<TScriptedLink>();
        TScriptedLink& server = *link;
        server.script = {{"+T 0\n", kSet0}, {"+T 1\n", c.keyAnswer}};
        if (!c.readBack.empty())
            server.script.push_back({"+t\n", c.readBack});
        // The key may have gone through: unkeyed at once on a new connection.
        server.script.push_back({"+T 0\n", kSet0});
        TRigctldClient client(std::move(link), "radio", 4532);
        std::string error;
        EXPECT_FALSE(client.SetPtt(true, &error));
        EXPECT_EQ(error, std::string("rigctld radio:4532: ") + c.reason);
        EXPECT_FALSE(client.Connected()) << c.reason;
        EXPECT_TRUE(server.script.empty()) << c.reason;
    }
    auto link = std::make_unique<TScriptedLink>();
    link->refuse = true;
    TRigctldClient client(std::move(link), "radio", 4532);
    std::string error;
    EXPECT_FALSE(client.SetPtt(true, &error));
    EXPECT_EQ(error, "rigctld radio:4532: Connection refused");
}

// Keyed, the radio's PTT is read back every quarter second: a server that
// stops answering is told at once, and the unkey goes out on a new
// connection.
TEST(CatPtt, AServerLostWhileKeyedIsToldAndTheUnkeyReconnects) {
    struct TInlineRunner final : TBlockingRunner {
        void RunBlocking(const std::function<void()>& job) override { job(); }
    } runner;
    auto link = std::make_unique<TScriptedLink>();
    TScriptedLink& server = *link;
    server.script = {{"+T 0\n", kSet0},
                     {"+T 1\n", kSet1},
                     {"+t\n", Ptt("1")},
                     {"+t\n", Ptt("1")},
                     {"+t\n", {""}}};
    TCatPtt cat(runner, std::move(link), "radio", 4532);
    std::atomic<bool> lost = false;
    std::string why;
    cat.SetOnLost([&](const std::string& w) {
        why = w;
        lost = true;
    });
    std::string error;
    EXPECT_TRUE(cat.Switch(true, &error)) << error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!lost && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(lost);
    EXPECT_EQ(why, "rigctld radio:4532: t: no answer in time");
    server.script = {{"+T 0\n", kSet0}, {"+T 0\n", kSet0}, {"+t\n", Ptt("0")}};
    EXPECT_TRUE(cat.Switch(false, &error)) << error;
    EXPECT_EQ(server.connects, 2);
    server.script = {{"+T 0\n", kSet0}};
}

}  // namespace
}  // namespace ziv::rig
