// Platform calls for starting the program at log-on: the user's start-up folder and the shortcut in it,
// written through the shell's link object (COM, in the apartment that WinMain joins).
#include "Win32Platform.h"

#include "Layout.h"
#include "UniqueHandle.h"
#include "Win32.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>

namespace launchwick::win32 {

namespace {

// The shell link's ids, written here: the import library's object that holds them holds every other id of
// the system too, 45 KB.
constexpr GUID shellLinkClass = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID shellLinkInterface = {
    0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID persistFileInterface = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The Win32 code inside an HRESULT of that kind, else the HRESULT itself: the system's texts are for both.
std::uint32_t ErrorCode(HRESULT result) {
    return HRESULT_FACILITY(result) == FACILITY_WIN32 ? static_cast<std::uint32_t>(HRESULT_CODE(result))
                                                      : static_cast<std::uint32_t>(result);
}

void Check(HRESULT result) {
    if (FAILED(result)) {
        throw SystemError(ErrorCode(result));
    }
}

// IPersistFile takes the file name in UTF-16; the rest of the program speaks the ANSI code page.
std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int length =
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    if (length == 0 || ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                             wide.data(), length) != length) {
        throw SystemError(::GetLastError());
    }
    return wide;
}

} // namespace

std::string Win32Platform::StartupFolder() const {
    char folder[MAX_PATH] = {};
    // Created when it is missing, as the shell itself would on the next log-on.
    Check(
        ::SHGetFolderPathA(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder));
    return TextBeforeNul(folder, sizeof folder);
}

void Win32Platform::WriteShortcut(const Shortcut& shortcut) {
    if (shortcut.path.find('\0') != std::string::npos || shortcut.target.find('\0') != std::string::npos ||
        shortcut.workingFolder.find('\0') != std::string::npos) {
        throw StatementError("Bad file name");
    }
    IShellLinkA* created = nullptr;
    Check(::CoCreateInstance(shellLinkClass, nullptr, CLSCTX_INPROC_SERVER, shellLinkInterface,
                             reinterpret_cast<void**>(&created)));
    const UniqueCom<IShellLinkA> link(created);
    Check(link.get()->SetPath(shortcut.target.c_str()));
    Check(link.get()->SetArguments(shortcut.arguments.c_str()));
    Check(link.get()->SetWorkingDirectory(shortcut.workingFolder.c_str()));
    Check(link.get()->SetShowCmd(shortcut.showCommand));
    IPersistFile* persisted = nullptr;
    Check(link.get()->QueryInterface(persistFileInterface, reinterpret_cast<void**>(&persisted)));
    const UniqueCom<IPersistFile> file(persisted);
    Check(file.get()->Save(Wide(shortcut.path).c_str(), TRUE));
}

} // namespace launchwick::win32
