#pragma once
// The memo dialog: edits the memo of one file entry, or takes it from the memo stored
// in the drawing. The caller sets memoFileName and memoText, shows it modally and, when
// it ended by OK, reads memoText. The dialog itself stores nothing.
#include <string>

#include <QDialog>

#include "platform/platform.h"

class QLabel;
class QLineEdit;
class QPushButton;

class MemoDialog : public QDialog {
    Q_OBJECT
public:
    MemoDialog(const Platform& platform, QWidget* parent = nullptr);

    std::string memoFileName;   // in: full path of the entry's file (CP932)
    std::string memoText;       // in: the entry's memo; out after OK: the new memo, cleaned

    // Sets the two inputs, shows the dialog; true and the new memo after OK.
    bool Edit(const std::string& fileName, std::string& memo);

    QLabel* fileNameLabel = nullptr;
    QLabel* promptLabel = nullptr;
    QLineEdit* memoEdit = nullptr;           // 255 bytes as the user types
    QPushButton* getMemoButton = nullptr;
    QPushButton* clearButton = nullptr;
    QPushButton* okButton = nullptr;         // the default button
    QPushButton* cancelButton = nullptr;     // Esc

public slots:
    void FormShow();
    void GetDrawingMemo();
    void ClearMemo();
    void Accept();

protected:
    void showEvent(QShowEvent* event) override;

    const Platform& platform_;

private:
    QString shownMemo_;   // the memo as the field showed it first
};
