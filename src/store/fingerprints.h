#pragma once
// Fingerprints of the entries' files: size, time and a 128-bit hash of the content, in
// the program's own table (db/schema.h). A row holds the content last seen and the one
// the user filed or confirmed; the entry's drawing changed when the two differ. Rows are
// keyed by group and entry number and carry a hash of the stored path they were taken
// for: a row whose entry is gone, or whose number now names another file, is stale and
// never answers for the entry.
#include <functional>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/session.h"

// What a file held when it was read.
struct FileContent {
    std::uint64_t size = 0;
    std::int64_t time = 0;   // modification, seconds since the epoch
    std::string hash;        // 32 lower-case hexadecimal digits
};

// Files larger than this are not hashed: reading them would hold the reader for minutes.
inline constexpr std::uint64_t kMaxHashedBytes = std::uint64_t(16) << 30;

// Reads a regular file (fsPath in the file system's encoding) once, front to back, and
// hashes it (XXH3-128). Nullopt when it is no regular file, cannot be read whole, is
// larger than kMaxHashedBytes, changed size while read, or stop was set meanwhile.
// stopped is asked between two reads of a megabyte.
std::optional<FileContent> HashFile(const std::string& fsPath, const std::function<bool()>& stopped = {});

// The hash of bytes, as HashFile writes it.
std::string HashBytes(const std::string& bytes);

// The key of a stored path (PATH_NAME and FILE_NAME joined, as stored).
inline std::string PathKey(const std::string& storedPath) { return HashBytes(storedPath); }

struct Fingerprint {
    std::int32_t group = 0;
    std::int32_t number = 0;
    std::int64_t size = 0;
    std::int64_t time = 0;
    std::string hash, reference, pathKey;
    // The content differs from the one filed or confirmed.
    bool Changed() const { return !hash.empty() && !reference.empty() && hash != reference; }
};

// The row a fresh reading makes: the reference kept when the old row was taken for the
// same stored path, else the content now (a new entry, or a number given again).
Fingerprint NextFingerprint(const std::optional<Fingerprint>& old, std::int32_t group, std::int32_t number,
                            const std::string& pathKey, const FileContent& content);

// Creates the table when it is missing; false when it is not there after.
bool EnsureFingerprintTable(DatabaseSession& session);

// The rows of a group (all groups when 0), of the given entries only when numbers is not
// empty, or of one content when hash is not empty; an absent table has none. Nullopt
// when they could not be read.
std::optional<std::vector<Fingerprint>> ReadFingerprints(DatabaseSession& session, std::int32_t group,
                                                         const std::vector<std::int32_t>& numbers = {},
                                                         const std::string& hash = {});
// The hashes that more than one row holds; nullopt when they could not be read.
std::optional<std::vector<std::string>> SharedHashes(DatabaseSession& session);

// Writes the rows (inserted or replaced) and deletes the rows of `gone` (entries of
// `goneGroup` no longer there) as one unit of work: all or none.
bool StoreFingerprints(DatabaseSession& session, const std::vector<Fingerprint>& rows, std::int32_t goneGroup = 0,
                       const std::vector<std::int32_t>& gone = {});

// The content last seen taken as the reference of the entries. False when not stored.
bool AcceptContent(DatabaseSession& session, std::int32_t group, const std::vector<std::int32_t>& numbers);
