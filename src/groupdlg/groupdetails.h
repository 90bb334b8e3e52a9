#pragma once
// The layout, fields and buttons that the group create and edit dialogs share, with
// the parts of their work that are the same: clearing, the quote rule, turning the
// fields into statement values, and the picture browser.
#include <string>
#include <vector>

#include <QDialog>
#include <QString>

#include "shell/platform.h"
#include "shell/settings.h"

class QFrame;
class QLineEdit;
class QPushButton;
class QShowEvent;
class DatabaseSession;

class GroupDetailsDialog : public QDialog {
    Q_OBJECT
public:
    // Folder of the program, ending in "/"; the icon folder "img/" lies in it.
    void SetProgramFolder(const QString& folderWithTrailingSlash);
    QString ProgramFolder() const { return programFolder_; }
    QString IconFolder() const { return programFolder_ + QStringLiteral("img/"); }

    // Filled when shown; the store button runs Button1Click.
    virtual void FormShow() = 0;
    virtual void Button1Click() = 0;
    void Button2Click();   // clear
    void Button3Click();   // close without storing
    void Button4Click();   // picture browse

    QFrame* Panel1;
    QLineEdit* Edit1;   // number, read-only
    QLineEdit* Edit2;   // group name
    QLineEdit* Edit3;   // title
    QLineEdit* Edit4;   // subtitle
    QLineEdit* Edit5;   // author name
    QLineEdit* Edit6;   // memo lines 1 to 3
    QLineEdit* Edit7;
    QLineEdit* Edit8;
    QLineEdit* Edit9;   // icon picture file name
    QPushButton* Button1;   // store (default)
    QPushButton* Button2;   // clear
    QPushButton* Button3;   // close (cancel)
    QPushButton* Button4;   // browse

protected:
    GroupDetailsDialog(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform,
                       const QString& caption, const QString& storeCaption, QWidget* parent);

    void showEvent(QShowEvent* event) override;

    // The catalogue table and its eleven columns, in the order every row is handled.
    static const std::string kCatalogue;
    static const std::vector<std::string>& CatalogueColumns();

    // Edit2 to Edit9, the fields whose texts go into the eight text columns.
    std::vector<QLineEdit*> TextFields() const;

    // The quote rule: true (and the user told, the focus on the group name) when a
    // text field holds a quotation mark. Checked before any statement is built.
    bool RefuseQuotes();

    // Appends the literals of the eight text fields (NULL or 'text') to values; false
    // when a text has no CP932 form, which the store then reports as a failure.
    bool AppendTextLiterals(std::vector<std::string>& values) const;

    void FocusGroupName();

    DatabaseSession& db_;
    const DatabaseSettings& settings_;
    const Platform& platform_;

private:
    QString programFolder_;
};
