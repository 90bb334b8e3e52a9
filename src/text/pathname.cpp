#include "text/pathname.h"

#include "text/textutil.h"

namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\' || c == ':'; }

// Position just after the last separator (0 when there is none).
size_t NameStart(std::string_view path)
{
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(path[i]))) {
            ++i;
            continue;
        }
        if (IsSeparator(path[i])) start = i + 1;
    }
    return start;
}

} // namespace

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
