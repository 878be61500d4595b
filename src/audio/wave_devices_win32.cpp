#include "audio/wave_devices_win32.h"

#include "base/windows_api.h"
// Needs windows.h first; not part of it under WIN32_LEAN_AND_MEAN.
#include <mmsystem.h>

namespace ziv::win32 {
namespace {

std::string Utf8(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1)
        return {};
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), length, nullptr, nullptr);
    out.resize(static_cast<size_t>(length - 1));
    return out;
}

template <typename Caps, typename GetCaps>
std::vector<std::string> Names(unsigned count, GetCaps getCaps) {
    std::vector<std::string> names;
    for (unsigned id = 0; id < count; ++id) {
        Caps caps{};
        // A device that does not answer keeps its place, nameless: the
        // numbers of the others must stay right.
        names.push_back(getCaps(id, &caps, sizeof caps) == MMSYSERR_NOERROR ? Utf8(caps.szPname)
                                                                            : std::string());
    }
    return names;
}

std::optional<unsigned> Find(const std::vector<std::string>& names, const std::string& name) {
    for (size_t id = 0; id < names.size(); ++id)
        if (!name.empty() && names[id] == name)
            return static_cast<unsigned>(id);
    return std::nullopt;
}

}  // namespace

std::vector<std::string> WaveOutNames() {
    return Names<WAVEOUTCAPSW>(waveOutGetNumDevs(), [](unsigned id, WAVEOUTCAPSW* caps, UINT size) {
        return waveOutGetDevCapsW(id, caps, size);
    });
}

std::vector<std::string> WaveInNames() {
    return Names<WAVEINCAPSW>(waveInGetNumDevs(), [](unsigned id, WAVEINCAPSW* caps, UINT size) {
        return waveInGetDevCapsW(id, caps, size);
    });
}

std::optional<unsigned> WaveOutId(const std::string& name) {
    return Find(WaveOutNames(), name);
}

std::optional<unsigned> WaveInId(const std::string& name) {
    return Find(WaveInNames(), name);
}

}  // namespace ziv::win32
