#include "text/rootmap.h"

#include "text/pathname.h"
#include "text/textutil.h"

namespace {

unsigned char Fold(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

bool HasControl(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20) return true;
    return false;
}


// Ends with the separator as a character of its own (not as a second byte).
std::string WithSeparator(std::string_view folder, char separator)
{
    std::string out(folder);
    bool endsWithIt = false;
    for (size_t i = 0; i < out.size(); ++i) {
        endsWithIt = out[i] == separator;
        if (IsLeadByte(static_cast<unsigned char>(out[i]))) {
            ++i;
            endsWithIt = false;
        }
    }
    if (!endsWithIt) out += separator;
    return out;
}

std::string WindowsRoot(const RootMapping& m) { return WithSeparator(SwapSeparators(m.windowsRoot, '/', '\\'), '\\'); }
std::string LinuxFolder(const RootMapping& m) { return WithSeparator(m.linuxFolder, '/'); }

// Whether the path begins with the Windows root: ASCII letters in either case, "/" and
// "\" alike, double-byte characters byte for byte.
bool StartsWithWindowsRoot(std::string_view path, std::string_view root)
{
    if (path.size() < root.size()) return false;
    bool trail = false;
    for (size_t i = 0; i < root.size(); ++i) {
        auto a = static_cast<unsigned char>(path[i]), b = static_cast<unsigned char>(root[i]);
        if (!trail) {
            a = a == '/' ? '\\' : Fold(a);
            b = Fold(b);
        }
        if (a != b) return false;
        trail = !trail && IsLeadByte(static_cast<unsigned char>(root[i]));
    }
    return true;
}

} // namespace

std::string SwapSeparators(std::string_view text, char from, char to)
{
    std::string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(out[i])))
            ++i;
        else if (out[i] == from)
            out[i] = to;
    }
    return out;
}

bool HoldsCharacter(std::string_view text, std::string_view bytes)
{
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(text[i])))
            ++i;
        else if (bytes.find(text[i]) != std::string_view::npos)
            return true;
    }
    return false;
}

bool IsUsableMapping(const RootMapping& m)
{
    return IsWindowsPath(m.windowsRoot) && !m.linuxFolder.empty() && m.linuxFolder[0] == '/' &&
           !HasControl(m.windowsRoot) && !HasControl(m.linuxFolder);
}

std::string LocalPath(std::string_view storedPath, const RootMappings& mappings)
{
    const RootMapping* best = nullptr;
    size_t bestLength = 0;
    for (const RootMapping& m : mappings) {
        if (!IsUsableMapping(m)) continue;
        const std::string root = WindowsRoot(m);
        if (root.size() > bestLength && StartsWithWindowsRoot(storedPath, root)) {
            best = &m;
            bestLength = root.size();
        }
    }
    if (!best) return std::string(storedPath);
    return LinuxFolder(*best) + SwapSeparators(storedPath.substr(bestLength), '\\', '/');
}

std::string StoredPath(std::string_view localPath, const RootMappings& mappings)
{
    const RootMapping* best = nullptr;
    size_t bestLength = 0;
    for (const RootMapping& m : mappings) {
        if (!IsUsableMapping(m)) continue;
        const std::string folder = LinuxFolder(m);
        if (folder.size() > bestLength && localPath.substr(0, folder.size()) == folder &&
            !HoldsCharacter(localPath.substr(folder.size()), "\\:")) {
            best = &m;
            bestLength = folder.size();
        }
    }
    if (!best) return std::string(localPath);
    return WindowsRoot(*best) + SwapSeparators(localPath.substr(bestLength), '/', '\\');
}
