#include "text/pathname.h"

#include "text/textutil.h"

namespace {

// Position just after the last separator (0 when there is none).
size_t NameStart(std::string_view path)
{
    const bool windows = IsWindowsPath(path);
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(path[i]))) {
            ++i;
            continue;
        }
        if (path[i] == '/' || (windows && (path[i] == '\\' || path[i] == ':'))) start = i + 1;
    }
    return start;
}

} // namespace

bool IsWindowsPath(std::string_view path)
{
    if (!path.empty() && path[0] == '\\') return true;
    const auto c = path.size() >= 2 ? static_cast<unsigned char>(path[0]) : 0;
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':';
}

std::string PathFolder(std::string_view path) { return std::string(path.substr(0, NameStart(path))); }

std::string PathFileName(std::string_view path) { return std::string(path.substr(NameStart(path))); }

std::string FileTypeOf(std::string_view fileName)
{
    const std::string_view name = fileName.substr(NameStart(fileName));
    size_t dot = std::string_view::npos;
    for (size_t i = 0; i < name.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(name[i])))
            ++i;
        else if (name[i] == '.')
            dot = i;
    }
    if (dot == std::string_view::npos) return {};
    std::string type(name.substr(dot));
    for (size_t i = 0; i < type.size(); ++i) {
        const auto c = static_cast<unsigned char>(type[i]);
        if (IsLeadByte(c))
            ++i;
        else if (c >= 'A' && c <= 'Z')
            type[i] = static_cast<char>(c + ('a' - 'A'));
    }
    return type;
}
