#include "rig/rigctld_client.h"

#include <utility>

namespace ziv::rig {

TRigctldClient::TRigctldClient(std::unique_ptr<ITcpLink> link, std::string host, int port,
                               std::chrono::milliseconds timeout)
    : link_(std::move(link)), host_(std::move(host)), port_(port), timeout_(timeout) {}

TRigctldClient::~TRigctldClient() {
    std::string ignored;
    if (link_->Connected())
        Release(&ignored);
}

std::string TRigctldClient::Where() const {
    return "rigctld " + host_ + ":" + std::to_string(port_);
}

bool TRigctldClient::Connect(std::string* error) {
    if (link_->Connected())
        return true;
    for (int attempt = 1;; ++attempt) {
        std::string why;
        if (!link_->Connect(host_, port_, Clock::now() + timeout_, &why)) {
            *error = Where() + ": " + why;
            return false;
        }
        // Whatever a client before this one left keyed is unkeyed first.
        // rigctld now and then resets a connection it has just accepted
        // (2 in 100 seen): that one is tried once more.
        if (Unkey(error) || attempt == 2 || !dropped_)
            return link_->Connected();
    }
}

bool TRigctldClient::Unkey(std::string* error) {
    return Command("T 0", "set_ptt", error);
}

bool TRigctldClient::SetPtt(bool on, std::string* error) {
    if (!Connect(error))
        return false;
    bool now = false;
    const bool read = Command(on ? "T 1" : "T 0", "set_ptt", error) && ReadPtt(&now, error);
    if (read && now == on)
        return true;
    if (read)
        *error = Where() + ": the radio says PTT " + (now ? "1" : "0") + " after " +
                 (on ? "T 1" : "T 0");
    // A key that went out and failed may have keyed the radio all the same.
    std::string ignored;
    if (on)
        Release(&ignored);
    link_->Close();
    return false;
}

bool TRigctldClient::ReadPtt(bool* on, std::string* error) {
    std::string value;
    if (!link_->Connected()) {
        *error = Where() + ": not connected";
        return false;
    }
    if (!Command("t", "get_ptt", error, "PTT", &value))
        return false;
    // Hamlib tells the kinds of transmitting apart (1 mic, 2 data, 3 ...).
    *on = value != "0";
    return true;
}

bool TRigctldClient::Release(std::string* error) {
    const bool standing = link_->Connected();
    bool unkeyed = standing && Unkey(error);
    // A connection that failed may have left the radio keyed: a new one
    // unkeys it as it starts.
    if (!unkeyed)
        unkeyed = Connect(error);
    link_->Close();
    return unkeyed;
}

bool TRigctldClient::Command(const std::string& command, const std::string& name,
                             std::string* error, const std::string& field, std::string* value) {
    const auto deadline = Clock::now() + timeout_;
    std::string why, line;
    bool named = false;
    dropped_ = false;
    if (!link_->Send("+" + command + "\n", deadline, &why)) {
        *error = Where() + ": " + command + ": " + why;
        dropped_ = true;
        link_->Close();
        return false;
    }
    while (link_->ReadLine(line, deadline, &why)) {
        if (line.rfind("RPRT ", 0) == 0) {
            if (line == "RPRT 0" && (value == nullptr || !value->empty()))
                return true;
            *error =
                Where() + ": " + command + ": " +
                (line == "RPRT 0" ? "no " + field + " in the answer" : "refused (" + line + ")");
            link_->Close();
            return false;
        }
        // The answer opens with the command's long name: anything else is
        // some other server on that port.
        if (!named && line.rfind(name + ":", 0) != 0) {
            *error = Where() + ": not a rigctld answer (\"" + line.substr(0, 40) + "\")";
            link_->Close();
            return false;
        }
        named = true;
        if (value != nullptr && line.rfind(field + ": ", 0) == 0)
            *value = line.substr(field.size() + 2);
    }
    *error = Where() + ": " + command + ": " + why;
    dropped_ = why != kNoAnswer;
    link_->Close();
    return false;
}

}  // namespace ziv::rig
