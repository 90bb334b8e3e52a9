#pragma once
// The tables of a database, written down once: the group catalogue with one row per
// group, and the file table and sub-group table that each group owns. Their names, the
// order of their columns, the widths of their text columns and the statements that
// create them. Other copies of the program and databases made long ago hold these very
// tables, so none of it may change.
//
// "SELECT *" returns the columns in the order they were created in, and callers read
// result rows by position: the enumerations below are those positions.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class DatabaseSession;

// --- widths of the text columns, in bytes (a double-byte character counts two) --------
inline constexpr size_t kGroupNameWidth = 32;      // GRPNAME
inline constexpr size_t kTitleWidth = 80;          // MTITLE, STITLE
inline constexpr size_t kUserNameWidth = 16;       // PNAME of all three tables
inline constexpr size_t kGroupMemoWidth = 80;      // MEMO1, MEMO2, MEMO3
inline constexpr size_t kPictureNameWidth = 40;    // ICONP
inline constexpr size_t kFileTextWidth = 255;      // FILE_NAME, PATH_NAME, FILE_MEMO
inline constexpr size_t kSubGroupNameWidth = 32;   // SGRPNAME

// --- the group catalogue ----------------------------------------------------------------
inline constexpr const char* kCatalogueTable = "GRPJWW";

enum CatalogueColumn : int { kColN, kColGrpName, kColMTitle, kColSTitle, kColPName, kColMemo1, kColMemo2,
                             kColMemo3, kColIconP, kColX, kColY, kCatalogueColumnCount };
// The column names in that order.
const std::vector<std::string>& CatalogueColumns();

// --- the file table of a group: one row per file entry ----------------------------------
// "GRP1_" and the group number in decimal.
std::string FileTableName(int32_t group);

enum FileTableColumn : int { kFileN, kFileName, kFilePath, kFileMemo, kFilePName, kFileSN, kFileColumnCount };
const std::vector<std::string>& FileColumns();

// --- the sub-group table of a group: the tree under the group ---------------------------
// "GRP2_" and the group number in decimal.
std::string SubGroupTableName(int32_t group);

enum SubGroupColumn : int { kSubN, kSubName, kSubPName, kSubParent, kSubGroupColumnCount };
const std::vector<std::string>& SubGroupColumns();

// --- the texts of the drawings the entries name, read once for every copy ---------------
// Keyed by an entry's PATH_NAME and FILE_NAME bytes; each insert or update takes a new
// STAMP from the sequence, so that a reader can ask for the rows changed since a stamp.
inline constexpr const char* kDrawingTextTable = "KUMO_DRAWINGTEXT";
inline constexpr const char* kDrawingTextStampSequence = "KUMO_DRAWINGTEXT_STAMP";

// --- the program's own table of the entries' fingerprints ------------------------------
// One row per entry that was fingerprinted: its file's size and time when last hashed,
// the content's hash then (HASH) and the content the user filed or confirmed (REF_HASH),
// and a hash of the stored path it was taken for, so that a row left by a deleted entry
// whose number was given again is not taken for the new entry's. Other copies that do
// not know the table never touch it.
inline constexpr const char* kFingerprintTable = "KUMO_FINGERPRINT";
inline constexpr size_t kHashWidth = 32;   // 128 bits in hexadecimal
enum FingerprintColumn : int { kPrintGroup, kPrintN, kPrintSize, kPrintTime, kPrintHash, kPrintRefHash,
                               kPrintPathKey, kFingerprintColumnCount };
const std::vector<std::string>& FingerprintColumns();

// --- creating them ------------------------------------------------------------------------
// Each runs its statement through the session's ExecuteStatement: in a transaction of
// its own, or inside the open unit of work. True when the table was created.
bool CreateCatalogueTable(DatabaseSession& session);
bool CreateFileTable(DatabaseSession& session, const std::string& name);
bool CreateSubGroupTable(DatabaseSession& session, const std::string& name);
// The drawing-text table and its stamp sequence, together.
bool CreateDrawingTextTable(DatabaseSession& session);
bool CreateFingerprintTable(DatabaseSession& session);

// A descending index on a table's N, so that SELECT MAX(N) is answered from the index
// instead of a read of every row. Added only while no other attachment holds uncommitted
// writes in the table: the server's index build waits for those without a time-out. True
// when the index is there after; the index only speeds up, so callers may ignore false.
std::string NumberIndexName(const std::string& table);
bool AddNumberIndex(DatabaseSession& session, const std::string& table);
