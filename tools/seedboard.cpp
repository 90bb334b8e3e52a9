// Prepares a board for tools/screenshot.sh, tools/screenshot-group.sh and the test of
// the installed program: creates a database with a few groups at their places and
// writes the settings file kumolist.dat that points the program at it.
//
//   kumo_seedboard <settings folder/> <data folder/> [picture of the first group] [--entries FILE...]
//
// The settings folder is the program's folder or the user's configuration folder; the
// data folder must be writable by the Firebird server. Without a picture every group
// shows the default one. With --entries the first group holds the files (absolute
// paths), registered as the add command registers them, and its window opens at the
// top left of the screen, large, in the icon view.
#include <cstdio>
#include <string>
#include <vector>

#include <QString>

#include "db/schema.h"
#include "db/session.h"
#include "groupwin/grouptables.h"
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
    int entriesAt = argc;
    for (int i = 3; i < argc; ++i)
        if (std::string(argv[i]) == "--entries") entriesAt = i;
    if (argc < 3 || entriesAt > 4) {
        std::fprintf(stderr, "usage: %s <settings folder/> <data folder/> [picture of the first group] [--entries FILE...]\n",
                     argv[0]);
        return 2;
    }
    const bool withPicture = entriesAt == 4;
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
        if (withPicture && g.n == groups.front().n) values[kColIconP] = TextLiteral(argv[3]);
        if (!session.InsertRecord(kCatalogueTable, kCatalogueColumnCount, CatalogueColumns(), values)) {
            std::fprintf(stderr, "group %d not stored: %s\n", g.n, session.LastError().c_str());
            return 1;
        }
    }
    const int firstGroup = groups.front().n;
    for (int i = entriesAt + 1; i < argc; ++i) {
        const std::string path = Cp932(argv[i]);
        if (!EnsureGroupTables(session, firstGroup) ||
            !RegisterFile(session, firstGroup, 0, path, settings.userName).Stored()) {
            std::fprintf(stderr, "entry %s not stored: %s\n", argv[i], session.LastError().c_str());
            return 1;
        }
    }
    session.CloseDatabase();

    // Main window at the top left of the screen, the others where they start by default;
    // a group window to be shown with its entries over it.
    SettingsNumbers numbers{0,   0,   616, 347, 192, 107, 193, 109, 831, 331, 192,
                            107, 192, 107, 192, 107, 202, 186, 197, 107, 460, 348,
                            120, 160, 80,  50,  100, 50,  50,  50,  50,  0,   161};
    if (entriesAt < argc) {
        numbers[6] = numbers[7] = 0;
        numbers[8] = 1000;
        numbers[9] = 600;
    }
    const QString path = QString::fromLocal8Bit(argv[1]) + "kumolist.dat";
    if (!SaveSettings(path, settings, numbers)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}
