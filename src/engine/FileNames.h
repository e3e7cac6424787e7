#pragma once
#include <string>

namespace morv {

/// The path less its extension: the last dot of the path's last part and what
/// follows it, whatever its length ("maps/Vale.jpeg" -> "maps/Vale"). A part
/// without a dot, or whose only dot is its first character (".hidden"), has no
/// extension and comes back whole.
std::string withoutExtension(const std::string& path);

/// The extension without its dot ("jpeg"), or empty when the path has none.
std::string extensionOf(const std::string& path);

}  // namespace morv
