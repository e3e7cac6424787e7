#include "engine/FileNames.h"

namespace morv {

std::string withoutExtension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t part = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot <= part) return path;
    return path.substr(0, dot);
}

std::string extensionOf(const std::string& path) {
    const std::size_t stem = withoutExtension(path).size();
    return stem == path.size() ? std::string() : path.substr(stem + 1);
}

}  // namespace morv
