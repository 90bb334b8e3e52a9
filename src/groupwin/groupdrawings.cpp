// The group window's pictures of drawings: thumbnails in the icon view and the preview
// pane beside the list, which follows the current entry.
#include "groupwin/groupwindow.h"

#include <algorithm>

#include <QListView>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>

#include "groupwin/drawingthumbnails.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/previewpane.h"
#include "settings/preferences.h"

void GroupWindow::SetUpDrawingViews()
{
    drawingThumbnails = new DrawingThumbnails(*fileIconView, *fileSortModel, *fileModel, this);
    drawingThumbnails->setObjectName("drawingThumbnails");

    // The list and the pane share the right side of the window in a splitter of their
    // own: the outer splitter's first size stays the tree's width.
    previewPane = new PreviewPane;
    previewPane->hide();
    listSplitter = new QSplitter(Qt::Horizontal);
    listSplitter->setObjectName("listSplitter");
    listSplitter->setChildrenCollapsible(false);
    listSplitter->setSizePolicy(fileList->sizePolicy());
    splitter->replaceWidget(splitter->indexOf(fileList), listSplitter);
    listSplitter->addWidget(fileList);
    listSplitter->addWidget(previewPane);
    listSplitter->setStretchFactor(0, 3);
    listSplitter->setStretchFactor(1, 2);
    fileList->show();

    previewButton->setCheckable(true);
    connect(previewButton, &QPushButton::toggled, this, [this](bool on) { ShowPreview(on, true); });
    connect(fileIconView->selectionModel(), &QItemSelectionModel::currentChanged, this, &GroupWindow::PreviewCurrent);
    connect(fileSortModel, &QAbstractItemModel::modelReset, this, &GroupWindow::PreviewCurrent);
    connect(fileSortModel, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                // A memo edited; thumbnails arriving change nothing here.
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole)) PreviewCurrent();
            });
}

void GroupWindow::SetThumbnailer(const QString& path)
{
    thumbnailer_ = path;
    drawingThumbnails->SetThumbnailer(path);
    previewPane->SetThumbnailer(path);
    PreviewCurrent();
}

void GroupWindow::ShowPreview(bool shown, bool remember)
{
    {
        const QSignalBlocker quiet(previewButton);
        previewButton->setChecked(shown);
    }
    const bool wasHidden = previewPane->isHidden();
    previewPane->setVisible(shown);
    if (shown && wasHidden) {
        // A splitter gives a widget shown late only its minimum: the pane takes two
        // fifths of the right side whenever it comes back.
        const int width = std::max(1, listSplitter->width());
        listSplitter->setSizes({width - width * 2 / 5, width * 2 / 5});
    }
    if (remember) SavePreviewShown(preferencesFile_, shown);
    if (shown)
        PreviewCurrent();
    else
        previewPane->ShowEntry(nullptr);   // nothing more is read for it
}

void GroupWindow::PreviewCurrent()
{
    if (previewPane->isHidden()) return;
    const QModelIndex current = fileIconView->selectionModel()->currentIndex();
    previewPane->ShowEntry(current.isValid() ? &fileSortModel->Row(current.row()) : nullptr);
}
