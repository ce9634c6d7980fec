// Platform calls of the core for files and folders: the settings file, the temporary copies, the log.
#include "Win32Platform.h"

#include "FilledText.h"
#include "Layout.h"
#include "Paths.h"
#include "Strings.h"
#include "UniqueHandle.h"
#include "Utf.h"
#include "Win32.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace launchwick::win32 {

namespace {

class Win32TextFile final : public TextFile {
public:
    explicit Win32TextFile(UniqueFile file) noexcept : file_(std::move(file)) {}

    void Write(std::string_view text) override {
        if (!file_) {
            FailStatement("Bad file name or number");
        }
        while (!text.empty()) {
            const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
            DWORD written = 0;
            if (!::WriteFile(file_.get(), text.data(), chunk, &written, nullptr) || written == 0) {
                FailStatement("Device I/O error");
            }
            text.remove_prefix(written);
        }
    }

    void Close() override {
        const HANDLE file = file_.release();
        if (file != INVALID_HANDLE_VALUE && !::CloseHandle(file)) {
            FailStatement("Device I/O error");
        }
    }

private:
    UniqueFile file_;
};

// A folder from a call that fills a buffer and, when the buffer is too small, answers the size it needs
// with its NUL. Asks again while the answer grows, as the folder may change in between.
std::string FolderFrom(DWORD(WINAPI* call)(DWORD, LPWSTR)) {
    return Utf8(FilledText(MAX_PATH + 1, "Path not found", [&](std::wstring& folder) {
        const DWORD length = call(static_cast<DWORD>(folder.size()), folder.data());
        if (length == 0) {
            FailStatement("Path not found");
        }
        return Filled{length < folder.size(), length};
    }));
}

std::string TempFolder() {
    return FolderFrom(::GetTempPathW);
}

} // namespace

std::string Win32Platform::ExecutableFolder() const {
    return FolderOfPath(ExecutablePath());
}

std::string Win32Platform::ExecutablePath() const {
    return Utf8(FilledText(MAX_PATH, "Path not found", [](std::wstring& path) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            FailStatement("Path not found");
        }
        // A full buffer means the name was cut, and says nothing of its length.
        return Filled{length < path.size(), length < path.size() ? length : 0};
    }));
}

std::string Win32Platform::CurrentFolder() const {
    return FolderFrom(::GetCurrentDirectoryW);
}

std::string Win32Platform::FileDateTime(const std::string& path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Terminated(path).c_str(), GetFileExInfoStandard, &data)) {
        FailStatement("File not found");
    }
    FILETIME local{};
    SYSTEMTIME time{};
    if (!::FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !::FileTimeToSystemTime(&local, &time)) {
        FailStatement("File not found");
    }
    return DateStamp(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
}

std::string Win32Platform::ReadProfileString(const std::string& section, const std::string& key,
                                             const std::string& defaultText, std::size_t bufferSize,
                                             const std::string& file) const {
    if (bufferSize == 0 || bufferSize > std::numeric_limits<DWORD>::max()) {
        FailStatement("Invalid procedure call or argument");
    }
    std::wstring buffer(bufferSize, L' ');
    const DWORD length = ::GetPrivateProfileStringW(Terminated(section).c_str(), Terminated(key).c_str(),
                                                    Terminated(defaultText).c_str(), buffer.data(),
                                                    static_cast<DWORD>(bufferSize), Terminated(file).c_str());
    buffer.resize(std::min<std::size_t>(length, bufferSize));
    return Utf8(buffer);
}

namespace {

// A list of names ended by NULs, as the profile reader gives the keys of a section or the sections of a file.
template <class Read> std::vector<std::string> ProfileNames(Read read) {
    const std::wstring names = FilledText(4096, "Out of memory", [&](std::wstring& buffer) {
        const DWORD length = read(buffer.data(), static_cast<DWORD>(buffer.size()));
        // A list cut short answers the buffer's size less two.
        return Filled{length + 2 < buffer.size(), length + 2 < buffer.size() ? length : 0};
    });
    std::vector<std::string> list;
    for (std::size_t at = 0; at < names.size();) {
        const std::size_t end = std::min(names.find(L'\0', at), names.size());
        list.push_back(Utf8(std::wstring_view(names).substr(at, end - at)));
        at = end + 1;
    }
    return list;
}

} // namespace

std::vector<std::string> Win32Platform::ReadProfileKeys(const std::string& section,
                                                        const std::string& file) const {
    const std::wstring wideSection = Terminated(section);
    const std::wstring wideFile = Terminated(file);
    return ProfileNames([&](wchar_t* buffer, DWORD size) {
        return ::GetPrivateProfileStringW(wideSection.c_str(), nullptr, L"", buffer, size, wideFile.c_str());
    });
}

std::vector<std::string> Win32Platform::ReadProfileSections(const std::string& file) const {
    const std::wstring wideFile = Terminated(file);
    return ProfileNames([&](wchar_t* buffer, DWORD size) {
        return ::GetPrivateProfileSectionNamesW(buffer, size, wideFile.c_str());
    });
}

std::string Win32Platform::ReadFileBytes(const std::string& path) const {
    const UniqueFile file(::CreateFileW(Terminated(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        FailStatement("File not found");
    }
    std::string bytes;
    char buffer[16384];
    for (;;) {
        DWORD read = 0;
        // A read that fails half-way must not pass for the end: the encoding is decided on the whole file.
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
            FailStatement("Device I/O error");
        }
        if (read == 0) {
            return bytes;
        }
        bytes.append(buffer, read);
    }
}

bool Win32Platform::IsFile(const std::string& path) const {
    if (path.find('\0') != std::string::npos) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool Win32Platform::IsFolder(const std::string& path) const {
    if (path.empty() || path.find('\0') != std::string::npos) {
        return false;
    }
    const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::unique_ptr<TextFile> Win32Platform::CreateTextFile(const std::string& path) {
    UniqueFile file(::CreateFileW(Terminated(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        FailStatement("Path/File access error");
    }
    return std::make_unique<Win32TextFile>(std::move(file));
}

std::unique_ptr<TextFile> Win32Platform::CreateTempFile(std::string_view suffix, std::string& path) {
    const std::string folder = TempFolder();
    const auto processId = static_cast<std::uint32_t>(::GetCurrentProcessId());
    // A name another program has taken is skipped; CREATE_NEW never opens or follows an existing file.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = folder + TempFileName(processId, tempAttempt_++, suffix);
        const std::wstring wideCandidate = Terminated(candidate);
        UniqueFile file(::CreateFileW(wideCandidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        const DWORD error = ::GetLastError();
        if (file) {
            auto textFile = std::make_unique<Win32TextFile>(std::move(file));
            path = std::move(candidate);
            return textFile;
        }
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    FailStatement("Path/File access error");
}

// FILE_APPEND_DATA alone: every write lands at the end, whole, even when another process appends too.
std::unique_ptr<TextFile> Win32Platform::AppendTextFile(const std::string& path) {
    UniqueFile file(::CreateFileW(Terminated(path).c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!file) {
        FailStatement("Path/File access error");
    }
    return std::make_unique<Win32TextFile>(std::move(file));
}

std::optional<std::uint64_t> Win32Platform::FileSize(const std::string& path) const {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(Terminated(path).c_str(), GetFileExInfoStandard, &data)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

void Win32Platform::RenameFile(const std::string& from, const std::string& to) {
    const std::wstring wideFrom = Terminated(from);
    const std::wstring wideTo = Terminated(to);
    if (!::MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        throw SystemError(::GetLastError());
    }
}

bool Win32Platform::RemoveFileIfPresent(const std::string& path) {
    // Named, so that nothing runs between the failing call and the reading of its code.
    const std::wstring widePath = Terminated(path);
    if (::DeleteFileW(widePath.c_str())) {
        return true;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return false;
    }
    throw SystemError(error);
}

void Win32Platform::RemoveFile(const std::string& path) {
    const std::wstring widePath = Terminated(path);
    if (!::DeleteFileW(widePath.c_str())) {
        throw SystemError(::GetLastError());
    }
}

} // namespace launchwick::win32
