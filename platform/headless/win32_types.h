#pragma once
// Basic Win32 types, constants and structures of the headless subset, laid
// out as in <windows.h> for a 64-bit build.

#include <cstdint>

using BOOL = int;
using BYTE = unsigned char;
using WORD = unsigned short;
using USHORT = unsigned short;
using DWORD = unsigned int;  // 32 bits, as on Windows
using LONG = int;            // 32 bits, as on Windows
using ULONG = unsigned int;  // 32 bits, as on Windows
using UINT = unsigned int;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using COLORREF = DWORD;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
// The calling conventions of window, dialog, timer and hook procedures
// (CALLBACK) and of system entry points such as DllMain (WINAPI): __stdcall
// on 32-bit Windows, where a procedure without it does not compile. On x86-64
// the subset gives them the Windows calling convention, so that a procedure
// declared without CALLBACK fails to compile here too.
#if defined(__x86_64__)
#define CALLBACK __attribute__((ms_abi))
#define WINAPI __attribute__((ms_abi))
#else
#define CALLBACK
#define WINAPI
#endif

// Opaque handles. A module handle is the loader's handle of the shared
// library (or of the program itself).
struct HWND__;
using HWND = HWND__*;
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HBITMAP__;
using HBITMAP = HBITMAP__*;
struct HIMAGELIST__;
using HIMAGELIST = HIMAGELIST__*;
struct HDC__;
using HDC = HDC__*;
using HGDIOBJ = void*;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct POINT {
  LONG x;
  LONG y;
};

#pragma pack(push, 2)
struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};
#pragma pack(pop)

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

inline constexpr DWORD BI_RGB = 0;

inline constexpr DWORD DLL_PROCESS_DETACH = 0;
inline constexpr DWORD DLL_PROCESS_ATTACH = 1;
inline constexpr DWORD DLL_THREAD_ATTACH = 2;
inline constexpr DWORD DLL_THREAD_DETACH = 3;

constexpr WORD LOWORD(DWORD_PTR v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(DWORD_PTR v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
