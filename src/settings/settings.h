#pragma once
// The four database settings, program-wide for the whole run. Text in CP932.
#include <string>

struct DatabaseSettings {
    std::string serverName = "localhost:";
    std::string dataFolder;
    std::string databaseFileName = "JWWDB.FDB";
    std::string userName = "PC\x83\x86\x81\x5B\x83\x55\x81\x5B\x96\xBC"; // PCユーザー名

    // Server prefix, folder and file name joined with nothing between them.
    std::string DatabaseName() const { return serverName + dataFolder + databaseFileName; }
};
