// ziv_inspect.exe: how the end-to-end tests see a window of another process
// from outside, as the operator would, without any hook in the program.
//
//   ziv_inspect show TITLE          the window and every child, one a line
//   ziv_inspect close TITLE         posts WM_CLOSE, as the frame's close box
//   ziv_inspect watch TITLE N MS    for MS, the state of child N (in show's
//                                   order) at each change, after the time in
//                                   ns (Wine's CLOCK_MONOTONIC_RAW, as Linux's)
//
// TITLE "=text" matches a whole title, anything else a part of one. Output
// is UTF-8, tab-separated (rect and client in screen pixels, size the client
// area's; a child's rect relative to the client area; state a button's check
// or a track bar's position, or -1; items a drop-down list's):
//   window <title> client=x,y size=w,h rect=l,t,r,b
//   child <class> <text> state=N visible=0|1 [items=a|b|..] rect=l,t,r,b
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>
#include <mmsystem.h>

namespace {

// UTF-8, with blanks for the tabs and line ends that would break the line
// format.
std::string Field(std::wstring text) {
    for (wchar_t& c : text)
        c = c == L'\t' || c == L'\n' || c == L'\r' ? L' ' : c;
    std::string utf8(text.size() * 3, '\0');  // at most 3 bytes a UTF-16 unit
    utf8.resize(static_cast<std::size_t>(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                            static_cast<int>(utf8.size()), nullptr, nullptr)));
    return utf8;
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
    return GetClassNameW(window, name, 256) > 0 ? name : L"";
}

HWND Find(const std::wstring& pattern) {
    const bool whole = pattern.starts_with(L"=");
    const std::wstring title = whole ? pattern.substr(1) : pattern;
    for (HWND window = FindWindowExW(nullptr, nullptr, nullptr, nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, nullptr, nullptr)) {
        const std::wstring text = TextOf(window);
        // Wine's own hidden helper windows have no visible frame.
        if ((whole ? text == title : text.find(title) != std::wstring::npos) &&
            IsWindowVisible(window))
            return window;
    }
    return nullptr;
}

BOOL CALLBACK AddChild(HWND child, LPARAM children) {
    reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
    return TRUE;
}

// Every child, grandchildren among them, in the order the system keeps.
std::vector<HWND> ChildrenOf(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

LRESULT StateOf(HWND child) {
    const std::wstring name = ClassOf(child);
    const UINT message = _wcsicmp(name.c_str(), L"Button") == 0         ? BM_GETCHECK
                         : _wcsicmp(name.c_str(), TRACKBAR_CLASSW) == 0 ? TBM_GETPOS
                                                                        : 0;
    DWORD_PTR result = 0;
    if (message == 0 || !SendMessageTimeoutW(child, message, 0, 0, SMTO_ABORTIFHUNG, 1000, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

int Show(HWND window) {
    RECT r{}, area{};
    GetWindowRect(window, &r);
    GetClientRect(window, &area);
    POINT client{0, 0};
    ClientToScreen(window, &client);
    std::printf("window\t%s\tclient=%ld,%ld\tsize=%ld,%ld\trect=%ld,%ld,%ld,%ld\n",
                Field(TextOf(window)).c_str(), client.x, client.y, area.right, area.bottom, r.left,
                r.top, r.right, r.bottom);
    for (HWND child : ChildrenOf(window)) {
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        std::printf("child\t%s\t%s\tstate=%ld\tvisible=%d", Field(ClassOf(child)).c_str(),
                    Field(TextOf(child)).c_str(), static_cast<long>(StateOf(child)),
                    IsWindowVisible(child) ? 1 : 0);
        const LRESULT items = _wcsicmp(ClassOf(child).c_str(), L"ComboBox") == 0
                                  ? SendMessageW(child, CB_GETCOUNT, 0, 0)
                                  : 0;
        for (LRESULT i = 0; i < items; ++i) {
            std::wstring item(static_cast<size_t>(SendMessageW(child, CB_GETLBTEXTLEN, i, 0)) + 1,
                              0);
            SendMessageW(child, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()));
            std::printf("%s%s", i ? "|" : "\titems=", Field(item.c_str()).c_str());
        }
        std::printf("\trect=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right, r.bottom);
    }
    return 0;
}

long long NowNs() {
    LARGE_INTEGER count{}, frequency{};
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<long long>(static_cast<double>(count.QuadPart) * 1e9 /
                                  static_cast<double>(frequency.QuadPart));
}

// Polls every millisecond: a change lasting less than that may be missed.
int Watch(HWND window, long index, long ms) {
    const std::vector<HWND> children = ChildrenOf(window);
    if (index < 0 || static_cast<std::size_t>(index) >= children.size())
        return 1;
    const HWND child = children[static_cast<std::size_t>(index)];
    const long long until = NowNs() + static_cast<long long>(ms) * 1000000;
    LRESULT last = -2;
    timeBeginPeriod(1);
    while (NowNs() < until && IsWindow(child)) {
        const LRESULT state = StateOf(child);
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    const HWND window = argc > 2 ? Find(argv[2]) : nullptr;
    if (argc > 2 && window == nullptr) {
        std::fprintf(stderr, "ziv_inspect: no window titled '%s'\n", Field(argv[2]).c_str());
        return 1;
    }
    if (command == L"watch" && argc == 5)
        return Watch(window, std::wcstol(argv[3], nullptr, 10), std::wcstol(argv[4], nullptr, 10));
    if (command == L"show" && argc == 3)
        return Show(window);
    if (command == L"close" && argc == 3)
        return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    std::fputs("usage: ziv_inspect show|close TITLE | watch TITLE N MS\n", stderr);
    return 2;
}
