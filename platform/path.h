// Path rules of this platform: "/" is the only folder separator; ":" is an ordinary
// character.
#pragma once

#include <string>
#include <string_view>

namespace userdb::platform {

// The path up to and including its last "/"; empty when it has none.
std::string FolderPart(std::string_view path);

// The path after its last "/": the file name without its folder.
std::string FileNamePart(std::string_view path);

// The file name without its extension: "userdb-transform" stays as it is, "tool.bin" becomes
// "tool", ".hidden" stays.
std::string FileNameWithoutExtension(std::string_view path);

// The path made absolute against the current folder, with "." and ".." segments
// resolved lexically (links are not followed). An absolute path is only normalised.
std::string FullPath(std::string_view path);

// The path with symbolic links resolved, made absolute; the path itself when it names no
// existing file.
std::string ResolvedPath(const std::string& path);

// True when the path names an existing regular file (also through symbolic links): not a
// folder, device, named pipe or socket.
bool FileExists(const std::string& path);

}  // namespace userdb::platform
