// Path text rules shared by every layer: "/" separates, "/" alone is the root.
#pragma once

#include <string>

namespace qv {

// dir + "/" + name; no separator after a dir that already ends in "/" (the root), and just
// name after an empty dir.
std::string JoinPath(const std::string& dir, const std::string& name);

// The directory part of a path: everything before its last "/", "/" for a file in the root,
// and "" for a bare name.
std::string DirectoryPart(const std::string& path);

// The part after the last "/" (the whole text when there is none).
std::string FileNamePart(const std::string& path);

// The extension of a file name from its last "." ("" when it has none), as written.
std::string ExtensionOf(const std::string& name);

// The path with "." components, repeated separators and a trailing separator removed, and each
// ".." taking away the component before it, all by the text alone (no link is followed, so the
// result names the folders as the user wrote them). ".." at the root stays at the root; a
// relative path keeps the ".." it cannot take away, and an empty result is ".".
std::string NormalisePath(const std::string& path);

// ASCII lower case, for the program's case-insensitive comparisons of extensions and switches.
std::string AsciiLower(std::string text);

} // namespace qv
