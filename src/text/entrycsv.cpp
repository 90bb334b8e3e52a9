#include "text/entrycsv.h"

#include <string_view>

#include <QSaveFile>

#include "text/cp932.h"

std::string CsvField(const std::string& utf8)
{
    // Memos come from other firms' drawings and names from anyone: a cell that a
    // spreadsheet would take for a formula (=HYPERLINK(…), +1+1, @SUM) is kept as text
    // by the apostrophe that spreadsheets show as text and do not display.
    const bool formula = !utf8.empty() && std::string_view("=+-@\t\r").find(utf8.front()) != std::string_view::npos;
    const std::string cell = formula ? "'" + utf8 : utf8;
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    std::string quoted = "\"";
    for (char c : cell) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

std::string EntriesCsvText(const std::vector<CsvEntry>& entries)
{
    std::string out = "\xEF\xBB\xBF"
                      "グループ,サブグループ,フォルダ,ファイル名,メモ,登録者,番号\r\n";
    for (const CsvEntry& e : entries) {
        bool first = true;
        for (const std::string* cell : {&e.group, &e.subGroup, &e.folder, &e.file, &e.memo, &e.addedBy, &e.number}) {
            if (!first) out += ',';
            first = false;
            out += CsvField(Cp932ToUtf8(*cell));
        }
        out += "\r\n";
    }
    return out;
}

bool WriteEntriesCsv(const QString& path, const std::vector<CsvEntry>& entries)
{
    const std::string out = EntriesCsvText(entries);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(out.data(), static_cast<qint64>(out.size())) != static_cast<qint64>(out.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
