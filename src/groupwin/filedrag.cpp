#include "groupwin/filedrag.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QListView>
#include <QMimeData>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>

#include <utility>

#include "groupwin/filelistmodel.h"
#include "groupwin/groupwindow.h"
#include "platform/platform.h"
#include "text/cp932.h"
#include "text/textutil.h"

namespace {

// Entries dragged inside the program: "process id, group number, entry numbers" as text.
// The process id keeps a drag from another copy of the program, perhaps on another
// database, from being taken for this one's entries.
const QString kEntriesType = QStringLiteral("application/x-kumolist-entries");

// Entries moved by one drag at most: the numbers are read from another program's data.
constexpr qsizetype kMaxDraggedEntries = 1000000;

} // namespace

FileDrag::FileDrag(GroupWindow& window, std::vector<QAbstractItemView*> listViews, QTreeWidget& tree,
                   FileListModel& model)
    : QObject(&window), window_(window), listViews_(std::move(listViews)), tree_(tree), model_(model)
{
    for (QAbstractItemView* view : listViews_) {
        view->setDragDropMode(QAbstractItemView::DragDrop);
        view->setDropIndicatorShown(false);
        view->viewport()->installEventFilter(this);
    }
    tree_.setAcceptDrops(true);
    tree_.setDragDropMode(QAbstractItemView::DropOnly);
    tree_.viewport()->installEventFilter(this);
    model_.SetDragData([this](const std::vector<int>& rows) { return EntriesData(rows); });
}

QMimeData* FileDrag::EntriesData(const std::vector<int>& rows) const
{
    QList<QUrl> urls;
    QStringList numbers;
    for (int row : rows) {
        const FileRow& entry = model_.Row(row);
        numbers << ToQ(entry.cells[kCellNumber]);
        // Only files that are there: a drop of a missing file would fail in the other program.
        if (FileExists(entry.FullPath())) urls << QUrl::fromLocalFile(QString::fromStdString(ToFsName(entry.FullPath())));
    }
    auto* data = new QMimeData;
    if (!urls.isEmpty()) data->setUrls(urls);
    data->setData(kEntriesType, (QString::number(QCoreApplication::applicationPid()) + "\n" +
                                 QString::number(window_.currentGroupNumber) + "\n" + numbers.join(' '))
                                    .toUtf8());
    return data;
}

bool FileDrag::OwnEntries(const QMimeData* data, std::vector<int32_t>* numbers) const
{
    if (!data || !data->hasFormat(kEntriesType)) return false;
    const QStringList parts = QString::fromUtf8(data->data(kEntriesType)).split('\n');
    if (parts.size() != 3 || parts[0] != QString::number(QCoreApplication::applicationPid()) ||
        parts[1] != QString::number(window_.currentGroupNumber))
        return false;
    if (numbers) {
        const QStringList items = parts[2].split(' ', Qt::SkipEmptyParts);
        if (items.size() > kMaxDraggedEntries) return false;
        numbers->clear();
        for (const QString& item : items) {
            bool ok = false;
            const int32_t n = item.toInt(&ok);
            if (ok && n > 0) numbers->push_back(n);
        }
    }
    return true;
}

bool FileDrag::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::DragLeave:
    case QEvent::Drop:
        break;
    default:
        return QObject::eventFilter(watched, event);
    }
    if (watched == tree_.viewport()) return OnTree(event);
    for (const QAbstractItemView* view : listViews_)
        if (watched == view->viewport()) return OnList(event);
    return QObject::eventFilter(watched, event);
}

bool FileDrag::OnList(QEvent* event)
{
    if (event->type() == QEvent::DragLeave) return true;
    auto* drag = static_cast<QDropEvent*>(event);
    // The list's own entries dropped on it would only be registered twice.
    const QStringList files = OwnEntries(drag->mimeData()) ? QStringList() : DroppedLocalFiles(drag->mimeData());
    if (files.isEmpty()) {
        drag->ignore();
        return true;
    }
    drag->setDropAction(Qt::CopyAction);
    drag->accept();
    if (event->type() == QEvent::Drop) {
        // After the drop has ended: the file manager waits for its answer meanwhile.
        const int32_t subGroup = window_.CurrentSubGroup();
        QTimer::singleShot(0, &window_, [this, files, subGroup] { window_.RegisterDroppedFiles(files, subGroup); });
    }
    return true;
}

bool FileDrag::OnTree(QEvent* event)
{
    if (event->type() == QEvent::DragLeave) return true;
    auto* drag = static_cast<QDropEvent*>(event);
    const QTreeWidgetItem* node = tree_.itemAt(drag->position().toPoint());
    std::vector<int32_t> numbers;
    const bool own = OwnEntries(drag->mimeData(), &numbers);
    const QStringList files = own ? QStringList() : DroppedLocalFiles(drag->mimeData());
    // Entered anywhere, so that the moves over the nodes are asked about; dropped on a node only.
    const bool nodeNeeded = event->type() != QEvent::DragEnter;
    if ((nodeNeeded && !node) || (own ? numbers.empty() : files.isEmpty())) {
        drag->ignore();
        return true;
    }
    // Copy for the file manager's sake: a move would let it delete the file.
    drag->setDropAction(Qt::CopyAction);
    drag->accept();
    if (event->type() == QEvent::Drop) {
        const int32_t subGroup = window_.NodeNumber(node);
        if (own)
            QTimer::singleShot(0, &window_, [this, numbers, subGroup] { window_.MoveEntriesTo(numbers, subGroup); });
        else
            QTimer::singleShot(0, &window_, [this, files, subGroup] { window_.RegisterDroppedFiles(files, subGroup); });
    }
    return true;
}
