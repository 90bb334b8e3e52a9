#pragma once
// Folders that Windows PCs and this one reach under different names: a file server is
// "Z:\" or "\\server\share\" there and "/mnt/zumen/" here. Entries keep the Windows form,
// so that colleagues on Windows find the file; this program looks at the disk under the
// Linux form. Texts are CP932.
#include <string>
#include <string_view>
#include <vector>

struct RootMapping {
    std::string windowsRoot;   // a drive or a network share, with or without its last "\"
    std::string linuxFolder;   // an absolute folder, with or without its last "/"
};
using RootMappings = std::vector<RootMapping>;

// Whether the pair can be used: a Windows path and an absolute Linux folder, neither
// holding a control character.
bool IsUsableMapping(const RootMapping& mapping);

// The path at which this program finds a stored path: one below a mapped Windows root
// (compared without regard to ASCII case, "/" taken as "\") becomes the Linux folder with
// the rest's "\" read as "/". The longest root wins; any other path comes back unchanged.
std::string LocalPath(std::string_view storedPath, const RootMappings& mappings);

// The form to store for a path of this system: one below a mapped Linux folder becomes
// the Windows root with the rest's "/" written "\". A rest holding "\" or ":" cannot be
// named on Windows and stays in the Linux form, as does every other path.
std::string StoredPath(std::string_view localPath, const RootMappings& mappings);

// The text with every separator byte that starts a character replaced; second bytes of
// double-byte characters (ソ is 0x83 0x5C) stay.
std::string SwapSeparators(std::string_view text, char from, char to);
// Whether one of the bytes starts a character of the text (not a second byte).
bool HoldsCharacter(std::string_view text, std::string_view bytes);
