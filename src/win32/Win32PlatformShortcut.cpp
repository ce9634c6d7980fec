// Platform calls for starting the program at log-on: the user's start-up folder and the shortcut in it,
// written through the shell's link object (COM, in the apartment that WinMain joins).
#include "Win32Platform.h"

#include "Strings.h"
#include "UniqueHandle.h"
#include "Utf.h"
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
    0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID persistFileInterface = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

} // namespace

std::string Win32Platform::StartupFolder() const {
    wchar_t folder[MAX_PATH] = {};
    // Created when it is missing, as the shell itself would on the next log-on.
    CheckResult(
        ::SHGetFolderPathW(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder));
    return Utf8(TextBeforeNul(folder, MAX_PATH));
}

void Win32Platform::WriteShortcut(const Shortcut& shortcut) {
    // Every field whole, or no shortcut at all.
    const std::wstring path = Terminated(shortcut.path);
    const std::wstring target = Terminated(shortcut.target);
    const std::wstring arguments = Terminated(shortcut.arguments);
    const std::wstring workingFolder = Terminated(shortcut.workingFolder);
    UniqueCom<IShellLinkW> link;
    CheckResult(::CoCreateInstance(shellLinkClass, nullptr, CLSCTX_INPROC_SERVER, shellLinkInterface,
                                   link.OutObject()));
    CheckResult(link->SetPath(target.c_str()));
    CheckResult(link->SetArguments(arguments.c_str()));
    CheckResult(link->SetWorkingDirectory(workingFolder.c_str()));
    CheckResult(link->SetShowCmd(shortcut.showCommand));
    UniqueCom<IPersistFile> file;
    CheckResult(link->QueryInterface(persistFileInterface, file.OutObject()));
    CheckResult(file->Save(path.c_str(), TRUE));
}

} // namespace launchwick::win32
