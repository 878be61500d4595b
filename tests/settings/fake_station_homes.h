#pragma once

#include <string>
#include <tuple>

#include "settings/station_homes.h"

namespace ziv::test {

// The window's homes as plain values, the radio pairs behaving as the
// window's do, so that a load applies the checks in the same order. The
// starting values are the window definition's (RTS and Normal checked);
// the rest are marked so that a home a load never set shows.
class FakeStationHomes : public TStationHomes {
public:
    int left = -1, top = -1;
    std::string port = "unset";
    std::string paths[3] = {"unset", "unset", "unset"};
    std::string labels[3] = {"unset", "unset", "unset"};
    std::string captions[3] = {"unset", "unset", "unset"};
    bool rts = true, dtr = false, norm = true, inv = false;

    // Everything a save stores.
    auto Stored() const {
        return std::tie(left, top, port, paths[0], paths[1], paths[2], labels[0], labels[1],
                        labels[2], rts, dtr, norm, inv);
    }

    int Left() const override { return left; }
    void SetLeft(int value) override { left = value; }
    int Top() const override { return top; }
    void SetTop(int value) override { top = value; }
    std::string PortText() const override { return port; }
    void SetPortText(const std::string& value) override { port = value; }
    std::string SlotPath(int n) const override { return paths[n - 1]; }
    void SetSlotPath(int n, const std::string& value) override { paths[n - 1] = value; }
    std::string LabelText(int n) const override { return labels[n - 1]; }
    void SetLabelText(int n, const std::string& value) override { labels[n - 1] = value; }
    void SetPlayCaption(int n, const std::string& value) override { captions[n - 1] = value; }
    bool RTSChecked() const override { return rts; }
    void SetRTSChecked(bool value) override { Check(rts, dtr, value); }
    bool DTRChecked() const override { return dtr; }
    void SetDTRChecked(bool value) override { Check(dtr, rts, value); }
    bool NormChecked() const override { return norm; }
    void SetNormChecked(bool value) override { Check(norm, inv, value); }
    bool InvChecked() const override { return inv; }
    void SetInvChecked(bool value) override { Check(inv, norm, value); }

private:
    static void Check(bool& self, bool& partner, bool value) {
        self = value;
        partner = partner && !value;
    }
};

}  // namespace ziv::test
