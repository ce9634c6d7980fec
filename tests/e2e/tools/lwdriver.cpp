// Console helper that the end-to-end tests run inside the same Wine prefix as the program under test. It
// finds top-level windows and message boxes, reports their geometry and texts as one JSON object per line,
// and presses buttons or types keys into them.
//
//   lwdriver list [--all]
//   lwdriver dialog [--title T] [--timeout MS] [--action ok|close|none]
//   lwdriver window --title T [--timeout MS]
//   lwdriver wait-gone --title T [--timeout MS]
//   lwdriver click --title T (--child-id N | --child-text S) [--timeout MS]
//   lwdriver key --title T (--vk N | --char N) [--timeout MS]
//   lwdriver render --text S --width W --height H [--font F] [--points100 N] [--weight N]
//   lwdriver resources --title T [--timeout MS] [--count N] [--interval MS]
//   lwdriver message --code N        the system's text for an error code (FormatMessageA)
//   lwdriver shortcut --path P       a shortcut file's fields, read with IShellLinkW
//   lwdriver liveregion [--timeout MS]   live-region events and text changes of every process's controls
//   any command: [--dpi-aware 1] to see physical pixels when the screen is not at 96 dpi
//
// Exit status: 0 done, 1 timed out or not found, 2 bad usage, 3 another message box showed instead.
#include "JsonText.h"
#include "UnixClock.h"

#include <windows.h>
#include <winternl.h>

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr wchar_t kDialogClass[] = L"#32770";
constexpr int kMessageTextId = 0xFFFF;
constexpr int kPollMs = 20;

std::string Json(const std::wstring& text) {
    return JsonText(std::wstring_view(text));
}

std::string Json(long long value) {
    return std::to_string(value);
}

std::string Json(const RECT& r) {
    return "[" + Json(r.left) + ", " + Json(r.top) + ", " + Json(r.right) + ", " + Json(r.bottom) + "]";
}

std::string Rgb(int sysColor) {
    const COLORREF c = GetSysColor(sysColor);
    return "[" + Json(GetRValue(c)) + ", " + Json(GetGValue(c)) + ", " + Json(GetBValue(c)) + "]";
}

std::string Hwnd(HWND hwnd) {
    return Json(static_cast<long long>(reinterpret_cast<INT_PTR>(hwnd)));
}

std::wstring Text(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

struct Options {
    std::wstring command;
    std::wstring title;
    bool has_title = false;
    std::wstring action = L"ok";
    std::wstring child_text;
    int child_id = -1;
    int timeout_ms = 10000;
    int ch = -1;
    int vk = 0;
    bool all = false;
    bool strict = false;
    std::wstring font = L"Microsoft Sans Serif";
    std::wstring text;
    int points100 = 1200;
    int weight = FW_NORMAL;
    int width = 0;
    int height = 0;
    int count = 0;
    long long code = -1;
    int interval_ms = 1000;
    bool dpi_aware = false;
    std::wstring path;
};

std::vector<HWND> TopLevelWindows() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// A window found by FindWindow may still be hidden (a message box is created before it is shown), so only
// visible windows count.
HWND FindVisible(const wchar_t* cls, const std::wstring* title) {
    for (HWND hwnd : TopLevelWindows()) {
        if (!IsWindowVisible(hwnd)) {
            continue;
        }
        if (cls != nullptr && ClassOf(hwnd) != cls) {
            continue;
        }
        if (title != nullptr && Text(hwnd) != *title) {
            continue;
        }
        return hwnd;
    }
    return nullptr;
}

// A visible message box whose title differs from the one awaited, if any.
HWND OtherDialog(const std::wstring* title) {
    for (HWND hwnd : TopLevelWindows()) {
        if (IsWindowVisible(hwnd) && ClassOf(hwnd) == kDialogClass &&
            (title == nullptr || Text(hwnd) != *title)) {
            return hwnd;
        }
    }
    return nullptr;
}

// With strict set, waiting stops early at a message box other than the one awaited; it is returned in
// *unexpected so the test can fail at once with its text instead of timing out.
HWND WaitVisible(const wchar_t* cls, const std::wstring* title, int timeout_ms, bool strict = false,
                 HWND* unexpected = nullptr) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
    for (;;) {
        if (HWND hwnd = FindVisible(cls, title)) {
            return hwnd;
        }
        if (strict) {
            if (HWND other = OtherDialog(title)) {
                *unexpected = other;
                return nullptr;
            }
        }
        if (GetTickCount64() >= end) {
            return nullptr;
        }
        Sleep(kPollMs);
    }
}

bool WaitDestroyed(HWND hwnd, int timeout_ms) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
    while (IsWindow(hwnd) && IsWindowVisible(hwnd)) {
        if (GetTickCount64() >= end) {
            return false;
        }
        Sleep(kPollMs);
    }
    return true;
}

std::string WindowCommon(HWND hwnd) {
    DWORD pid = 0;
    const DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return "\"hwnd\": " + Hwnd(hwnd) + ", \"class\": " + Json(ClassOf(hwnd)) +
           ", \"title\": " + Json(Text(hwnd)) + ", \"pid\": " + Json(pid) + ", \"tid\": " + Json(tid) +
           ", \"visible\": " + (IsWindowVisible(hwnd) ? "true" : "false") + ", \"rect\": " + Json(rect) +
           ", \"style\": " +
           Json(static_cast<long long>(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_STYLE)))) +
           ", \"exstyle\": " +
           Json(static_cast<long long>(static_cast<DWORD>(GetWindowLongW(hwnd, GWL_EXSTYLE))));
}

// Direct children with their rectangles relative to the client origin of the top-level window.
std::string Children(HWND top) {
    std::vector<HWND> kids;
    for (HWND child = GetWindow(top, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        kids.push_back(child);
    }
    std::string out = "[";
    for (size_t i = 0; i < kids.size(); ++i) {
        HWND child = kids[i];
        const DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
        // A message box keeps its icon control even without an icon; what counts is whether it holds one.
        const bool icon = ClassOf(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON &&
                          SendMessageW(child, STM_GETICON, 0, 0) != 0;
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, top, reinterpret_cast<POINT*>(&r), 2);
        out += std::string(i ? ", " : "") + "{\"hwnd\": " + Hwnd(child) +
               ", \"class\": " + Json(ClassOf(child)) + ", \"id\": " + Json(GetDlgCtrlID(child)) +
               ", \"text\": " + Json(Text(child)) +
               ", \"visible\": " + (IsWindowVisible(child) ? "true" : "false") +
               ", \"style\": " + Json(static_cast<long long>(style)) +
               ", \"icon\": " + (icon ? "true" : "false") + ", \"rect\": " + Json(r) + "}";
    }
    return out + "]";
}

HWND FocusOf(HWND top) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(top, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

void Print(const std::string& json) {
    std::printf("%s\n", json.c_str());
    std::fflush(stdout);
}

std::string DialogDetails(HWND box) {
    return WindowCommon(box) + ", \"text\": " + Json(Text(GetDlgItem(box, kMessageTextId))) +
           ", \"children\": " + Children(box);
}

// Exit status 3 when an unexpected message box ended the wait, 1 on a plain timeout.
int NotFound(HWND unexpected) {
    if (unexpected != nullptr) {
        Print("{\"found\": false, \"unexpected\": {" + DialogDetails(unexpected) +
              "}, \"time_ms\": " + Json(UnixMillis()) + "}");
        return 3;
    }
    Print("{\"found\": false, \"time_ms\": " + Json(UnixMillis()) + "}");
    return 1;
}

int List(const Options& options) {
    for (HWND hwnd : TopLevelWindows()) {
        if (options.all || IsWindowVisible(hwnd)) {
            Print("{" + WindowCommon(hwnd) + "}");
        }
    }
    return 0;
}

int Dialog(const Options& options) {
    HWND other = nullptr;
    HWND box = WaitVisible(kDialogClass, options.has_title ? &options.title : nullptr, options.timeout_ms,
                           options.has_title, &other);
    if (box == nullptr) {
        return NotFound(other);
    }
    const long long seen = UnixMillis();
    // A box is shown before its text is final only in theory; read it once it is visible.
    std::string json = "{\"found\": true, " + DialogDetails(box) + ", \"seen_ms\": " + Json(seen);
    bool dismissed = false;
    long long acted = 0;
    if (options.action == L"ok" || options.action == L"close") {
        acted = UnixMillis();
        DWORD_PTR result = 0;
        if (options.action == L"ok") {
            SendMessageTimeoutW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
        } else {
            PostMessageW(box, WM_CLOSE, 0, 0);
        }
        dismissed = WaitDestroyed(box, 5000);
    }
    json += ", \"action\": " + Json(options.action) + ", \"acted_ms\": " + Json(acted) +
            ", \"dismissed\": " + (dismissed ? "true" : "false") + "}";
    Print(json);
    return options.action == L"none" || dismissed ? 0 : 1;
}

int Window(const Options& options) {
    HWND other = nullptr;
    HWND hwnd = WaitVisible(nullptr, &options.title, options.timeout_ms, options.strict, &other);
    if (hwnd == nullptr) {
        return NotFound(other);
    }
    const long long seen = UnixMillis();
    RECT client{};
    GetClientRect(hwnd, &client);
    MapWindowPoints(hwnd, HWND_DESKTOP, reinterpret_cast<POINT*>(&client), 2);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    HWND focus = FocusOf(hwnd);
    Print("{\"found\": true, " + WindowCommon(hwnd) + ", \"client\": " + Json(client) + ", \"screen\": [" +
          Json(GetSystemMetrics(SM_CXSCREEN)) + ", " + Json(GetSystemMetrics(SM_CYSCREEN)) +
          "], \"workarea\": " + Json(work) + ", \"dpi\": " + Json(dpi) + ", \"focus\": " + Hwnd(focus) +
          ", \"focus_id\": " + Json(focus ? GetDlgCtrlID(focus) : 0) + ", \"focus_text\": " +
          Json(focus ? Text(focus) : std::wstring()) + ", \"foreground\": " + Hwnd(GetForegroundWindow()) +
          ", \"btnface\": " + Rgb(COLOR_BTNFACE) + ", \"windowtext\": " + Rgb(COLOR_WINDOWTEXT) +
          ", \"children\": " + Children(hwnd) + ", \"seen_ms\": " + Json(seen) + "}");
    return 0;
}

int WaitGone(const Options& options) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(options.timeout_ms);
    while (FindVisible(nullptr, &options.title) != nullptr) {
        if (GetTickCount64() >= end) {
            Print("{\"gone\": false, \"time_ms\": " + Json(UnixMillis()) + "}");
            return 1;
        }
        Sleep(kPollMs);
    }
    Print("{\"gone\": true, \"time_ms\": " + Json(UnixMillis()) + "}");
    return 0;
}

HWND FindChild(HWND top, const Options& options) {
    for (HWND child = GetWindow(top, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (options.child_id >= 0 ? GetDlgCtrlID(child) == options.child_id
                                  : Text(child) == options.child_text) {
            return child;
        }
    }
    return nullptr;
}

int Click(const Options& options) {
    HWND top = WaitVisible(nullptr, &options.title, options.timeout_ms);
    HWND child = top ? FindChild(top, options) : nullptr;
    if (child == nullptr) {
        Print("{\"clicked\": false, \"time_ms\": " + Json(UnixMillis()) + "}");
        return 1;
    }
    const long long acted = UnixMillis();
    // Posted, not sent: the click handler may open a modal box, which must not block the driver.
    PostMessageW(child, BM_CLICK, 0, 0);
    Print("{\"clicked\": true, \"hwnd\": " + Hwnd(child) + ", \"acted_ms\": " + Json(acted) + "}");
    return 0;
}

// Posts a key to whichever control of the window's thread has the focus, the way the keyboard would
// deliver it, so the program's message loop sees it before the control does. With a virtual key, only
// WM_KEYDOWN and WM_KEYUP are posted and the program's TranslateMessage makes the WM_CHAR, as for a real
// key; without one, the character alone is posted.
int Key(const Options& options) {
    HWND top = WaitVisible(nullptr, &options.title, options.timeout_ms);
    if (top == nullptr) {
        Print("{\"sent\": false, \"time_ms\": " + Json(UnixMillis()) + "}");
        return 1;
    }
    HWND target = FocusOf(top);
    if (target == nullptr) {
        target = top;
    }
    const long long acted = UnixMillis();
    if (options.vk != 0) {
        const LPARAM scan =
            static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(options.vk), MAPVK_VK_TO_VSC)) << 16;
        PostMessageW(target, WM_KEYDOWN, static_cast<WPARAM>(options.vk), scan | 1);
        PostMessageW(target, WM_KEYUP, static_cast<WPARAM>(options.vk),
                     scan | static_cast<LPARAM>(0xC0000001));
    } else {
        PostMessageW(target, WM_CHAR, static_cast<WPARAM>(options.ch), 1);
    }
    Print("{\"sent\": true, \"target\": " + Hwnd(target) + ", \"target_id\": " + Json(GetDlgCtrlID(target)) +
          ", \"acted_ms\": " + Json(acted) + "}");
    return 0;
}

// Draws text in white on black, centred on one line in a box of the given size, with a font of the given
// face, size and weight at the screen's density, and prints each row's grey levels in hex. The tests
// compare it with the white pixels of a screenshot to read a text the program draws itself.
int Render(const Options& options) {
    const int width = options.width;
    const int height = options.height;
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) {
        return 1;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    LOGFONTW font{};
    font.lfHeight = -MulDiv(options.points100, dpi, 7200);
    font.lfWeight = options.weight;
    font.lfCharSet = ANSI_CHARSET;
    wcsncpy(font.lfFaceName, options.font.c_str(), LF_FACESIZE - 1);
    HFONT hfont = CreateFontIndirectW(&font);
    HGDIOBJ oldFont = SelectObject(dc, hfont);
    RECT all{0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    std::wstring text = options.text;
    DrawTextW(dc, text.data(), -1, &all, DT_CENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    GdiFlush();
    std::string rows;
    const auto* pixel = static_cast<const unsigned char*>(bits);
    for (int y = 0; y < height; ++y) {
        rows += y ? ", \"" : "\"";
        for (int x = 0; x < width; ++x) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", pixel[4 * (y * width + x) + 2]);
            rows += hex;
        }
        rows += "\"";
    }
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(hfont);
    DeleteObject(bitmap);
    DeleteDC(dc);
    Print("{\"width\": " + Json(width) + ", \"height\": " + Json(height) + ", \"dpi\": " + Json(dpi) +
          ", \"rows\": [" + rows + "]}");
    return 0;
}

// Windows (top-level and child) that belong to a process: a count of its USER objects that Wine can report.
long long WindowsOf(DWORD pid) {
    struct Count {
        DWORD pid;
        long long n;
    } count{pid, 0};
    const WNDENUMPROC child = [](HWND hwnd, LPARAM param) -> BOOL {
        auto* c = reinterpret_cast<Count*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        c->n += owner == c->pid ? 1 : 0;
        return TRUE;
    };
    for (HWND hwnd : TopLevelWindows()) {
        DWORD owner = 0;
        GetWindowThreadProcessId(hwnd, &owner);
        if (owner == pid) {
            ++count.n;
            EnumChildWindows(hwnd, child, reinterpret_cast<LPARAM>(&count));
        }
    }
    return count.n;
}

// The handle count and thread count of a process as the system's process list gives them (-1: not listed).
// GetProcessHandleCount may be a stub that reports 0; this list is filled by another path.
std::pair<long long, long long> ListedCounts(DWORD pid) {
    using Query = LONG(WINAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<unsigned char> buffer(1 << 20);
    ULONG needed = 0;
    if (query == nullptr ||
        query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed) < 0) {
        return {-1, -1};
    }
    for (size_t at = 0;;) {
        const auto* info = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + at);
        if (reinterpret_cast<ULONG_PTR>(info->UniqueProcessId) == pid) {
            return {info->HandleCount, info->NumberOfThreads};
        }
        if (info->NextEntryOffset == 0) {
            return {-1, -1};
        }
        at += info->NextEntryOffset;
    }
}

// Live GDI objects of a process, counted in its own GDI handle table. Wine does not answer GetGuiResources,
// but it keeps this table where Windows does: the PEB's GdiSharedHandleTable, 65 536 entries of 24 bytes,
// an entry in use having a type and an object. Stock objects are counted too, so only changes mean anything.
// Negative: the table could not be read.
long long GdiTableCount(HANDLE process) {
    struct Entry {
        unsigned long long object;
        unsigned long owner;
        unsigned short unique;
        unsigned char type;
        unsigned char flags;
        unsigned long long user;
    };
    static_assert(sizeof(Entry) == 24);
    constexpr size_t kTableOffsetInPeb = 0xF8;
    constexpr size_t kEntries = 0x10000;
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &basic, sizeof basic, &length) < 0) {
        return -1;
    }
    void* table = nullptr;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process,
                           static_cast<char*>(static_cast<void*>(basic.PebBaseAddress)) + kTableOffsetInPeb,
                           &table, sizeof table, &read) ||
        table == nullptr) {
        return -2;
    }
    std::vector<Entry> entries(kEntries);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(Entry), &read)) {
        return -3;
    }
    long long live = 0;
    for (const Entry& entry : entries) {
        live += entry.type != 0 && entry.object != 0 ? 1 : 0;
    }
    return live;
}

// Samples the GDI objects, USER objects and kernel handles of the process that owns the window, once per
// interval, until it ends or count samples are taken. GetGuiResources may be a stub (0 with an error), so its
// last error is reported with it.
int Resources(const Options& options) {
    HWND hwnd = WaitVisible(nullptr, &options.title, options.timeout_ms);
    DWORD pid = 0;
    if (hwnd != nullptr) {
        GetWindowThreadProcessId(hwnd, &pid);
    }
    HANDLE process = pid != 0
                         ? OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid)
                         : nullptr;
    if (process == nullptr) {
        Print("{\"found\": false, \"pid\": " + Json(pid) + ", \"error\": " + Json(GetLastError()) + "}");
        return 1;
    }
    for (int i = 0; options.count <= 0 || i < options.count; ++i) {
        SetLastError(0);
        const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
        const DWORD gdiError = GetLastError();
        SetLastError(0);
        const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
        const DWORD userError = GetLastError();
        DWORD handles = 0;
        const BOOL handlesOk = GetProcessHandleCount(process, &handles);
        const auto listed = ListedCounts(pid);
        Print("{\"found\": true, \"pid\": " + Json(pid) + ", \"time_ms\": " + Json(UnixMillis()) +
              ", \"gdi\": " + Json(gdi) + ", \"gdi_error\": " + Json(gdiError) +
              ", \"gdi_table\": " + Json(GdiTableCount(process)) + ", \"user\": " + Json(user) +
              ", \"user_error\": " + Json(userError) +
              ", \"handles\": " + (handlesOk ? Json(handles) : std::string("null")) +
              ", \"listed_handles\": " + Json(listed.first) + ", \"threads\": " + Json(listed.second) +
              ", \"windows\": " + Json(WindowsOf(pid)) + "}");
        if (WaitForSingleObject(process, static_cast<DWORD>(options.interval_ms)) == WAIT_OBJECT_0) {
            Print("{\"ended\": true, \"time_ms\": " + Json(UnixMillis()) + "}");
            break;
        }
    }
    CloseHandle(process);
    return 0;
}

// What the system says for an error code, as a program that reports it in its own words reads it.
int Message(const Options& options) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(options.code), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    Print("{\"code\": " + Json(options.code) +
          ", \"text\": " + JsonText(std::string_view(text != nullptr ? text : "", length)) + "}");
    LocalFree(text);
    return 0;
}

// A shortcut as the shell reads it: its target, arguments, working folder and show command.
int ShortcutFields(const Options& options) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = {};
    wchar_t arguments[1024] = {};
    wchar_t folder[MAX_PATH] = {};
    int show = 0;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      reinterpret_cast<void**>(&link));
    if (SUCCEEDED(result)) {
        result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    }
    if (SUCCEEDED(result)) {
        result = file->Load(options.path.c_str(), STGM_READ);
    }
    if (SUCCEEDED(result)) {
        // Through the item list, which holds every character of the path (Wine keeps the plain path field
        // in the ANSI code page).
        PIDLIST_ABSOLUTE items = nullptr;
        if (FAILED(link->GetIDList(&items)) || items == nullptr || !SHGetPathFromIDListW(items, target)) {
            link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        }
        CoTaskMemFree(items);
        link->GetArguments(arguments, 1024);
        link->GetWorkingDirectory(folder, MAX_PATH);
        link->GetShowCmd(&show);
    }
    if (file != nullptr) {
        file->Release();
    }
    if (link != nullptr) {
        link->Release();
    }
    Print("{\"found\": " + std::string(SUCCEEDED(result) ? "true" : "false") +
          ", \"result\": " + Json(static_cast<long long>(static_cast<DWORD>(result))) + ", \"target\": " +
          JsonText(std::wstring_view(target)) + ", \"arguments\": " + JsonText(std::wstring_view(arguments)) +
          ", \"workdir\": " + JsonText(std::wstring_view(folder)) + ", \"show\": " + Json(show) + "}");
    return SUCCEEDED(result) ? 0 : 1;
}

// What a screen reader hears of a status line: an out-of-context WinEvent hook on every process for the
// live-region events ("liveregion", with the control's text at that moment), and the text of every label of
// every window, read every 20 ms as a screen reader would read it: "initial" when first seen, "name" after
// each change. (Wine raises no name-change event when a control's text is set, so the text is polled.)
void PrintControlEvent(const char* kind, HWND hwnd, LONG object, const std::wstring& text) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    Print(std::string("{\"event\": \"") + kind + "\", \"time_ms\": " + Json(UnixMillis()) +
          ", \"pid\": " + Json(pid) + ", \"hwnd\": " + Hwnd(hwnd) + ", \"class\": " + Json(ClassOf(hwnd)) +
          ", \"id\": " + Json(GetDlgCtrlID(hwnd)) + ", \"object\": " + Json(object) +
          ", \"text\": " + Json(text) + "}");
}

int LiveRegion(const Options& options) {
    constexpr DWORD kLiveRegionChanged = 0x8019;
    const HWINEVENTHOOK hook = SetWinEventHook(
        kLiveRegionChanged, kLiveRegionChanged, nullptr,
        [](HWINEVENTHOOK, DWORD, HWND hwnd, LONG object, LONG, DWORD, DWORD) {
            PrintControlEvent("liveregion", hwnd, object, Text(hwnd));
        },
        0, 0, WINEVENT_OUTOFCONTEXT);
    std::vector<std::pair<HWND, std::wstring>> labels;
    const auto readLabels = [&labels] {
        for (HWND top : TopLevelWindows()) {
            for (HWND child = GetWindow(top, GW_CHILD); child != nullptr;
                 child = GetWindow(child, GW_HWNDNEXT)) {
                if (ClassOf(child) != L"Static") {
                    continue;
                }
                const std::wstring text = Text(child);
                auto known = std::find_if(labels.begin(), labels.end(),
                                          [&](const auto& l) { return l.first == child; });
                if (known == labels.end()) {
                    labels.emplace_back(child, text);
                    PrintControlEvent("initial", child, OBJID_WINDOW, text);
                } else if (known->second != text) {
                    known->second = text;
                    PrintControlEvent("name", child, OBJID_WINDOW, text);
                }
            }
        }
    };
    readLabels();
    Print("{\"hooked\": " + std::string(hook != nullptr ? "true" : "false") +
          ", \"time_ms\": " + Json(UnixMillis()) + "}");
    if (hook == nullptr) {
        return 1;
    }
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(options.timeout_ms);
    MSG message;
    while (GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        readLabels();
    }
    UnhookWinEvent(hook);
    return 0;
}

bool Parse(int argc, wchar_t** argv, Options& options) {
    if (argc < 2) {
        return false;
    }
    options.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::wstring name = argv[i];
        if (name == L"--all") {
            options.all = true;
            continue;
        }
        if (i + 1 >= argc) {
            return false;
        }
        const std::wstring value = argv[++i];
        if (name == L"--title") {
            options.title = value;
            options.has_title = true;
        } else if (name == L"--timeout") {
            options.timeout_ms = _wtoi(value.c_str());
        } else if (name == L"--action") {
            options.action = value;
        } else if (name == L"--child-id") {
            options.child_id = _wtoi(value.c_str());
        } else if (name == L"--child-text") {
            options.child_text = value;
        } else if (name == L"--char") {
            options.ch = _wtoi(value.c_str());
        } else if (name == L"--font") {
            options.font = value;
        } else if (name == L"--text") {
            options.text = value;
        } else if (name == L"--points100") {
            options.points100 = _wtoi(value.c_str());
        } else if (name == L"--weight") {
            options.weight = _wtoi(value.c_str());
        } else if (name == L"--width") {
            options.width = _wtoi(value.c_str());
        } else if (name == L"--height") {
            options.height = _wtoi(value.c_str());
        } else if (name == L"--strict") {
            options.strict = value == L"1";
        } else if (name == L"--vk") {
            options.vk = _wtoi(value.c_str());
        } else if (name == L"--code") {
            options.code = _wtoi64(value.c_str());
        } else if (name == L"--count") {
            options.count = _wtoi(value.c_str());
        } else if (name == L"--interval") {
            options.interval_ms = _wtoi(value.c_str());
        } else if (name == L"--path") {
            options.path = value;
        } else if (name == L"--dpi-aware") {
            options.dpi_aware = value == L"1";
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Options options;
    if (argv == nullptr || !Parse(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: lwdriver "
                     "list|dialog|window|wait-gone|click|key|render|resources|message|liveregion|shortcut "
                     "[options]\n");
        return 2;
    }
    if (options.dpi_aware) {
        SetProcessDPIAware();
    }
    const std::wstring& c = options.command;
    if (c == L"list") {
        return List(options);
    }
    if (c == L"dialog") {
        return Dialog(options);
    }
    if (c == L"window" && options.has_title) {
        return Window(options);
    }
    if (c == L"wait-gone" && options.has_title) {
        return WaitGone(options);
    }
    if (c == L"click" && options.has_title && (options.child_id >= 0 || !options.child_text.empty())) {
        return Click(options);
    }
    if (c == L"key" && options.has_title && (options.ch >= 0 || options.vk != 0)) {
        return Key(options);
    }
    if (c == L"render" && options.width > 0 && options.height > 0) {
        return Render(options);
    }
    if (c == L"resources" && options.has_title) {
        return Resources(options);
    }
    if (c == L"message" && options.code >= 0) {
        return Message(options);
    }
    if (c == L"liveregion") {
        return LiveRegion(options);
    }
    if (c == L"shortcut" && !options.path.empty()) {
        return ShortcutFields(options);
    }
    std::fprintf(stderr, "lwdriver: bad command or missing option\n");
    return 2;
}
