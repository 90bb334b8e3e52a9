// Stores the texts of the drawings that group 1 of a board made by kumo_seedboard names,
// in the shared table of drawing texts, as the reading of texts stores them; for
// tools/screenshot-search.sh.
//
//   kumo_seedtexts <data folder/>
#include <cstdio>
#include <string>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "db/schema.h"
#include "db/session.h"
#include "drawing/drawingfile.h"
#include "drawing/drawingrender.h"
#include "text/cp932.h"

namespace {

std::string Literal(const std::string& text)
{
    std::string l = "'";
    for (char c : text) l += c == '\'' ? std::string("''") : std::string(1, c);
    return l + "'";
}

QJsonObject TextsOf(const JwwDrawing& d)
{
    QJsonArray texts;
    const auto add = [&texts](const DrawingText& t) {
        const double x0 = std::min(t.x1, t.x2), x1 = std::max(t.x1, t.x2);
        const double y0 = std::min(t.y1, t.y2), y1 = std::max(t.y1, t.y2) + t.sizeY;
        texts.append(QJsonObject{{"text", DrawingStringText(t.content)}, {"box_mm", QJsonArray{x0, y0, x1, y1}}, {"block", false}});
    };
    for (const DrawingText& t : d.entities.texts) add(t);
    return QJsonObject{{"format", "jww"}, {"memo", DrawingStringText(d.memo)}, {"texts", texts}, {"cut_bytes", 0}};
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <data folder/>\n", argv[0]);
        return 2;
    }
    DatabaseSettings settings;
    settings.dataFolder = argv[1];
    DatabaseSession session(settings);
    session.ConnectDatabase();
    std::vector<TextRow> entries;
    if (!session.Connected() ||
        !session.ExecuteStatement({"CREATE TABLE KUMO_DRAWINGTEXT (FOLDER VARCHAR(255) NOT NULL, FNAME VARCHAR(255) NOT NULL,",
                                   " FSIZE BIGINT, FTIME BIGINT, STATE SMALLINT, TEXTS BLOB SUB_TYPE 0, STAMP BIGINT,",
                                   " PRIMARY KEY (FOLDER, FNAME))"}) ||
        !session.ExecuteStatement({"CREATE SEQUENCE KUMO_DRAWINGTEXT_STAMP"}) ||
        !session.SelectStatement({"SELECT PATH_NAME, FILE_NAME FROM " + FileTableName(1), ";"}, entries)) {
        std::fprintf(stderr, "no database: %s\n", session.LastError().c_str());
        return 1;
    }
    for (const TextRow& e : entries) {
        JwwDrawing d;
        if (e.size() != 2 || !ReadDrawingFile(ToFsName(e[0] + e[1]), d)) continue;
        const std::string json = QJsonDocument(TextsOf(d)).toJson(QJsonDocument::Compact).toStdString();
        const std::string where = " WHERE FOLDER = " + Literal(e[0]) + " AND FNAME = " + Literal(e[1]);
        bool ok = session.ExecuteStatement({"INSERT INTO KUMO_DRAWINGTEXT VALUES (" + Literal(e[0]) + ", " + Literal(e[1]) +
                                            ", 0, 0, 0, " + Literal(json.substr(0, 20000)) +
                                            ", NEXT VALUE FOR KUMO_DRAWINGTEXT_STAMP)"});
        for (size_t at = 20000; ok && at < json.size(); at += 20000)
            ok = session.ExecuteStatement({"UPDATE KUMO_DRAWINGTEXT SET TEXTS = TEXTS || " + Literal(json.substr(at, 20000)) + where});
        if (!ok) {
            std::fprintf(stderr, "texts of %s not stored: %s\n", e[1].c_str(), session.LastError().c_str());
            return 1;
        }
    }
    session.CloseDatabase();
    return 0;
}
