#include "shell/searchcommand.h"

#include "platform/platform.h"
#include "search/textsearch.h"
#include "text/cp932.h"
#include "text/entrycsv.h"

namespace {

class NeverDown : public EscapeKey {
public:
    bool IsDown() const override { return false; }
};

// A field of a line: tabs and line ends in stored text would split it.
std::string Field(const std::string& cp932)
{
    std::string utf8 = Cp932ToUtf8(cp932);
    for (char& c : utf8)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return utf8;
}

} // namespace

bool IsSearchCommand(const QStringList& arguments) { return arguments.value(1) == "--search"; }

std::optional<SearchCommand> ParseSearchCommand(const QStringList& args, std::ostream& err)
{
    if (!IsSearchCommand(args)) return std::nullopt;
    const auto wrong = [&err] {
        err << "使い方: kumolist --search 検索文字 [--in folder|name|memo|text|all] [--csv]\n";
        return std::nullopt;
    };
    if (args.size() < 3) return wrong();
    SearchCommand c;
    const std::optional<std::string> text = FromQExact(args[2]);
    if (!text || CheckSearchText(*text) == SearchRefusal::Blank) {
        err << "検索文字が空か、シフトJISで表せない文字があります\n";
        return std::nullopt;
    }
    c.text = *text;
    for (int i = 3; i < args.size(); ++i) {
        if (args[i] == "--csv") {
            c.csv = true;
        } else if (args[i] == "--in" && i + 1 < args.size()) {
            const QString way = args[++i];
            if (way == "folder") c.column = SearchColumn::Folder;
            else if (way == "name") c.column = SearchColumn::FileName;
            else if (way == "memo") c.column = SearchColumn::Memo;
            else if (way == "text") c.column = SearchColumn::DrawingText;
            else if (way == "all") c.column = SearchColumn::Everything;
            else return wrong();
        } else {
            return wrong();
        }
    }
    const bool throughIndex = c.column == SearchColumn::DrawingText || c.column == SearchColumn::Everything;
    if (!throughIndex && CheckSearchText(c.text) == SearchRefusal::Quote) {
        err << kQuoteRefusal << "\n";
        return std::nullopt;
    }
    return c;
}

int RunSearchCommand(const SearchCommand& command, DatabaseSession& session, const QString& indexFolder,
                     std::ostream& out, std::ostream& err)
{
    // Not attached is no empty database.
    if (!session.Connected()) {
        err << "データベースとの接続が切れました。\n";
        return 2;
    }
    std::vector<SearchLine> hits;
    const SearchSink sink = [&hits](std::vector<SearchLine>& lines) {
        for (SearchLine& l : lines)
            if (!l.isGroup) hits.push_back(std::move(l));
    };
    const NeverDown never;
    const bool throughIndex = command.column == SearchColumn::DrawingText || command.column == SearchColumn::Everything;
    const SearchEnd end = throughIndex ? SearchTexts(session, indexFolder, command.column, command.text, {}, never, sink)
                                       : SearchAllGroups(session, command.column, command.text, {}, never, sink);
    session.EndRead();
    switch (end) {
    case SearchEnd::Finished: break;
    case SearchEnd::ConnectionLost: err << "データベースとの接続が切れました。\n"; return 2;
    case SearchEnd::IndexFailed: err << "図面の文字の索引を開けませんでした\n"; return 2;
    case SearchEnd::ReadFailed:
    case SearchEnd::Stopped: err << "データベースから読めませんでした\n"; return 2;
    }
    if (command.csv) {
        std::vector<CsvEntry> entries;
        for (const SearchLine& l : hits) entries.push_back({l.groupName, l.subGroupName, l.folder, l.file, l.memo, l.addedBy, l.entryNumber});
        out << EntriesCsvText(entries);
    } else {
        for (const SearchLine& l : hits) {
            out << l.group << '\t' << Field(l.groupName) << '\t' << Field(l.subGroupName) << '\t' << Field(l.folder) << '\t'
                << Field(l.file);
            if (l.box || !l.around.empty()) out << '\t' << Field(l.around);
            out << '\n';
        }
    }
    return hits.empty() ? 1 : 0;
}
