#include "search/searchwindow.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include "db/schema.h"
#include "platform/cp932edit.h"
#include "search/search.h"
#include "text/cp932.h"

const QString SearchWindow::kCaseWarning =
    QStringLiteral("検索文字は大文字・小文字・半角・全角が区別されますので注意して下さい");
const QString SearchWindow::kEnterText = QStringLiteral("検索文字を入力して下さい");
const QString SearchWindow::kEscapeText = QStringLiteral("[ESC]を押しましたので中断しました。");

namespace {

// Stands in when no Escape key was handed over: the search then runs to its end.
class NeverPressed : public EscapeKey {
public:
    bool IsDown() const override { return false; }
};

// The search ignores the user meanwhile; the pointer says so.
class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::BusyCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

} // namespace

SearchWindow::SearchWindow(DatabaseSession& db, const Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window), db_(db), platform_(platform)
{
    setObjectName("SearchWindow");
    setWindowTitle("検索");

    resultView = new QPlainTextEdit(this);
    resultView->setObjectName("resultView");
    resultView->setReadOnly(true);
    resultView->setLineWrapMode(QPlainTextEdit::NoWrap);
    resultView->setUndoRedoEnabled(false);   // tens of thousands of lines need no undo
    resultView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    resultView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    optionPanel = new QFrame(this);
    optionPanel->setObjectName("optionPanel");
    optionPanel->setFixedHeight(54);
    folderOption = new QRadioButton("フォルダ名", optionPanel);
    folderOption->setObjectName("folderOption");
    fileNameOption = new QRadioButton("ファイル名", optionPanel);
    fileNameOption->setObjectName("fileNameOption");
    memoOption = new QRadioButton("メモ内容", optionPanel);
    memoOption->setObjectName("memoOption");
    auto* options = new QButtonGroup(optionPanel);
    for (QRadioButton* b : {folderOption, fileNameOption, memoOption}) options->addButton(b);
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
    optionRow->setSpacing(16);
    for (QRadioButton* b : {folderOption, fileNameOption, memoOption}) optionRow->addWidget(b);
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

    statusBar = new QStatusBar(this);
    statusBar->setObjectName("statusBar");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(resultView, 1);
    layout->addWidget(optionPanel);
    layout->addWidget(statusBar);

    connect(searchButton, &QPushButton::clicked, this, &SearchWindow::RunSearch);
    connect(searchEdit, &QLineEdit::returnPressed, this, &SearchWindow::RunSearch);

    resize(460, 348);
    move(197, 107);
}

QString SearchWindow::StatusText() const { return statusBar->currentMessage(); }

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
    // The running search owns the view and the session until it ends.
    if (searching_) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

void SearchWindow::FormShow()
{
    SetStatus(kCaseWarning);
    ClearView();
    searchEdit->setFocus();
}

void SearchWindow::FormClose() { ClearView(); }

void SearchWindow::ClearView()
{
    resultView->clear();
    heldChars_ = 0;
}

void SearchWindow::RunSearch()
{
    if (searching_) return;
    SetStatus({});
    SearchColumn column = SearchColumn::Folder;
    if (fileNameOption->isChecked()) column = SearchColumn::FileName;
    if (memoOption->isChecked()) column = SearchColumn::Memo;

    const std::string text = FromQLossy(searchEdit->text());
    switch (CheckSearchText(text)) {
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
    static const NeverPressed neverPressed;
    const EscapeKey& escape = platform_.escape ? static_cast<const EscapeKey&>(*platform_.escape) : neverPressed;
    bool stopped = false;
    searching_ = true;
    {
        BusyPointer busy;
        stopped = SearchAllGroups(db_, column, text, escape,
                                  [this](std::vector<std::string>& lines) { AddLines(lines); });
    }
    searching_ = false;
    SetStatus(stopped ? kEscapeText : kCaseWarning);
}

void SearchWindow::AddLines(const std::vector<std::string>& lines)
{
    if (lines.empty() || heldChars_ >= kMaxViewChars) return;
    const qsizetype room = kMaxViewChars - heldChars_;
    // One conversion and one insertion for the whole batch. A CP932 character takes at
    // most two bytes, so bytes beyond twice the room cannot be taken in anyway.
    const size_t enough = static_cast<size_t>(room) * 2 + 2;
    std::string joined;
    for (const std::string& line : lines) {
        if (heldChars_ > 0 || !joined.empty()) joined += '\n';
        joined += line;
        if (joined.size() >= enough) break;
    }
    QString text = ToQ(joined);
    if (text.size() > room) text.truncate(room);
    QTextCursor end(resultView->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
    heldChars_ += text.size();
}
