// The main window's controls: built from the layout table, then what is
// special to each; laid out again at a new DPI.
#include <algorithm>
#include <cstring>

#include "layout/main_window_layout.h"
#include "ui_win32/dpi_win32.h"
#include "ui_win32/form_sound_win32.h"
#include "ui_win32/glyphs_win32.h"
#include "ui_win32/no_focus_button_win32.h"
#include "ui_win32/ui_gate_win32.h"
#include "ui_win32/win32_text.h"

#include "base/windows_api.h"
// after windows.h, which it needs
#include <commctrl.h>

namespace ziv {

namespace {

constexpr wchar_t kClassName[] = L"ZivSoundMain";
constexpr int kFirstId = 100;
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOPMOST;
// A radio button's circle and the gap before its text, at 96 DPI.
constexpr int kRadioLead = 18;

struct TClassAndStyle {
    const wchar_t* cls;
    DWORD style;
};

TClassAndStyle ClassFor(const TControlLayout& row) {
    const bool glyph = row.text[0] == '\0';
    switch (row.kind) {
        case TControlKind::ToggleButton:
            // Not an automatic check box: the model decides the state.
            return {WC_BUTTONW, BS_CHECKBOX | BS_PUSHLIKE | (glyph ? BS_ICON : 0u)};
        case TControlKind::PushButton:
            return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP | (glyph ? BS_ICON : 0u)};
        case TControlKind::FlatButton:
            return {WC_BUTTONW, BS_PUSHBUTTON | BS_FLAT | BS_ICON};
        case TControlKind::Panel:
            return {WC_STATICW, SS_NOTIFY};
        case TControlKind::GroupBox:
            return {WC_BUTTONW, BS_GROUPBOX};
        case TControlKind::Label:
            // One line: FitLabel makes it as wide as its text.
            return {WC_STATICW, SS_LEFTNOWORDWRAP | SS_NOPREFIX};
        case TControlKind::TrackBar:
            return {TRACKBAR_CLASSW, TBS_VERT | TBS_LEFT | TBS_AUTOTICKS | WS_TABSTOP};
        case TControlKind::ComboBox:
            return {WC_COMBOBOXW, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP};
        case TControlKind::RadioButton:
            // Not automatic either: the radio group models check.
            return {WC_BUTTONW, BS_RADIOBUTTON | WS_TABSTOP};
        default:
            return {WC_STATICW, 0};
    }
}

// A row's place in the window: its rectangle plus its parents' corners.
// Every control is a child of the window itself, so that every
// notification comes here; a container only draws its frame.
TLayoutRect AbsoluteRect(const TControlLayout& row) {
    TLayoutRect r = row.rect;
    for (const char* parent = row.parent; parent[0] != '\0';) {
        const TControlLayout* p = FindControl(kMainWindowLayout, parent);
        r.left += p->rect.left;
        r.top += p->rect.top;
        parent = p->parent;
    }
    return r;
}

bool InGroupBox(const TControlLayout& row) {
    for (const char* parent = row.parent; parent[0] != '\0';) {
        if (std::strcmp(parent, "GroupBox1") == 0)
            return true;
        parent = FindControl(kMainWindowLayout, parent)->parent;
    }
    return false;
}

// A group box draws its frame and caption but leaves its inside as it
// was, and the window (WS_CLIPCHILDREN) does not paint under its children:
// the box fills its inside first. The controls laid out in it lie above it
// and are clipped out (WS_CLIPSIBLINGS).
LRESULT CALLBACK GroupBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                              DWORD_PTR /*data*/) {
    if (message == WM_ERASEBKGND)
        return 1;
    if (message != WM_PAINT)
        return DefSubclassProc(box, message, wParam, lParam);
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(box, &paint);
    auto brush = reinterpret_cast<HBRUSH>(SendMessageW(GetParent(box), WM_CTLCOLORSTATIC,
                                                       reinterpret_cast<WPARAM>(dc),
                                                       reinterpret_cast<LPARAM>(box)));
    FillRect(dc, &paint.rcPaint, brush != nullptr ? brush : GetSysColorBrush(COLOR_BTNFACE));
    DefSubclassProc(box, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    EndPaint(box, &paint);
    return 0;
}

}  // namespace

TFormSoundWin32::TFormSoundWin32(HINSTANCE instance, TKeyer& keyer, TFormPort& port,
                                 TLMDIniCtrl& ini, TMessageSlots& messageSlots, TWin32Boxes& boxes,
                                 TWin32ErrorReport& errors, TWin32UiGate* gate, std::string title)
    : instance_(instance),
      keyer_(keyer),
      boxes_(boxes),
      errors_(errors),
      gate_(gate),
      presenter_(*this, keyer, port, ini, messageSlots, title) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = reinterpret_cast<WNDPROC>(&TFormSoundWin32::WindowProc);
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
    window_ =
        CreateWindowExW(kExStyle, kClassName, WideFromUtf8(title).c_str(), kStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, this);
    if (!window_)
        throw std::runtime_error("The main window cannot be created");
    dpi_ = WindowDpi(window_);
    CreateControls();
    SetUpSettingsPanel();
    BindModels();
    SetOuterWidth(WideWidth);
}

int TFormSoundWin32::Scale(int value) const {
    return MulDiv(value, dpi_, 96);
}

void TFormSoundWin32::CreateFonts() {
    auto make = [this](int weight, const wchar_t* face) {
        return CreateFontW(-Scale(11), 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                           DEFAULT_PITCH | FF_SWISS, face);
    };
    // The controls still hold the old fonts until LayOut gives them these.
    oldFonts_ = {font_, boldFont_, scaleFont_};
    font_ = make(FW_NORMAL, L"Microsoft Sans Serif");
    boldFont_ = make(FW_BOLD, L"Microsoft Sans Serif");
    scaleFont_ = make(FW_NORMAL, L"Arial");
}

bool TFormSoundWin32::IsStopInput(const MSG& msg) const {
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)
        return msg.hwnd == window_ || GetAncestor(msg.hwnd, GA_ROOT) == window_;
    const HWND stop = Control("BtnStop");
    return msg.message == WM_LBUTTONUP && stop != nullptr && msg.hwnd == stop &&
           IsWindowVisible(stop);
}

HWND TFormSoundWin32::Control(const char* name) const {
    size_t i = 0;
    for (const TControlLayout& row : kMainWindowLayout) {
        if (std::strcmp(row.name, name) == 0)
            return i < controls_.size() ? controls_[i] : nullptr;
        ++i;
    }
    return nullptr;
}

void TFormSoundWin32::CreateControls() {
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0, 0, window_,
                               nullptr, instance_, nullptr);
    int id = kFirstId;
    for (const TControlLayout& row : kMainWindowLayout) {
        const auto [cls, style] = ClassFor(row);
        HWND control = CreateWindowExW(0, cls, WideFromUtf8(row.text).c_str(),
                                       WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0, 0, 0, 0,
                                       window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)),
                                       instance_, nullptr);
        controls_.push_back(control);
        if (row.kind == TControlKind::ToggleButton || row.kind == TControlKind::FlatButton)
            MakeNoFocusButton(control);
        if (row.kind == TControlKind::GroupBox)
            SetWindowSubclass(control, &GroupBoxProc, 1, 0);
        if (row.hint[0] != '\0')
            AddHint(control, row.hint);
    }
    // A child created later lies below the earlier ones: the containers go
    // to the bottom, under the controls laid out inside them.
    size_t i = 0;
    for (const TControlLayout& row : kMainWindowLayout) {
        if (row.kind == TControlKind::Panel || row.kind == TControlKind::GroupBox)
            SetWindowPos(controls_[i], HWND_BOTTOM, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        ++i;
    }
    SetWindowLongPtrW(Control("Panel2"), GWL_EXSTYLE, WS_EX_STATICEDGE);
    SetWindowPos(Control("Panel2"), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    LayOut();
    commands_[Control("BtnEW2")] = [this](unsigned code) {
        if (code == BN_CLICKED)
            Guard([this] { BtnEW2Click(); });
    };
    commands_[Control("BitBtn1")] = [this](unsigned code) {
        if (code == BN_CLICKED)
            Guard([this] { BitBtn1Click(); });
    };
    commands_[Control("BtnSettings")] = [this](unsigned code) {
        if (code == BN_CLICKED)
            Guard([this] { presenter_.BtnSettingsClick(); });
    };
}

void TFormSoundWin32::LayOut() {
    CreateFonts();
    // Every control is the window's child: a label may grow up to the wide
    // window's right edge.
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int room = Scale(WideWidth) - (frame.right - frame.left);
    size_t i = 0;
    for (const TControlLayout& row : kMainWindowLayout) {
        HWND control = controls_[i++];
        const TLayoutRect r = AbsoluteRect(row);
        // A drop-down combo box's height includes its open list.
        const int height = row.kind == TControlKind::ComboBox ? r.height + 100 : r.height;
        SetWindowPos(control, nullptr, Scale(r.left), Scale(r.top), Scale(r.width), Scale(height),
                     SWP_NOZORDER | SWP_NOACTIVATE);
        const bool scale =
            row.kind == TControlKind::Label && std::strcmp(row.parent, "Panel2") == 0;
        const bool bold = row.kind == TControlKind::GroupBox;
        SendMessageW(control, WM_SETFONT,
                     reinterpret_cast<WPARAM>(scale  ? scaleFont_
                                              : bold ? boldFont_
                                                     : font_),
                     0);
        if (row.kind == TControlKind::Label)
            FitLabel(control, WideFromUtf8(row.text), room);
        if (row.kind == TControlKind::RadioButton)
            FitLabel(control, WideFromUtf8(row.text), room, Scale(kRadioLead));
    }
    EncloseGrownControls(room);
    for (HFONT f : oldFonts_)
        if (f)
            DeleteObject(f);
    oldFonts_ = {};
    // Two-line hints: lines break only at "\n" within this width.
    SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, Scale(400));
    std::vector<HICON> oldIcons = std::move(icons_);
    icons_.clear();
    auto glyph = [this](const char* name, TGlyph g) {
        icons_.push_back(GlyphIcon(g, dpi_));
        SendMessageW(Control(name), BM_SETIMAGE, IMAGE_ICON,
                     reinterpret_cast<LPARAM>(icons_.back()));
    };
    glyph("BtnStart", TGlyph::Start);
    glyph("BtnTimer", TGlyph::Timer);
    glyph("BtnStop", TGlyph::Stop);
    glyph("BtnEW2", TGlyph::Panel);
    for (HICON icon : oldIcons)
        DestroyIcon(icon);
}

void TFormSoundWin32::EncloseGrownControls(int room) {
    auto placeOf = [this](HWND control) {
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    HWND box = Control("GroupBox1");
    const RECT frame = placeOf(box);
    LONG right = frame.right;
    size_t i = 0;
    for (const TControlLayout& row : kMainWindowLayout) {
        if (InGroupBox(row))
            right = std::max(right, placeOf(controls_[i]).right + Scale(3));
        ++i;
    }
    right = std::min(right, static_cast<LONG>(room));
    if (right > frame.right)
        SetWindowPos(box, nullptr, 0, 0, right - frame.left, frame.bottom - frame.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFormSoundWin32::DpiChanged(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    LayOut();
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TFormSoundWin32::AddHint(HWND control, const char* hint) {
    std::wstring text = WideFromUtf8(hint);
    TOOLINFOW info{};
    info.cbSize = sizeof(info);
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = window_;
    info.uId = reinterpret_cast<UINT_PTR>(control);
    info.lpszText = text.data();  // copied by the tooltip
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void TFormSoundWin32::SetUpSettingsPanel() {
    HWND combo = Control("ComboBox1");
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L""));
    for (int n = 1; n <= kPickablePorts; ++n)
        SendMessageW(combo, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(WideFromUtf8(PickablePortName(n)).c_str()));
    presenter_.SetPortText(FindControl(kMainWindowLayout, "ComboBox1")->text);
    commands_[combo] = [this](unsigned code) {
        if (code == CBN_EDITCHANGE)
            Guard([this] { presenter_.PortTextEdited(); });
        else if (code == CBN_SELCHANGE)
            PortItemPicked(int(SendMessageW(Control("ComboBox1"), CB_GETCURSEL, 0, 0)));
    };
    ShowSettingsGroup(false);
}

void TFormSoundWin32::ShowSettingsGroup(bool visible) {
    size_t i = 0;
    for (const TControlLayout& row : kMainWindowLayout) {
        if (std::strcmp(row.name, "GroupBox1") == 0 || InGroupBox(row))
            ShowWindow(controls_[i], visible ? SW_SHOWNA : SW_HIDE);
        ++i;
    }
}

void TFormSoundWin32::ApplyOuterWidth(int width) {
    RECT frame{0, 0, 100, Scale(ClientHeight)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    SetWindowPos(window_, nullptr, 0, 0, Scale(width), frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace ziv
