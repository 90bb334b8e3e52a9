#include "drawingtexttable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

bool StoreDrawingTexts(DatabaseSession& session, const std::string& folder, const std::string& file,
                       const std::vector<TestText>& texts, int state, const std::string& memo)
{
    QJsonArray list;
    for (const TestText& t : texts)
        list.append(QJsonObject{{"text", QString::fromStdString(t.text)},
                                {"box_mm", QJsonArray{t.x0, t.y0, t.x1, t.y1}},
                                {"layer", "0-0"},
                                {"block", false}});
    const QJsonObject line{{"format", "jww"}, {"memo", QString::fromStdString(memo)}, {"texts", list}, {"cut_bytes", 0}};
    std::string json = QJsonDocument(line).toJson(QJsonDocument::Compact).toStdString();
    // A statement holds at most 64 KiB: a long line goes in pieces, the stamp taken once.
    const auto literal = [&json](size_t from) {
        std::string l;
        for (char c : json.substr(from, 20000)) l += c == '\'' ? std::string("''") : std::string(1, c);
        return "'" + l + "'";
    };
    const std::string where = " WHERE FOLDER = '" + folder + "' AND FNAME = '" + file + "'";
    if (!session.ExecuteStatement({"UPDATE OR INSERT INTO KUMO_DRAWINGTEXT (FOLDER, FNAME, FSIZE, FTIME, STATE, TEXTS, STAMP)",
                                   " VALUES ('" + folder + "', '" + file + "', 1, 1, " + std::to_string(state) + ", " +
                                       literal(0) + ", NEXT VALUE FOR KUMO_DRAWINGTEXT_STAMP)",
                                   " MATCHING (FOLDER, FNAME)"}))
        return false;
    for (size_t from = 20000; from < json.size(); from += 20000)
        if (!session.ExecuteStatement({"UPDATE KUMO_DRAWINGTEXT SET TEXTS = TEXTS || " + literal(from) + where})) return false;
    return true;
}
