#include "groupwin/drawingthumbnails.h"

#include <algorithm>

#include <QEvent>
#include <QFile>
#include <QImage>
#include <QListView>
#include <QPainter>
#include <QPixmap>

#include "drawing/drawingfile.h"
#include "drawing/picturethumb.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/thumbnailclient.h"
#include "text/cp932.h"

namespace {

// The normal size of the desktop's cache: file managers draw from the same entries.
constexpr int kThumbnailPixels = 128;
// Scaled thumbnails kept, in KiB: well over a thousand at the icon view's size.
constexpr int kKeptKiB = 32 * 1024;
// Drawings that have no thumbnail, remembered so that they are not asked for again at
// every scroll; forgotten all at once past this.
constexpr int kMaxFailed = 10000;

} // namespace

bool IsThumbnailRow(const FileRow& row)
{
    return row.exists &&
           (DrawingFormatOfType(row.cells[kCellType]) != DrawingFormat::Unknown || IsPictureFileType(row.cells[kCellType]));
}

QString RowFsPath(const FileRow& row) { return QFile::decodeName(QByteArray::fromStdString(ToFsName(row.FullPath()))); }

QByteArray DrawingRowKey(const FileRow& row)
{
    return QByteArray::fromStdString(row.FullPath()) + '\t' + QByteArray::fromStdString(row.cells[kCellTime]);
}

DrawingThumbnails::DrawingThumbnails(QListView& view, FileSortModel& rows, FileListModel& files, QObject* parent)
    : QObject(parent), view_(view), rows_(rows), files_(&files), pictures_(kKeptKiB)
{
    askTimer_.setSingleShot(true);
    askTimer_.setInterval(0);
    connect(&askTimer_, &QTimer::timeout, this, &DrawingThumbnails::AskForRowsInView);
    // Whatever changes the rows in view paints the viewport: scrolling, resizing, a new
    // list, a sort, the change to large icons.
    view_.viewport()->installEventFilter(this);
    connect(&rows_, &QAbstractItemModel::modelReset, this, [this] {
        // Another list, or the window closed: nothing asked for is wanted any more.
        Forget();
        failed_.clear();
        asked_.clear();
        if (client_) client_->Clear();
    });
    connect(&rows_, &QAbstractItemModel::layoutChanged, this, [this] { Forget(); });
    connect(&rows_, &QAbstractItemModel::rowsInserted, this, [this] { Forget(); });
    connect(&rows_, &QAbstractItemModel::rowsRemoved, this, [this] { Forget(); });
    files.SetRowPicture([this](const FileRow& row) { return Picture(row); });
}

DrawingThumbnails::~DrawingThumbnails()
{
    if (files_) files_->SetRowPicture({});
}

void DrawingThumbnails::SetThumbnailer(const QString& path)
{
    if (path == thumbnailer_) return;
    thumbnailer_ = path;
    client_.reset();
    asked_.clear();
    // Another program may draw otherwise.
    pictures_.clear();
    failed_.clear();
    Forget();
    if (path.isEmpty()) return;
    ThumbnailClientOptions options;
    options.thumbnailer = path;
    options.size = kThumbnailPixels;
    client_ = std::make_unique<ThumbnailClient>(options);
    connect(client_.get(), &ThumbnailClient::Ready, this, &DrawingThumbnails::Answered);
    view_.viewport()->update();
}

QIcon DrawingThumbnails::Picture(const FileRow& row) const
{
    // The list and details styles keep the type icons; the details view shares the
    // rows but is shown only while the icon view is hidden.
    if (view_.isHidden() || view_.viewMode() != QListView::IconMode || !IsThumbnailRow(row)) return {};
    const QIcon* icon = pictures_.object(DrawingRowKey(row));
    return icon ? *icon : QIcon();
}

bool DrawingThumbnails::eventFilter(QObject* watched, QEvent* event)
{
    // Asked once the paint is over: the view has laid its rows out by then.
    if (event->type() == QEvent::Paint && !askTimer_.isActive()) askTimer_.start();
    return QObject::eventFilter(watched, event);
}

std::pair<int, int> DrawingThumbnails::RowsInView() const
{
    const QRect area = view_.viewport()->rect();
    if (area.isEmpty()) return {-1, -1};
    // Points closer than a cell's size: no cell in view is missed between them.
    const QSize grid = view_.gridSize().isValid() ? view_.gridSize() : QSize(32, 32);
    const int dx = std::max(8, grid.width() / 2), dy = std::max(8, grid.height() / 2);
    int first = -1, last = -1;
    for (int y = 0;; y += dy) {
        const int py = std::min(y, area.bottom());
        for (int x = 0;; x += dx) {
            const int px = std::min(x, area.right());
            const QModelIndex index = view_.indexAt({px, py});
            if (index.isValid()) {
                first = first < 0 ? index.row() : std::min(first, index.row());
                last = std::max(last, index.row());
            }
            if (px == area.right()) break;
        }
        if (py == area.bottom()) break;
    }
    return {first, last};
}

void DrawingThumbnails::AskForRowsInView()
{
    if (!client_ || !view_.isVisible() || view_.viewMode() != QListView::IconMode) return;
    const std::pair<int, int> range = RowsInView();
    if (range.first < 0 || range == askedRange_) return;
    askedRange_ = range;
    // The rows in view in their order, then the screenful after them for the scroll to
    // come; what was asked for rows now out of view is dropped.
    const int shown = range.second - range.first + 1;
    const int end = std::min({rows_.rowCount() - 1, range.second + shown, range.first + 4 * kMaxAsked});
    QStringList files;
    QHash<QString, QByteArray> asked;
    for (int r = range.first; r <= end && asked.size() < kMaxAsked; ++r) {
        const FileRow& row = rows_.Row(r);
        if (!IsThumbnailRow(row)) continue;
        const QByteArray key = DrawingRowKey(row);
        if (pictures_.contains(key) || failed_.contains(key)) continue;
        const QString path = RowFsPath(row);
        if (asked.contains(path)) continue;
        asked.insert(path, key);
        files << path;
    }
    asked_ = std::move(asked);
    client_->Clear();
    if (!files.isEmpty()) client_->Request(files);
}

void DrawingThumbnails::Answered(const QString& file, const QImage& image)
{
    const auto it = asked_.constFind(file);
    if (it == asked_.cend()) return;   // asked for rows since scrolled away
    const QByteArray key = *it;
    asked_.erase(it);
    if (image.isNull()) {
        if (failed_.size() >= kMaxFailed) failed_.clear();
        failed_.insert(key);
        return;
    }
    // Scaled once, here, and centred in a square cell so that every name stands at the
    // same height; the paper's edge framed, since the view is white too.
    const QSize cell = view_.iconSize();
    const QImage scaled = image.scaled(cell, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPixmap pixmap(cell);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        const QRect paper(QPoint((cell.width() - scaled.width()) / 2, (cell.height() - scaled.height()) / 2), scaled.size());
        painter.drawImage(paper.topLeft(), scaled);
        painter.setPen(QColor(160, 160, 160));
        painter.drawRect(paper.adjusted(0, 0, -1, -1));
    }
    const qsizetype kib = qsizetype(pixmap.width()) * pixmap.height() * 4 / 1024 + 1;
    pictures_.insert(key, new QIcon(pixmap), kib);
    if (askedRange_.first < 0) {
        // The rows changed since they were asked for: which show the file is not known.
        view_.viewport()->update();
        return;
    }
    const int last = std::min(askedRange_.second, rows_.rowCount() - 1);
    for (int r = std::max(0, askedRange_.first); r <= last; ++r)
        if (DrawingRowKey(rows_.Row(r)) == key && files_) files_->PictureChanged(rows_.SourceRow(r));
}
