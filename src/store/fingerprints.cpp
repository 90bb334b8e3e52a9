#include "store/fingerprints.h"

#include <cerrno>
#include <algorithm>
#include <charconv>
#include <functional>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <xxhash.h>

#include "db/schema.h"
#include "store/reads.h"
#include "text/textutil.h"

namespace {

constexpr size_t kReadChunk = size_t(1) << 20;
// Rows written or read by one statement's list of numbers (the server takes up to 1 500).
constexpr size_t kNumbersAStatement = 500;
// Rows written by one EXECUTE BLOCK: one round trip for many. Each statement in it takes
// contexts of the server's 256 a request, and its text some 200 bytes of the 64 KiB.
constexpr size_t kRowsABlock = 40;

std::string Hex(const XXH128_hash_t& h)
{
    XXH128_canonical_t c;
    XXH128_canonicalFromHash(&c, h);
    static const char digits[] = "0123456789abcdef";
    std::string text(kHashWidth, '0');
    for (size_t i = 0; i < sizeof c.digest; ++i) {
        text[2 * i] = digits[c.digest[i] >> 4];
        text[2 * i + 1] = digits[c.digest[i] & 15];
    }
    return text;
}

std::int64_t ToInt64(const std::string& text)
{
    std::int64_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// A stored hash is kHashWidth hexadecimal digits or nothing; anything else (another
// copy's damage) counts as nothing.
std::string StoredHash(const std::string& text)
{
    const std::string trimmed = TrimText(text);
    if (trimmed.size() != kHashWidth) return {};
    for (char c : trimmed)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return {};
    return trimmed;
}

std::string NumberList(const std::vector<std::int32_t>& numbers, size_t from, size_t to)
{
    std::string list;
    for (size_t i = from; i < to; ++i) list += (i == from ? "" : ",") + IntToStr(numbers[i]);
    return list;
}

bool InUnit(DatabaseSession& session, const std::function<bool()>& work)
{
    if (session.InWork()) return work();
    if (!session.BeginWork()) return false;
    if (work()) return session.CommitWork();
    session.RollbackWork();
    return false;
}

bool StoreFingerprintsOnce(DatabaseSession& session, const std::vector<Fingerprint>& rows, std::int32_t goneGroup,
                           const std::vector<std::int32_t>& gone);

} // namespace

std::string HashBytes(const std::string& bytes) { return Hex(XXH3_128bits(bytes.data(), bytes.size())); }

std::optional<FileContent> HashFile(const std::string& fsPath, const std::function<bool()>& stopped)
{
    // O_NONBLOCK: a FIFO put under the file's name must not hold the reader.
    const int fd = ::open(fsPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) return std::nullopt;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > kMaxHashedBytes) return std::nullopt;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(), &XXH3_freeState);
    if (!state || XXH3_128bits_reset(state.get()) != XXH_OK) return std::nullopt;
    const std::unique_ptr<char[]> buffer(new char[kReadChunk]);
    std::uint64_t read = 0;
    for (;;) {
        if (stopped && stopped()) return std::nullopt;
        const ssize_t n = ::read(fd, buffer.get(), kReadChunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (n == 0) break;
        read += static_cast<std::uint64_t>(n);
        // A file written meanwhile gives no content of any one moment.
        if (read > size) return std::nullopt;
        XXH3_128bits_update(state.get(), buffer.get(), static_cast<size_t>(n));
    }
    struct stat after {};
    if (read != size || ::fstat(fd, &after) != 0 || after.st_size != st.st_size || after.st_mtime != st.st_mtime)
        return std::nullopt;
    return FileContent{size, static_cast<std::int64_t>(st.st_mtime), Hex(XXH3_128bits_digest(state.get()))};
}

Fingerprint NextFingerprint(const std::optional<Fingerprint>& old, std::int32_t group, std::int32_t number,
                            const std::string& pathKey, const FileContent& content)
{
    Fingerprint f;
    f.group = group;
    f.number = number;
    f.size = static_cast<std::int64_t>(content.size);
    f.time = content.time;
    f.hash = content.hash;
    f.pathKey = pathKey;
    const bool same = old && old->pathKey == pathKey && !old->reference.empty();
    f.reference = same ? old->reference : content.hash;
    return f;
}

bool EnsureFingerprintTable(DatabaseSession& session)
{
    const std::optional<bool> present = TablePresent(session, kFingerprintTable);
    if (!present) return false;
    if (*present) return true;
    if (CreateFingerprintTable(session)) return true;
    // Another copy may have made it meanwhile.
    return TablePresent(session, kFingerprintTable).value_or(false);
}

std::optional<std::vector<Fingerprint>> ReadFingerprints(DatabaseSession& session, std::int32_t group,
                                                         const std::vector<std::int32_t>& numbers,
                                                         const std::string& hash)
{
    const std::optional<bool> present = TablePresent(session, kFingerprintTable);
    if (!present) return std::nullopt;
    std::vector<Fingerprint> prints;
    if (!*present) return prints;
    std::string condition = group > 0 ? "GRP=" + IntToStr(group) : "";
    if (!hash.empty()) condition += (condition.empty() ? "" : " AND ") + std::string("HASH=") + TextLiteral(hash);
    const std::vector<std::string>& column = FingerprintColumns();
    std::string columns;
    for (size_t i = 0; i < column.size(); ++i) columns += (i ? "," : "") + column[i];
    const size_t parts = numbers.empty() ? 1 : (numbers.size() + kNumbersAStatement - 1) / kNumbersAStatement;
    for (size_t part = 0; part < parts; ++part) {
        std::string where = condition;
        if (!numbers.empty()) {
            const size_t from = part * kNumbersAStatement;
            const size_t to = std::min(numbers.size(), from + kNumbersAStatement);
            where += (where.empty() ? "" : " AND ") + std::string("N IN (") + NumberList(numbers, from, to) + ")";
        }
        const std::optional<std::vector<TextRow>> rows = ReadRows(session, columns, kFingerprintTable, where, "GRP, N");
        if (!rows) return std::nullopt;
        for (const TextRow& row : *rows) {
            if (row.size() < kFingerprintColumnCount) return std::nullopt;
            Fingerprint f;
            f.group = StrToIntOrZero(row[kPrintGroup]);
            f.number = StrToIntOrZero(row[kPrintN]);
            f.size = ToInt64(row[kPrintSize]);
            f.time = ToInt64(row[kPrintTime]);
            f.hash = StoredHash(row[kPrintHash]);
            f.reference = StoredHash(row[kPrintRefHash]);
            f.pathKey = StoredHash(row[kPrintPathKey]);
            prints.push_back(std::move(f));
        }
    }
    return prints;
}

std::optional<std::vector<std::string>> SharedHashes(DatabaseSession& session)
{
    const std::optional<bool> present = TablePresent(session, kFingerprintTable);
    if (!present) return std::nullopt;
    std::vector<std::string> hashes;
    if (!*present) return hashes;
    std::vector<TextRow> rows;
    if (!session.SelectStatement({"SELECT HASH FROM " + std::string(kFingerprintTable),
                                  "   WHERE HASH IS NOT NULL GROUP BY HASH HAVING COUNT(*) > 1 ORDER BY HASH;"},
                                 rows))
        return std::nullopt;
    for (const TextRow& row : rows)
        if (!row.empty() && !StoredHash(row[0]).empty()) hashes.push_back(StoredHash(row[0]));
    return hashes;
}

bool StoreFingerprints(DatabaseSession& session, const std::vector<Fingerprint>& rows, std::int32_t goneGroup,
                       const std::vector<std::int32_t>& gone)
{
    if (rows.empty() && gone.empty()) return true;
    // Another worker (the group window's and the link check's, or another copy's) may be
    // storing the same rows: ours waits for its commit, then meets a conflict (or, where both
    // inserted, a taken key). The rows are whole and stored as one unit, so they are stored
    // again over the other's.
    for (int attempt = 0;; ++attempt) {
        if (StoreFingerprintsOnce(session, rows, goneGroup, gone)) return true;
        const DbFailure failure = session.LastFailure();
        if (attempt == 2 || session.InWork() || (failure != DbFailure::Conflict && failure != DbFailure::UniqueKey)) return false;
    }
}

namespace {

bool StoreFingerprintsOnce(DatabaseSession& session, const std::vector<Fingerprint>& rows, std::int32_t goneGroup,
                           const std::vector<std::int32_t>& gone)
{
    return InUnit(session, [&] {
        for (size_t from = 0; from < gone.size(); from += kNumbersAStatement) {
            const size_t to = std::min(gone.size(), from + kNumbersAStatement);
            if (!session.DeleteRecords(kFingerprintTable,
                                       "GRP=" + IntToStr(goneGroup) + " AND N IN (" + NumberList(gone, from, to) + ")"))
                return false;
        }
        for (size_t from = 0; from < rows.size(); from += kRowsABlock) {
            std::vector<std::string> lines{"EXECUTE BLOCK AS BEGIN"};
            for (size_t i = from; i < std::min(rows.size(), from + kRowsABlock); ++i) {
                const Fingerprint& f = rows[i];
                lines.push_back("  UPDATE OR INSERT INTO " + std::string(kFingerprintTable) +
                                " (GRP, N, FSIZE, FTIME, HASH, REF_HASH, PATH_HASH) VALUES (" + IntToStr(f.group) + ", " +
                                IntToStr(f.number) + ", " + IntToStr(f.size) + ", " + IntToStr(f.time) + ", " +
                                TextLiteral(f.hash) + ", " + TextLiteral(f.reference) + ", " + TextLiteral(f.pathKey) +
                                ") MATCHING (GRP, N);");
            }
            lines.push_back("END");
            if (!session.ExecuteStatement(lines)) return false;
        }
        return true;
    });
}

} // namespace

bool AcceptContent(DatabaseSession& session, std::int32_t group, const std::vector<std::int32_t>& numbers)
{
    if (numbers.empty()) return true;
    return InUnit(session, [&] {
        for (size_t from = 0; from < numbers.size(); from += kNumbersAStatement) {
            const size_t to = std::min(numbers.size(), from + kNumbersAStatement);
            const std::string where = "GRP=" + IntToStr(group) + " AND N IN (" + NumberList(numbers, from, to) + ")";
            // An entry without a row has nothing to confirm: no row changed is no failure.
            if (!session.ExecuteStatement({"UPDATE " + std::string(kFingerprintTable) + " SET REF_HASH=HASH",
                                           "   WHERE " + where + ";"}))
                return false;
        }
        return true;
    });
}
