// ziv_inspect.exe: how the end-to-end tests see a window of another process
// from outside, as the operator would, without any hook in the program.
//
//   ziv_inspect show TITLE          the window and every child, one a line
//   ziv_inspect wait TITLE MS       exit 0 once the window exists, 1 after MS
//   ziv_inspect gone TITLE MS       exit 0 once no such window exists
//   ziv_inspect close TITLE         posts WM_CLOSE, as the frame's close box
//   ziv_inspect watch TITLE N MS    the state of child N (in the order show
//                                   lists them) at each change, for MS
//   ziv_inspect clock               the performance counter in nanoseconds
//
// Wine's performance counter is CLOCK_MONOTONIC_RAW, so the times watch
// prints can be set beside a Linux recording of the sound output.
//
// TITLE "=text" matches a whole title, anything else a part of one. Output
// is UTF-8, tab-separated:
//   window <title> style=0x.. ex=0x.. topmost=0|1 visible=0|1 client=x,y size=w,h rect=l,t,r,b
//   child <class> <text> id=N style=0x.. state=N visible=0|1 rect=l,t,r,b
// The window's rectangle and client origin are in screen pixels, size is
// its client area's, the children's rectangles are relative to the client
// area; state is the check of a button and the position of a track bar
// (-1 otherwise).
#include <cstdio>
#include <cwchar>
#include <string>

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>
#include <mmsystem.h>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// Tabs and line ends inside a text would break the line format.
std::string Field(const std::wstring& text) {
    std::string out;
    for (char c : Utf8(text)) {
        if (c == '\t')
            out += "\\t";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\\')
            out += "\\\\";
        else
            out += c;
    }
    return out;
}

std::wstring TextOf(HWND window) {
    // WM_GETTEXT crosses processes; a hung target gives up after a second.
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 1000, &copied))
        return {};
    return std::wstring(buffer, static_cast<std::size_t>(copied));
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, 256);
    return std::wstring(name, static_cast<std::size_t>(length > 0 ? length : 0));
}

struct TSearch {
    std::wstring title;
    bool whole = false;
    HWND found = nullptr;
};

BOOL CALLBACK MatchTopLevel(HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<TSearch*>(data);
    const std::wstring text = TextOf(window);
    const bool match =
        search.whole ? text == search.title : text.find(search.title) != std::wstring::npos;
    // Wine's own hidden helper windows have no visible frame.
    if (match && IsWindowVisible(window)) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Find(const std::wstring& pattern) {
    TSearch search;
    search.whole = !pattern.empty() && pattern[0] == L'=';
    search.title = search.whole ? pattern.substr(1) : pattern;
    EnumWindows(MatchTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PrintRect(const RECT& r) {
    std::printf("\trect=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right, r.bottom);
}

LRESULT StateOf(HWND child) {
    const std::wstring name = ClassOf(child);
    DWORD_PTR result = static_cast<DWORD_PTR>(-1);
    UINT message = 0;
    if (_wcsicmp(name.c_str(), L"Button") == 0)
        message = BM_GETCHECK;
    else if (_wcsicmp(name.c_str(), TRACKBAR_CLASSW) == 0)
        message = TBM_GETPOS;
    if (message == 0 || !SendMessageTimeoutW(child, message, 0, 0, SMTO_ABORTIFHUNG, 1000, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

// A drop-down list's items, "|" between them.
std::string ItemsOf(HWND box) {
    std::string items;
    const auto count = SendMessageW(box, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(box, CB_GETLBTEXTLEN, i, 0)) + 1, 0);
        SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
        items += (i ? "|" : "") + Field(item.c_str());
    }
    return items;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM data) {
    const HWND top = reinterpret_cast<HWND>(data);
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    std::printf("child\t%s\t%s\tid=%ld\tstyle=0x%08lx\tstate=%ld\tvisible=%d",
                Field(ClassOf(child)).c_str(), Field(TextOf(child)).c_str(),
                static_cast<long>(GetDlgCtrlID(child)),
                static_cast<unsigned long>(GetWindowLongW(child, GWL_STYLE)),
                static_cast<long>(StateOf(child)), IsWindowVisible(child) ? 1 : 0);
    if (_wcsicmp(ClassOf(child).c_str(), L"ComboBox") == 0)
        std::printf("\titems=%s", ItemsOf(child).c_str());
    PrintRect(r);
    return TRUE;
}

int Show(HWND window) {
    const auto ex = static_cast<unsigned long>(GetWindowLongW(window, GWL_EXSTYLE));
    RECT r{};
    GetWindowRect(window, &r);
    POINT client{0, 0};
    ClientToScreen(window, &client);
    RECT area{};
    GetClientRect(window, &area);
    std::printf(
        "window\t%s\tstyle=0x%08lx\tex=0x%08lx\ttopmost=%d\tvisible=%d\tclient=%ld,%ld"
        "\tsize=%ld,%ld",
        Field(TextOf(window)).c_str(),
        static_cast<unsigned long>(GetWindowLongW(window, GWL_STYLE)), ex,
        (ex & WS_EX_TOPMOST) != 0 ? 1 : 0, IsWindowVisible(window) ? 1 : 0, client.x, client.y,
        area.right, area.bottom);
    PrintRect(r);
    EnumChildWindows(window, PrintChild, reinterpret_cast<LPARAM>(window));
    return 0;
}

// Waits until the window exists (wanted) or is gone (!wanted).
int WaitFor(const std::wstring& title, bool wanted, long ms) {
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(ms);
    for (;;) {
        if ((Find(title) != nullptr) == wanted)
            return 0;
        if (GetTickCount64() > until)
            return 1;
        Sleep(50);
    }
}

long long NowNs() {
    LARGE_INTEGER count{}, frequency{};
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<long long>(static_cast<double>(count.QuadPart) * 1e9 /
                                  static_cast<double>(frequency.QuadPart));
}

struct TNth {
    long wanted = 0;
    long seen = 0;
    HWND found = nullptr;
};

BOOL CALLBACK MatchNth(HWND child, LPARAM data) {
    auto& nth = *reinterpret_cast<TNth*>(data);
    if (nth.seen++ == nth.wanted) {
        nth.found = child;
        return FALSE;
    }
    return TRUE;
}

// Polls every millisecond: a change lasting less than that may be missed.
int Watch(HWND window, long index, long ms) {
    TNth nth;
    nth.wanted = index;
    EnumChildWindows(window, MatchNth, reinterpret_cast<LPARAM>(&nth));
    if (nth.found == nullptr)
        return 1;
    const long long until = NowNs() + static_cast<long long>(ms) * 1000000;
    LRESULT last = -2;
    timeBeginPeriod(1);
    while (NowNs() < until && IsWindow(nth.found)) {
        const LRESULT state = StateOf(nth.found);
        if (state != last) {
            std::printf("%lld %ld\n", NowNs(), static_cast<long>(state));
            std::fflush(stdout);
            last = state;
        }
        Sleep(1);
    }
    timeEndPeriod(1);
    return 0;
}

int Usage() {
    std::fputs(
        "usage: ziv_inspect show|close TITLE | wait|gone TITLE MS | watch TITLE N MS"
        " | clock\n",
        stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"clock") {
        std::printf("%lld\n", NowNs());
        return 0;
    }
    if (argc < 3)
        return Usage();
    const std::wstring command = argv[1];
    const std::wstring title = argv[2];
    if ((command == L"wait" || command == L"gone") && argc == 4)
        return WaitFor(title, command == L"wait", std::wcstol(argv[3], nullptr, 10));
    const HWND window = Find(title);
    if (window == nullptr) {
        std::fprintf(stderr, "ziv_inspect: no window titled '%s'\n", Utf8(title).c_str());
        return 1;
    }
    if (command == L"watch" && argc == 5)
        return Watch(window, std::wcstol(argv[3], nullptr, 10), std::wcstol(argv[4], nullptr, 10));
    if (argc != 3)
        return Usage();
    if (command == L"show")
        return Show(window);
    if (command == L"close")
        return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    return Usage();
}
