#pragma once
// The layout, fields and buttons that the group create and edit dialogs share, with
// the parts of their work that are the same: clearing, the quote rule, turning the
// fields into statement values, and the picture browser.
#include <string>
#include <vector>

#include <QDialog>
#include <QString>

#include "platform/platform.h"
#include "settings/programfiles.h"
#include "settings/settings.h"

class QFrame;
class QLineEdit;
class QPushButton;
class QShowEvent;
class DatabaseSession;

// Why a picture of that file name cannot be a group's picture (the name must fit ICONP
// in CP932, stay inside the icon folder and pass the quote rule; the kind must be one of
// the four), in a sentence for the user; empty when it can.
QString PictureNameRefusal(const QString& name);
// Copies a picture file into the icon folder under that name, replacing a file of that
// name; empty on success, else what the user is told.
QString CopyIntoFolder(const QString& source, const QString& folder, const QString& name);

class GroupDetailsDialog : public QDialog {
    Q_OBJECT
public:
    // The icon folder and the picture helper the browser uses.
    void SetProgramFiles(const ProgramFiles& files) { files_ = files; }
    // Where pictures are chosen from and copied to.
    QString IconFolder() const { return files_.pictureFolder.isEmpty() ? files_.iconFolder : files_.pictureFolder; }

    // Filled when shown; the store button runs StoreGroup.
    virtual void FormShow() = 0;
    virtual void StoreGroup() = 0;
    void ClearFields();     // every field but the number
    void CloseDialog();     // without storing
    // A picture of the icon folder; one from elsewhere is copied in when the user agrees.
    void BrowsePicture();

    QFrame* fieldPanel;
    QLineEdit* numberEdit;   // read-only
    QLineEdit* nameEdit;
    QLineEdit* titleEdit;
    QLineEdit* subtitleEdit;
    QLineEdit* authorEdit;
    QLineEdit* memo1Edit;
    QLineEdit* memo2Edit;
    QLineEdit* memo3Edit;
    QLineEdit* pictureEdit;   // file name inside the icon folder
    QPushButton* storeButton;   // the default button
    QPushButton* clearButton;
    QPushButton* closeButton;   // the cancel button
    QPushButton* browseButton;

protected:
    GroupDetailsDialog(DatabaseSession& db, const DatabaseSettings& settings, const Platform& platform,
                       const QString& caption, const QString& storeCaption, QWidget* parent);

    void showEvent(QShowEvent* event) override;

    // The fields whose texts go into the eight text columns, in column order: the first
    // holds column kColGrpName, the last kColIconP.
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
    ProgramFiles files_;
};
