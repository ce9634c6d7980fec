#include "Paths.h"

#include <algorithm>

namespace launchwick {

std::string FolderOfPath(std::string_view path) {
    const auto slash = path.find_last_of('\\');
    if (slash == std::string_view::npos) {
        return std::string();
    }
    // "C:\x.exe" lives in "C:\", not in "C:"; likewise "\x.exe" in "\".
    if (slash == 0 || path[slash - 1] == ':') {
        return std::string(path.substr(0, slash + 1));
    }
    return std::string(path.substr(0, slash));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string joined(folder);
    if (!joined.empty() && joined.back() != '\\' && joined.back() != '/') {
        joined += '\\';
    }
    return joined.append(name);
}

bool IsAbsolutePath(std::string_view path) {
    const auto separator = [&](std::size_t at) {
        return at < path.size() && (path[at] == '\\' || path[at] == '/');
    };
    return (path.size() >= 2 && path[1] == ':') || (separator(0) && separator(1));
}

std::string AbsolutePath(std::string_view path, std::string_view folder) {
    if (IsAbsolutePath(path)) {
        return std::string(path);
    }
    if (!path.empty() && (path.front() == '\\' || path.front() == '/')) {
        // From the root of the folder's drive ("C:") or share ("\\server\share").
        std::size_t root = 2;
        if (!(folder.size() >= 2 && folder[1] == ':')) {
            root = folder.find_first_of("\\/", folder.find_first_of("\\/", 2) + 1);
        }
        return std::string(folder.substr(0, root)) + std::string(path);
    }
    return JoinPath(folder, path);
}

std::string FullPath(std::string_view path, std::string_view folder) {
    if (path.size() >= 2 && path[1] == ':' && (path.size() == 2 || (path[2] != '\\' && path[2] != '/'))) {
        return std::string(path);
    }
    std::string whole = AbsolutePath(path, folder);
    std::replace(whole.begin(), whole.end(), '/', '\\');
    std::size_t root = 0; // the part kept as it is: "C:\", "\\server\share\", "\"
    if (whole.rfind("\\\\", 0) == 0) {
        const auto server = whole.find('\\', 2);
        const auto share = server == std::string::npos ? server : whole.find('\\', server + 1);
        root = share == std::string::npos ? whole.size() : share + 1;
    } else if (whole.size() >= 2 && whole[1] == ':') {
        root = std::min<std::size_t>(3, whole.size());
    } else if (!whole.empty() && whole.front() == '\\') {
        root = 1;
    }
    std::string full = whole.substr(0, root);
    for (std::size_t start = root; start < whole.size();) {
        const std::size_t end = std::min(whole.find('\\', start), whole.size());
        const std::string_view part = std::string_view(whole).substr(start, end - start);
        if (part == "..") {
            const std::size_t slash = full.rfind('\\');
            full.resize(slash == std::string::npos || slash < root ? root : slash);
        } else if (!part.empty() && part != ".") {
            full += full.size() > root ? "\\" : "";
            full += part;
        }
        start = end + 1;
    }
    return full;
}

} // namespace launchwick
