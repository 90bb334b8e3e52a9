#pragma once
// Group pictures of the board: bitmaps, icons and the two Windows metafile kinds,
// decoded by their file extension, shown at their natural size.
#include <QHash>
#include <QPixmap>
#include <QString>

// Decodes one group picture by its extension (.bmp, .ico, .emf, .wmf; case-insensitive).
// A null QPixmap when the file is missing, unreadable, of another kind, or cannot be
// decoded.
QPixmap LoadGroupPicture(const QString& fsPath);

// One decode per file per board build: the board clears it at the start of each build,
// so a picture replaced on disk shows at the next build.
class PictureCache {
public:
    QPixmap Load(const QString& fsPath);   // cached by path, failures cached too
    void Clear();
    int DecodeCount() const;               // how many real decodes happened (for tests)

private:
    QHash<QString, QPixmap> pictures_;
    int decodes_ = 0;
};
