#pragma once

// The few Win32 handle types the window headers name, declared as
// <windows.h> declares them, so that those headers need not include it:
// its macros (VK_RETURN, INFINITE, ...) would clash with the project's own
// names in every file that includes a project header after it.
struct HWND__;
struct HINSTANCE__;
struct HFONT__;
struct HICON__;
struct tagMSG;
struct tagRECT;
using HWND = HWND__*;
using HINSTANCE = HINSTANCE__*;
using HFONT = HFONT__*;
using HICON = HICON__*;
