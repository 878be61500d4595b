#include "audio/wav_file_win32.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/windows_api.h"
// Needs windows.h first; not part of it under WIN32_LEAN_AND_MEAN.
#include <mmsystem.h>

namespace ziv::win32 {

std::string WithoutFullStop(std::string text) {
    while (!text.empty() &&
           (text.back() == '.' || text.back() == ' ' || text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

namespace {

// Closes a file handle when leaving the scope.
class THandleCloser {
public:
    explicit THandleCloser(HANDLE handle) : handle_(handle) {}
    ~THandleCloser() { CloseHandle(handle_); }
    THandleCloser(const THandleCloser&) = delete;
    THandleCloser& operator=(const THandleCloser&) = delete;

private:
    HANDLE handle_;
};

// Reads the whole file: only regular files, so that a device name (COM1,
// NUL, a pipe) given as a sound is refused rather than read.
bool ReadWholeFile(const std::string& path, std::vector<char>& bytes, std::string* error) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        *error = "it is a folder";
        return false;
    }
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        *error = SystemErrorText(GetLastError());
        return false;
    }
    const THandleCloser closer(file);
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) {
        *error = "not a regular file";
        return false;
    }
    if (static_cast<unsigned long long>(size.QuadPart) > kMaxWaveFileBytes) {
        *error = "too long for a voice message (over " + std::to_string(kMaxWaveFileBytes >> 20) +
                 " MiB)";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        const auto want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        if (!ReadFile(file, bytes.data() + done, want, &read, nullptr)) {
            *error = SystemErrorText(GetLastError());
            return false;
        }
        if (read == 0)
            break;  // shortened meanwhile: parse what is there
        done += read;
    }
    bytes.resize(done);
    return true;
}

// Closes an mmio handle when leaving the scope.
class TMmioCloser {
public:
    explicit TMmioCloser(HMMIO mmio) : mmio_(mmio) {}
    ~TMmioCloser() { mmioClose(mmio_, 0); }
    TMmioCloser(const TMmioCloser&) = delete;
    TMmioCloser& operator=(const TMmioCloser&) = delete;

private:
    HMMIO mmio_;
};

bool ReadFormat(HMMIO mmio, MMCKINFO& riff, TWaveFile& wave, std::string* error) {
    MMCKINFO chunk{};
    chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    if (mmioDescend(mmio, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
        *error = "not a sound file (no fmt chunk)";
        return false;
    }
    // Formats need at most a few dozen extra bytes; more is no WAV we know.
    const LONG size = static_cast<LONG>(std::min<DWORD>(chunk.cksize, 4096));
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    if (size < static_cast<LONG>(sizeof(PCMWAVEFORMAT)) ||
        mmioRead(mmio, reinterpret_cast<HPSTR>(bytes.data()), size) != size) {
        *error = "not a sound file (its fmt chunk is damaged)";
        return false;
    }
    wave.format.assign(std::max(bytes.size(), sizeof(WAVEFORMATEX)), 0);
    std::memcpy(wave.format.data(), bytes.data(), bytes.size());
    WAVEFORMATEX header{};
    std::memcpy(&header, wave.format.data(), sizeof header);
    // A 16-byte fmt chunk has no cbSize; a longer one may claim more than it holds.
    header.cbSize = static_cast<WORD>(
        std::min<std::size_t>(bytes.size() >= sizeof(WAVEFORMATEX) ? header.cbSize : 0,
                              wave.format.size() - sizeof(WAVEFORMATEX)));
    std::memcpy(wave.format.data(), &header, sizeof header);
    wave.format.resize(sizeof(WAVEFORMATEX) + header.cbSize);
    if (header.nChannels == 0 || header.nSamplesPerSec == 0 || header.nBlockAlign == 0) {
        *error = "not a sound file (its fmt chunk is damaged)";
        return false;
    }
    return true;
}

bool ReadSamples(HMMIO mmio, MMCKINFO& riff, TWaveFile& wave, std::string* error) {
    // The data chunk is searched from the start of the form: some writers
    // put it before the fmt chunk.
    mmioSeek(mmio, static_cast<LONG>(riff.dwDataOffset + sizeof(FOURCC)), SEEK_SET);
    MMCKINFO chunk{};
    chunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(mmio, &chunk, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) {
        *error = "not a sound file (no data chunk)";
        return false;
    }
    wave.samples.resize(std::min<std::size_t>(chunk.cksize, kMaxWaveFileBytes));
    // A file cut short holds less than its chunk claims: play what is there.
    const LONG read = mmioRead(mmio, wave.samples.data(), static_cast<LONG>(wave.samples.size()));
    wave.samples.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
    WAVEFORMATEX header{};
    std::memcpy(&header, wave.format.data(), sizeof header);
    wave.samples.resize(wave.samples.size() - wave.samples.size() % header.nBlockAlign);
    return true;
}

}  // namespace

std::string SystemErrorText(unsigned long code) {
    char text[512] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    std::string result = WithoutFullStop(std::string(text, length));
    return result.empty() ? "system error " + std::to_string(code) : result;
}

bool ReadWaveFile(const std::string& path, TWaveFile& wave, std::string* error) {
    wave = TWaveFile{};
    if (path.empty()) {
        *error = "no sound file given";
        return false;
    }
    std::vector<char> bytes;
    if (!ReadWholeFile(path, bytes, error))
        return false;
    if (bytes.empty()) {
        *error = "not a sound file (it is empty)";
        return false;
    }
    // The RIFF chunks are parsed with mmio from the copy in memory.
    MMIOINFO info{};
    info.fccIOProc = FOURCC_MEM;
    info.pchBuffer = bytes.data();
    info.cchBuffer = static_cast<LONG>(bytes.size());
    HMMIO mmio = mmioOpenA(nullptr, &info, MMIO_READ);
    if (mmio == nullptr) {
        *error = "cannot read the file (mmio error " + std::to_string(info.wErrorRet) + ")";
        return false;
    }
    const TMmioCloser closer(mmio);
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(mmio, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) {
        *error = "not a sound file (no RIFF WAVE header)";
        return false;
    }
    return ReadFormat(mmio, riff, wave, error) && ReadSamples(mmio, riff, wave, error);
}

std::vector<unsigned char> ExtensibleFormat(const std::vector<unsigned char>& format) {
    WAVEFORMATEX plain{};
    if (format.size() < sizeof plain)
        return {};
    std::memcpy(&plain, format.data(), sizeof plain);
    if (plain.wFormatTag != WAVE_FORMAT_PCM && plain.wFormatTag != 3 /* IEEE float */)
        return {};
    // {0000000t-0000-0010-8000-00aa00389b71}: the plain tag as a subformat.
    const unsigned char subformat[16] = {static_cast<unsigned char>(plain.wFormatTag),
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0x10,
                                         0,
                                         0x80,
                                         0,
                                         0,
                                         0xaa,
                                         0,
                                         0x38,
                                         0x9b,
                                         0x71};
    const DWORD mask = plain.nChannels == 1    ? 0x4u  // front centre
                       : plain.nChannels >= 32 ? 0u
                                               : (1u << plain.nChannels) - 1;
    std::vector<unsigned char> out(sizeof plain + 22);
    plain.wFormatTag = 0xFFFE;  // WAVE_FORMAT_EXTENSIBLE
    plain.cbSize = 22;
    std::memcpy(out.data(), &plain, sizeof plain);
    unsigned char* extra = out.data() + sizeof plain;
    std::memcpy(extra, &plain.wBitsPerSample, 2);  // valid bits
    std::memcpy(extra + 2, &mask, 4);
    std::memcpy(extra + 6, subformat, 16);
    return out;
}

std::string DescribeFormat(const TWaveFile& wave) {
    WAVEFORMATEX header{};
    if (wave.format.size() >= sizeof header)
        std::memcpy(&header, wave.format.data(), sizeof header);
    char text[128];
    std::snprintf(
        text, sizeof text, "tag 0x%04x, %u-bit, %u channels at %lu Hz",
        static_cast<unsigned>(header.wFormatTag), static_cast<unsigned>(header.wBitsPerSample),
        static_cast<unsigned>(header.nChannels), static_cast<unsigned long>(header.nSamplesPerSec));
    return text;
}

}  // namespace ziv::win32
