#pragma once
// The search window: finds file entries of all groups by folder, file name or memo.
// Created once at start and shown modelessly; the chosen column and the search text stay
// as they were between showings. It reports only through its status bar.
#include <functional>
#include <string>
#include <vector>

#include <QWidget>

#include "db/session.h"
#include "platform/platform.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;

class SearchWindow : public QWidget {
    Q_OBJECT
public:
    SearchWindow(DatabaseSession& db, const Platform& platform, QWidget* parent = nullptr);

    // The view takes in at most this many characters (a line break counts one).
    static constexpr qsizetype kMaxViewChars = 4096000;

    // The status bar's texts.
    static const QString kCaseWarning;
    static const QString kEnterText;
    static const QString kEscapeText;

    QString StatusText() const;
    bool Searching() const { return searching_; }

    // Asked before a search: after a lost connection the main window attaches again;
    // false when it could not, and nothing is searched.
    using CommandGate = std::function<bool()>;
    void SetCommandGate(CommandGate gate) { commandGate_ = std::move(gate); }

    QFrame* optionPanel = nullptr;
    QRadioButton* folderOption = nullptr;
    QRadioButton* fileNameOption = nullptr;
    QRadioButton* memoOption = nullptr;
    QLabel* searchLabel = nullptr;
    QLineEdit* searchEdit = nullptr;
    QPushButton* searchButton = nullptr;
    QPlainTextEdit* resultView = nullptr;
    QStatusBar* statusBar = nullptr;

public slots:
    void FormShow();
    void FormClose();
    // The search button: refuses a blank or quoted text, else lists every match.
    void RunSearch();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    DatabaseSession& db_;
    const Platform& platform_;

private:
    CommandGate commandGate_;
    void SetStatus(const QString& text);
    void ClearView();
    // Appends result lines at the end of the view, up to its limit; the view's own
    // caret and scroll position stay where they are.
    void AddLines(const std::vector<std::string>& lines);

    qsizetype heldChars_ = 0;
    bool searching_ = false;
};
