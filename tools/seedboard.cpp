// Prepares a board for tools/screenshot.sh and the test of the installed program:
// creates a database with a few groups at their places and writes the settings file
// kumolist.dat that points the program at it.
//
//   kumo_seedboard <settings folder/> <data folder/> [picture of the first group]
//
// The settings folder is the program's folder or the user's configuration folder; the
// data folder must be writable by the Firebird server. Without a picture every group
// shows the default one.
#include <cstdio>
#include <string>
#include <vector>

#include <QString>

#include "db/schema.h"
#include "db/session.h"
#include "text/cp932.h"
#include "settings/settingsfile.h"
#include "text/textutil.h"

namespace {

struct Group {
    int n;
    const char* name;     // UTF-8 here, CP932 in the database
    const char* title;
    int x, y;
};

std::string Cp932(const char* utf8) { return Utf8ToCp932(utf8).value_or(std::string()); }

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s <settings folder/> <data folder/> [picture of the first group]\n", argv[0]);
        return 2;
    }
    DatabaseSettings settings;
    settings.serverName = "localhost:";
    settings.dataFolder = argv[2];
    settings.databaseFileName = "JWWDB.FDB";
    settings.userName = Cp932("設計 太郎");

    DatabaseSession session(settings);
    session.CreateDatabase();
    session.ConnectDatabase();
    if (!session.Connected() || !CreateCatalogueTable(session)) {
        std::fprintf(stderr, "no database: %s\n", session.LastError().c_str());
        return 1;
    }
    const std::vector<Group> groups{
        {1, "新築工事 A棟", "A棟 実施設計図", 32, 12},
        {2, "設備図", "給排水・空調", 128, 12},
        {3, "構造図", "構造計算書と伏図", 224, 12},
        {5, "見積書類", "", 32, 100},
        {6, "現場写真", "着工から竣工まで", 352, 64},
        {7, "改修工事", "既存図の修正", 480, 12},
    };
    for (const Group& g : groups) {
        std::vector<std::string> values(kCatalogueColumnCount, "NULL");
        values[kColN] = IntToStr(g.n);
        values[kColGrpName] = TextLiteral(Cp932(g.name));
        values[kColMTitle] = TextLiteral(Cp932(g.title));
        values[kColPName] = TextLiteral(settings.userName);
        values[kColX] = IntToStr(g.x);
        values[kColY] = IntToStr(g.y);
        if (argc == 4 && g.n == groups.front().n) values[kColIconP] = TextLiteral(argv[3]);
        if (!session.InsertRecord(kCatalogueTable, kCatalogueColumnCount, CatalogueColumns(), values)) {
            std::fprintf(stderr, "group %d not stored: %s\n", g.n, session.LastError().c_str());
            return 1;
        }
    }
    session.CloseDatabase();

    // Main window at the top left of the screen, the others where they start by default.
    const SettingsNumbers numbers{0,   0,   616, 347, 192, 107, 193, 109, 831, 331, 192,
                                  107, 192, 107, 192, 107, 202, 186, 197, 107, 460, 348,
                                  120, 160, 80,  50,  100, 50,  50,  50,  50,  0,   161};
    const QString path = QString::fromLocal8Bit(argv[1]) + "kumolist.dat";
    if (!SaveSettings(path, settings, numbers)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}
