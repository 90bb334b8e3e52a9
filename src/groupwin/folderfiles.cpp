#include "groupwin/folderfiles.h"

#include <QDirIterator>
#include <QFileInfo>

FolderFiles ListFolderFiles(const QString& folder, const std::function<bool(int)>& keepGoing, int fileLimit,
                            int entryLimit)
{
    FolderFiles out;
    // Folders are listed too, so that a deep tree without files is still bounded and asked about.
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    int entries = 0;
    while (it.hasNext()) {
        it.next();
        if (++entries > entryLimit) {
            out.more = true;
            break;
        }
        if (entries % 64 == 0 && keepGoing && !keepGoing(static_cast<int>(out.files.size()))) {
            out.stopped = true;
            break;
        }
        const QFileInfo info = it.fileInfo();
        if (!info.isFile() || info.isSymLink()) continue;
        if (out.files.size() >= fileLimit) {
            out.more = true;
            break;
        }
        out.files << info.filePath();
    }
    out.files.sort();
    return out;
}
