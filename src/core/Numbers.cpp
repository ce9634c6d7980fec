#include "Numbers.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>

namespace launchwick {

std::string TrimSpaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

// Own digits rather than std::to_string, whose tables the program has no other use for; the Win32 layer
// pads these for its dates.
std::string Str(long long value) {
    char digits[20];
    char* first = std::end(digits);
    const auto bits = static_cast<unsigned long long>(value);
    unsigned long long magnitude = value < 0 ? 0ULL - bits : bits;
    do {
        *--first = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    std::string text(value < 0 ? "-" : "");
    text.append(first, std::end(digits));
    return text;
}

std::int32_t ToInt32(std::string_view text) {
    const std::string t = TrimSpaces(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    // Whole part; digits beyond the range fail early, so long digit strings cannot overflow here.
    long long whole = 0;
    std::size_t digits = 0;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++digits) {
        whole = whole * 10 + (t[i] - '0');
        if (whole > 4'294'967'296LL) {
            FailStatement("Overflow");
        }
    }
    // Optional fraction, rounded half to even like the rest of the program's conversions.
    double fraction = 0.0;
    if (i < t.size() && t[i] == '.') {
        ++i;
        double scale = 0.1;
        for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i, ++digits) {
            fraction += (t[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (digits == 0 || i != t.size()) {
        FailStatement("Type mismatch");
    }
    const double value = static_cast<double>(whole) + fraction;
    return RoundHalfEven(negative ? -value : value);
}

std::int32_t RoundHalfEven(double value) {
    // The default rounding mode is half to even.
    return Checked<std::int32_t>(static_cast<long long>(std::nearbyint(value)));
}

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

std::string UpperCase(std::string_view original) {
    std::string text(original);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
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
    std::string absolute(folder);
    if (!absolute.empty() && absolute.back() != '\\' && absolute.back() != '/') {
        absolute += '\\';
    }
    return absolute + std::string(path);
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
