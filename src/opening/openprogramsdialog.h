#pragma once
// "図面を開くプログラム": the types of file with the program each opens in (the desktop's
// choice unless the user gave one), changed or given back to the desktop here.
#include <QDialog>

#include "opening/openingdesktop.h"
#include "platform/platform.h"

class QLineEdit;
class QPushButton;
class QTableWidget;

class OpenProgramsDialog : public QDialog {
    Q_OBJECT
public:
    // Every change is stored in the preferences file at once.
    OpenProgramsDialog(const Platform& platform, const QString& preferencesFile, const QString& programFile,
                       DesktopFolders folders = DesktopFoldersFromEnvironment(), QWidget* parent = nullptr);

    // The types listed, in order, and what each shows as its program.
    QStringList Types() const;
    QString ProgramShown(const QString& type) const;

    // The commands, public so that tests can drive them.
    void ChangeType(const QString& type);   // asks for the program
    void ClearType(const QString& type);    // back to the desktop's choice
    void AddType(const QString& typed);     // ".DXF" or "dxf", then asks for its program

private:
    void Reload(const QString& select = {});
    QString SelectedType() const;
    bool Store(const QString& type, const QString& command);

    Platform platform_;
    QString preferencesFile_;
    QString programFile_;
    DesktopFolders folders_;
    OpenPrograms programs_;
    QStringList extraTypes_;   // added here, not stored yet
    QTableWidget* table_;
    QLineEdit* newType_;
    QPushButton* change_;
    QPushButton* clear_;
};

// The dialog run modally over parent.
void EditOpenPrograms(QWidget* parent, const Platform& platform, const QString& preferencesFile);
