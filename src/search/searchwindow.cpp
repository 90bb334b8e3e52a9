#include "search/searchwindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QShowEvent>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>

#include "db/schema.h"
#include "platform/cp932edit.h"
#include "search/search.h"
#include "settings/preferences.h"
#include "search/searchresults.h"
#include "search/searchworker.h"
#include "text/cp932.h"
#include "text/entrycsv.h"

const QString SearchWindow::kCaseWarning =
    QStringLiteral("検索文字は大文字・小文字・半角・全角が区別されますので注意して下さい");
const QString SearchWindow::kEnterText = QStringLiteral("検索文字を入力して下さい");
const QString SearchWindow::kEscapeText = QStringLiteral("[ESC]を押しましたので中断しました。");
const QString SearchWindow::kLostText = QStringLiteral("データベースとの接続が切れましたので中断しました。");
const QString SearchWindow::kNoneFound = QStringLiteral("該当するファイルはありません");
const QString SearchWindow::kSearchingText = QStringLiteral("検索中です。[ESC]で中断します。");

SearchWindow::SearchWindow(DatabaseSession& db, const Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window), db_(db), platform_(platform)
{
    setObjectName("SearchWindow");
    setWindowTitle("検索");

    resultModel = new SearchResultModel(this);
    resultView = new QTreeView(this);
    resultView->setObjectName("resultView");
    resultView->setModel(resultModel);
    // A plain text look: one column, no header, no indentation, rows of one height.
    resultView->setHeaderHidden(true);
    resultView->setRootIsDecorated(false);
    resultView->setItemsExpandable(false);
    resultView->setIndentation(0);
    resultView->setUniformRowHeights(true);
    resultView->setWordWrap(false);
    resultView->setTextElideMode(Qt::ElideNone);
    resultView->header()->setStretchLastSection(false);
    resultView->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    resultView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    resultView->setContextMenuPolicy(Qt::CustomContextMenu);

    optionPanel = new QFrame(this);
    optionPanel->setObjectName("optionPanel");
    optionPanel->setFixedHeight(54);
    folderOption = new QRadioButton("フォルダ名", optionPanel);
    folderOption->setObjectName("folderOption");
    fileNameOption = new QRadioButton("ファイル名", optionPanel);
    fileNameOption->setObjectName("fileNameOption");
    memoOption = new QRadioButton("メモ内容", optionPanel);
    memoOption->setObjectName("memoOption");
    drawingTextOption = new QRadioButton("図面の文字(&T)", optionPanel);
    drawingTextOption->setObjectName("drawingTextOption");
    everythingOption = new QRadioButton("すべて(&E)", optionPanel);
    everythingOption->setObjectName("everythingOption");
    auto* options = new QButtonGroup(optionPanel);
    for (QRadioButton* b : {folderOption, fileNameOption, memoOption, drawingTextOption, everythingOption})
        options->addButton(b);
    folderOption->setChecked(true);

    searchEdit = new QLineEdit(optionPanel);
    searchEdit->setObjectName("searchEdit");
    // No longer than the columns it is looked for in.
    SetByteLimit(searchEdit, kFileTextWidth);
    searchLabel = new QLabel("検索文字：", optionPanel);
    searchLabel->setObjectName("searchLabel");
    searchLabel->setBuddy(searchEdit);
    searchButton = new QPushButton("検索(&F)", optionPanel);
    searchButton->setObjectName("searchButton");

    auto* optionRow = new QHBoxLayout;
    optionRow->setSpacing(10);
    for (QRadioButton* b : {folderOption, fileNameOption, memoOption, drawingTextOption, everythingOption})
        optionRow->addWidget(b);
    optionRow->addStretch(1);
    auto* textRow = new QHBoxLayout;
    textRow->addWidget(searchLabel);
    textRow->addWidget(searchEdit, 1);
    textRow->addWidget(searchButton);
    auto* panelLayout = new QVBoxLayout(optionPanel);
    panelLayout->setContentsMargins(8, 3, 8, 3);
    panelLayout->setSpacing(2);
    panelLayout->addLayout(optionRow);
    panelLayout->addLayout(textRow);

    // The options and the export in a strip of their own beneath: the panel above keeps
    // its height, and the window its narrow default width.
    auto* extraPanel = new QFrame(this);
    extraPanel->setObjectName("extraPanel");
    ignoreCaseOption = new QCheckBox("大文字・小文字、全角・半角を区別しない(&I)", extraPanel);
    ignoreCaseOption->setObjectName("ignoreCaseOption");
    literalOption = new QCheckBox("%と_を文字として扱う(&L)", extraPanel);
    literalOption->setObjectName("literalOption");
    csvButton = new QPushButton("CSV出力...", extraPanel);
    csvButton->setObjectName("csvButton");
    auto* extraLayout = new QHBoxLayout(extraPanel);
    extraLayout->setContentsMargins(8, 0, 8, 3);
    auto* checks = new QVBoxLayout;
    checks->setSpacing(0);
    checks->addWidget(ignoreCaseOption);
    checks->addWidget(literalOption);
    extraLayout->addLayout(checks);
    extraLayout->addStretch(1);
    extraLayout->addWidget(csvButton, 0, Qt::AlignBottom);

    statusBar = new QStatusBar(this);
    statusBar->setObjectName("statusBar");
    // The texts do not fit side by side in the window's width: the count follows the
    // search, and the case-and-width warning, shown with the window, stays at hand here.
    // With the option that folds case and width the warning would be untrue.
    auto warnAboutCase = [this] {
        const bool folded = ignoreCaseOption->isChecked();
        statusBar->setToolTip(folded ? QString() : kCaseWarning);
        const QString shown = StatusText();
        if (shown.isEmpty() || shown == kCaseWarning) SetStatus(folded ? QString() : kCaseWarning);
    };
    connect(ignoreCaseOption, &QCheckBox::toggled, this, warnAboutCase);
    statusBar->setToolTip(kCaseWarning);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(resultView, 1);
    layout->addWidget(optionPanel);
    layout->addWidget(extraPanel);
    layout->addWidget(statusBar);

    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{folderOption, fileNameOption, memoOption,
                                                                     drawingTextOption, everythingOption,
                                                                     ignoreCaseOption, literalOption})
        connect(b, &QAbstractButton::toggled, this, &SearchWindow::SaveWay);
    connect(searchButton, &QPushButton::clicked, this, &SearchWindow::RunSearch);
    connect(searchEdit, &QLineEdit::returnPressed, this, &SearchWindow::RunSearch);
    connect(csvButton, &QPushButton::clicked, this, &SearchWindow::ExportCsv);
    connect(resultView, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) { OpenLine(index.row()); });
    connect(resultView, &QTreeView::customContextMenuRequested, this, &SearchWindow::ShowContextMenu);
    auto* copy = new QShortcut(QKeySequence::Copy, resultView, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, [this] {
        const QString text = resultModel->Text(SelectedRows());
        if (!text.isEmpty()) platform_.desktop->CopyText(text);
    });
    // Escape closes the window; while a search runs it stops the search instead. A key
    // still held after stopping repeats: the repeats close nothing.
    auto* close = new QShortcut(Qt::Key_Escape, this);
    close->setAutoRepeat(false);
    connect(close, &QShortcut::activated, this, [this] {
        if (searching_)
            RequestStop();
        else
            this->close();
    });

    resize(460, 348);
    move(197, 107);
    // The case-and-width warning is read whole: the window is never narrower than it.
    setMinimumWidth(statusBar->fontMetrics().horizontalAdvance(kCaseWarning) + 48);
}

void SearchWindow::SetPreferencesFile(const QString& path)
{
    preferencesFile_ = path;
    const SearchWay way = LoadSearchWay(path);
    applyingWay_ = true;
    QRadioButton* const ways[] = {folderOption, fileNameOption, memoOption, drawingTextOption, everythingOption};
    ways[way.column >= 0 && way.column < 5 ? way.column : 0]->setChecked(true);
    ignoreCaseOption->setChecked(way.ignoreCase);
    literalOption->setChecked(way.literal);
    applyingWay_ = false;
}

void SearchWindow::SaveWay()
{
    if (applyingWay_ || preferencesFile_.isEmpty()) return;
    const int column = fileNameOption->isChecked()      ? 1
                       : memoOption->isChecked()        ? 2
                       : drawingTextOption->isChecked() ? 3
                       : everythingOption->isChecked()  ? 4
                                                        : 0;
    SaveSearchWay(preferencesFile_, {column, ignoreCaseOption->isChecked(), literalOption->isChecked()});
}

SearchWindow::~SearchWindow()
{
    // Each is stopped first, so that they end together within the one bound.
    if (worker_) worker_->Stop();
    for (const QPointer<SearchWorker>& w : retired_)
        if (w) w->Stop();
    QDeadlineTimer deadline(SearchWorker::kEndWaitMs);
    LetSearchGo(SearchWorker::kEndWaitMs);
    for (const QPointer<SearchWorker>& w : retired_)
        if (w) SearchWorker::Retire(w, static_cast<int>(deadline.remainingTime()));
}

QString SearchWindow::StatusText() const { return statusBar->currentMessage(); }
QString SearchWindow::CountText() const
{
    const int hits = resultModel->Hits();
    if (hits == 0) return kNoneFound;
    return QString("%1 件のファイルが見つかりました（%2 グループ）").arg(hits).arg(resultModel->Groups());
}
QString SearchWindow::ResultText() const { return resultModel->AllText(); }

void SearchWindow::RequestStop()
{
    if (worker_) worker_->Stop();
}

void SearchWindow::LetSearchGo(int waitMs)
{
    if (!worker_) return;
    SearchWorker* worker = std::exchange(worker_, nullptr);
    if (!SearchWorker::Retire(worker, waitMs)) retired_.emplace_back(worker);
    searching_ = false;
    unsetCursor();
}

void SearchWindow::SetStatus(const QString& text)
{
    if (text.isEmpty())
        statusBar->clearMessage();
    else
        statusBar->showMessage(text);
}

void SearchWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Restoring from the task bar is no new showing.
    if (!event->spontaneous()) FormShow();
}

void SearchWindow::closeEvent(QCloseEvent* event)
{
    // Its lines would have nowhere to go: the search ends with the window.
    if (searching_) {
        LetSearchGo(0);
        emit SearchEnded();
    }
    FormClose();
    event->accept();
}

void SearchWindow::FormShow()
{
    SetStatus(ignoreCaseOption->isChecked() ? QString() : kCaseWarning);
    ClearView();
    searchEdit->setFocus();
}

void SearchWindow::FormClose() { ClearView(); }

void SearchWindow::ClearView()
{
    resultModel->Clear();
    shownWidth_ = 0;
}

void SearchWindow::RunSearch()
{
    if (searching_) return;
    SetStatus({});
    SearchColumn column = SearchColumn::Folder;
    if (fileNameOption->isChecked()) column = SearchColumn::FileName;
    if (memoOption->isChecked()) column = SearchColumn::Memo;
    if (drawingTextOption->isChecked()) column = SearchColumn::DrawingText;
    if (everythingOption->isChecked()) column = SearchColumn::Everything;
    const bool throughIndex = column == SearchColumn::DrawingText || column == SearchColumn::Everything;

    const std::string text = FromQLossy(searchEdit->text());
    const SearchRefusal refusal = CheckSearchText(text);
    // Quotation marks keep a phrase in the texts' query; the statements refuse them.
    switch (throughIndex && refusal == SearchRefusal::Quote ? SearchRefusal::None : refusal) {
    case SearchRefusal::Blank:
        SetStatus(kEnterText);
        searchEdit->setFocus();
        return;
    case SearchRefusal::Quote:
        SetStatus(QString::fromUtf8(kQuoteRefusal));
        searchEdit->setFocus();
        return;
    case SearchRefusal::None:
        break;
    }

    if (commandGate_ && !commandGate_()) return;
    ClearView();
    SearchOptions options;
    options.ignoreCaseAndWidth = ignoreCaseOption->isChecked();
    options.literalWildcards = literalOption->isChecked();
    // A folder typed as this PC names a shared folder finds the entries stored in the
    // Windows form too, and the other way round.
    if (column == SearchColumn::Folder && rootMappings_) {
        options.alsoText = StoredPath(text, *rootMappings_);
        if (options.alsoText == text) options.alsoText = LocalPath(text, *rootMappings_);
    }
    SearchRequest request;
    request.settings = db_.Settings();
    request.column = column;
    request.text = text;
    request.options = std::move(options);
    request.statementLog = statementLog_;
    request.textIndexFolder = textIndexFolder_;
    // Those let go before are forgotten once they have ended.
    std::erase_if(retired_, [](const QPointer<SearchWorker>& w) { return w.isNull(); });
    worker_ = new SearchWorker(std::move(request));
    connect(worker_, &SearchWorker::LinesReady, this, &SearchWindow::TakeLines, Qt::QueuedConnection);
    connect(worker_, &QThread::finished, this, &SearchWindow::WorkerEnded, Qt::QueuedConnection);
    searching_ = true;
    setCursor(Qt::BusyCursor);
    SetStatus(kSearchingText);
    worker_->start();
}

void SearchWindow::TakeLines()
{
    if (!worker_) return;
    std::vector<SearchLine> lines = worker_->TakeLines();
    if (!lines.empty()) AddLines(lines);
}

void SearchWindow::WorkerEnded()
{
    if (!worker_) return;
    TakeLines();
    const SearchEnd end = worker_->Ended();
    delete std::exchange(worker_, nullptr);
    searching_ = false;
    unsetCursor();
    switch (end) {
    case SearchEnd::Stopped: SetStatus(kEscapeText); break;
    case SearchEnd::ConnectionLost: SetStatus(kLostText); break;
    case SearchEnd::ReadFailed: SetStatus("データベースから読めませんでした"); break;
    case SearchEnd::IndexFailed: SetStatus("図面の文字の索引を開けませんでした"); break;
    case SearchEnd::Finished: SetStatus(CountText()); break;
    }
    emit SearchEnded();
}

void SearchWindow::AddLines(std::vector<SearchLine>& lines)
{
    resultModel->Append(lines);
    // Widened only as longer lines come: the view then lays out nothing else.
    const int width = resultModel->WidthNeeded(resultView->fontMetrics());
    if (width > shownWidth_) {
        shownWidth_ = width;
        resultView->setColumnWidth(0, width);
    }
}

std::vector<int> SearchWindow::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : resultView->selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString SearchWindow::FilePath(int row) const
{
    const SearchLine& line = resultModel->Line(row);
    const std::string stored = line.folder + line.file;
    return QString::fromStdString(ToFsName(rootMappings_ ? LocalPath(stored, *rootMappings_) : stored));
}

void SearchWindow::OpenLine(int row)
{
    if (row < 0 || row >= resultModel->rowCount() || !opener_) return;
    const SearchLine& line = resultModel->Line(row);
    if (!line.around.empty() && textHitOpener_)
        textHitOpener_(line.group, line.entry, line.box);
    else
        opener_(line.group, line.isGroup ? 0 : line.entry);
}

void SearchWindow::OpenFileOf(int row)
{
    const QString path = FilePath(row);
    if (!QFileInfo(path).isFile()) {
        platform_.messages->ShowMessage(this, "ファイルが見つかりません: " + path);
        return;
    }
    platform_.desktop->OpenWithProgram(path);
}

void SearchWindow::ShowFolderOf(int row)
{
    const QString path = FilePath(row);
    if (!platform_.desktop->ShowInFolder(path))
        platform_.messages->ShowMessage(this, "フォルダが見つかりません: " + QFileInfo(path).absolutePath());
}

void SearchWindow::CopyPathsOf(const std::vector<int>& rows)
{
    QStringList paths;
    for (int row : rows)
        if (!resultModel->Line(row).isGroup) paths << FilePath(row);
    if (!paths.isEmpty()) platform_.desktop->CopyText(paths.join('\n'));
}

void SearchWindow::ShowContextMenu(const QPoint& at)
{
    const QModelIndex index = resultView->indexAt(at);
    if (!index.isValid() || resultModel->Line(index.row()).isGroup) return;
    const int row = index.row();
    if (!resultView->selectionModel()->isRowSelected(row, {}))
        resultView->setCurrentIndex(index);
    QMenu menu(this);
    menu.addAction("開く", this, [this, row] { OpenFileOf(row); });
    menu.addAction("保存場所のフォルダを開く", this, [this, row] { ShowFolderOf(row); });
    menu.addAction("パスをコピー", this, [this] { CopyPathsOf(SelectedRows()); });
    menu.addSeparator();
    menu.addAction("図面リストを印刷...", this, [this] { DrawingList(false); })->setEnabled(!searching_);
    menu.addAction("図面リストをPDFに出力...", this, [this] { DrawingList(true); })->setEnabled(!searching_);
    menu.exec(resultView->viewport()->mapToGlobal(at));
}

void SearchWindow::ExportCsv()
{
    if (searching_) return;
    std::vector<CsvEntry> entries;
    for (int row = 0; row < resultModel->rowCount(); ++row) {
        const SearchLine& l = resultModel->Line(row);
        if (!l.isGroup) entries.push_back({l.groupName, l.subGroupName, l.folder, l.file, l.memo, l.addedBy, l.entryNumber});
    }
    if (entries.empty()) {
        SetStatus(kNoneFound);
        return;
    }
    SaveFileRequest request;
    request.title = "CSV出力";
    request.proposedName = "検索結果.csv";
    request.filter = "CSVファイル (*.csv)";
    const QString path = platform_.fileDialogs->SaveFile(this, request);
    if (path.isEmpty()) return;
    if (!WriteEntriesCsv(path, entries)) {
        platform_.messages->ShowMessage(this, "CSVファイルを書き込めませんでした: " + path);
        return;
    }
    SetStatus(QString("%1 件を CSV に出力しました").arg(entries.size()));
}
