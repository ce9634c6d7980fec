// Paths as the system spells them: a drive or share, "\" between the parts, "/" taken as "\" where the
// system takes it so. Only text: nothing here asks the system whether a path is there.
#pragma once

#include <string>
#include <string_view>

namespace launchwick {

// The folder part of a path, without its trailing backslash except at a root such as "C:\" or "\";
// empty when the path has no backslash.
std::string FolderOfPath(std::string_view path);

// name in folder: folder, a backslash, name; no backslash when folder is empty or already ends in a
// separator ("C:\").
std::string JoinPath(std::string_view folder, std::string_view name);

// True for a path that names its drive and root ("C:\x", "C:/x"), a drive alone ("C:x", whose folder
// only the system knows) or a network share ("\\server\share").
bool IsAbsolutePath(std::string_view path);
// path taken from folder (an absolute folder): unchanged when absolute, on folder's drive or share when it
// starts at a root ("\x"), otherwise appended to folder.
std::string AbsolutePath(std::string_view path, std::string_view folder);
// The same, then with "/" as "\" and "." and ".." resolved: the one spelling of a path, for comparing two.
// A drive alone ("C:x") is left as it is: its folder only the system knows.
std::string FullPath(std::string_view path, std::string_view folder);

} // namespace launchwick
