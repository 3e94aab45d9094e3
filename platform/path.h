// Path rules of this platform: "/" is the only folder separator; ":" is an ordinary
// character.
#pragma once

#include <string>
#include <string_view>

// The path up to and including its last "/"; empty when it has none.
std::string FolderPart(std::string_view path);

// The path after its last "/": the file name without its folder.
std::string FileNamePart(std::string_view path);

// The path made absolute against the current folder, with "." and ".." segments
// resolved lexically (links are not followed). An absolute path is only normalised.
std::string FullPath(std::string_view path);

// True when the path names an existing file of any kind but a folder.
bool FileExists(const std::string& path);
