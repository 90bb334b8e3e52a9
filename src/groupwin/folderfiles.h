#pragma once
// The files of a folder dropped on the group window: the regular files it holds at every
// level. The tree may be huge or lie on a slow share, so the walk is bounded and can be
// stopped.
#include <functional>

#include <QStringList>

// Files listed at most, and entries (files and folders) looked at at most.
inline constexpr int kFolderFileLimit = 10000;
inline constexpr int kFolderEntryLimit = 200000;

struct FolderFiles {
    QStringList files;      // full paths, sorted
    bool more = false;      // the walk reached a limit: the folder holds more than listed
    bool stopped = false;   // keepGoing said no
};

// Symbolic links are not followed and hidden files and folders are left out, as a file
// manager shows the folder; sockets, pipes and devices are no files. keepGoing is asked
// now and then with the number of files found so far.
FolderFiles ListFolderFiles(const QString& folder, const std::function<bool(int found)>& keepGoing,
                            int fileLimit = kFolderFileLimit, int entryLimit = kFolderEntryLimit);
