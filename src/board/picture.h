#pragma once
// Group pictures as the board shows them: bitmaps, icons and the two Windows metafile
// kinds, decoded by their file extension, at their natural size but never more than
// kMaxPictureSide a side. Metafiles, and bitmaps and icons too large to be read here,
// are decoded by the picture helper beside the program, in processes of their own
// with time and memory limits, and come back as PNG: no picture file can crash, hang
// or exhaust the program.
#include <QHash>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include "board/limitedprocess.h"

// Decodes one group picture. A null QPixmap when the file is missing, not a regular
// file, of another kind, or cannot be decoded, and when the helper fails, overruns its
// limits or is missing.
QPixmap LoadGroupPicture(const QString& fsPath, const QString& helperPath);

// A plain picture for a group whose own picture and the default cannot be had.
QPixmap PlaceholderPicture();

// One decode per file per board build: the board clears it at the start of each build,
// so a picture replaced on disk shows at the next build.
class PictureCache {
public:
    explicit PictureCache(const QString& helperPath = {});
    void SetHelperPath(const QString& helperPath);
    void SetLimits(const ProcessLimits& limits);

    // Decodes the files not decoded since the last Clear, the helper's side by side.
    void Prepare(const QStringList& fsPaths);
    QPixmap Load(const QString& fsPath);   // cached by path, failures cached too
    void Clear();
    int DecodeCount() const;               // files decoded so far (for tests)
    int HelperRunCount() const;            // of them, those the helper decoded

private:
    QString helperPath_;
    ProcessLimits limits_;
    QHash<QString, QPixmap> pictures_;
    int decodes_ = 0;
    int helperRuns_ = 0;
};
