#pragma once
// Thumbnails of drawings in the group window's icon view, in place of their type icon.
// The list shows at once; thumbnails are asked of a ThumbnailClient for the rows in view
// and the screenful after them whenever the view shows other rows (what was asked for
// rows scrolled away is dropped, so a group of any size asks for a few hundred at most),
// arrive in the background, are scaled once and kept for a bounded number of files.
#include <memory>
#include <utility>

#include <QByteArray>
#include <QCache>
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

#include "groupwin/filerow.h"

class QImage;
class QListView;
class FileListModel;
class FileSortModel;
class ThumbnailClient;

// Whether the thumbnailer draws the row: a .jww drawing or a picture (PNG, JPEG, BMP,
// GIF, TIFF, WebP) that is there.
bool IsThumbnailRow(const FileRow& row);
// The row's file as the file system names it.
QString RowFsPath(const FileRow& row);
// The row's path and shown time (CP932): a file changed since is another key.
QByteArray DrawingRowKey(const FileRow& row);

class DrawingThumbnails : public QObject {
    Q_OBJECT
public:
    DrawingThumbnails(QListView& view, FileSortModel& rows, FileListModel& files, QObject* parent = nullptr);
    ~DrawingThumbnails() override;

    // The thumbnailer program; empty: none, every row keeps its type icon.
    void SetThumbnailer(const QString& path);

    // The thumbnail the row shows, or a null icon: not a drawing, not drawn (yet), or
    // the view is not showing large icons.
    QIcon Picture(const FileRow& row) const;

    // Files asked for and not answered yet.
    int Waiting() const { return int(asked_.size()); }

    // At most this many files are waiting at once, however large the view.
    static constexpr int kMaxAsked = 400;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Proxy rows from first to last touch the viewport; (-1, -1) when none.
    std::pair<int, int> RowsInView() const;
    void AskForRowsInView();
    void Answered(const QString& file, const QImage& image);
    // Rows in view differ from those asked for last.
    void Forget() { askedRange_ = {-1, -1}; }

    QListView& view_;
    FileSortModel& rows_;
    QPointer<FileListModel> files_;
    std::unique_ptr<ThumbnailClient> client_;
    QString thumbnailer_;
    QTimer askTimer_;
    std::pair<int, int> askedRange_{-1, -1};
    // Keyed by DrawingRowKey, so that a file changed since is asked for again.
    mutable QCache<QByteArray, QIcon> pictures_;
    QSet<QByteArray> failed_;
    QHash<QString, QByteArray> asked_;   // file-system path -> key
};
