#pragma once
// "プログラムを指定して開く": one of the desktop's applications for the file's type, or a
// command of the user's own, and whether the type always opens so.
#include <optional>
#include <vector>

#include <QDialog>

#include "opening/desktopapps.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;

struct OpenChoice {
    QString command;       // an application's Exec line or the user's command
    bool always = false;   // store it as the type's program
};

class OpenWithDialog : public QDialog {
    Q_OBJECT
public:
    // fileName: shown to say what opens; askAlways: offer the check box (else the choice
    // is for the type and stored by the caller).
    OpenWithDialog(const QString& fileName, const std::vector<DesktopApp>& apps, bool askAlways,
                   QWidget* parent = nullptr);
    OpenChoice Choice() const;

private:
    void UpdateState();

    std::vector<DesktopApp> apps_;
    QListWidget* list_;
    QLineEdit* command_;
    QCheckBox* always_;
    QPushButton* ok_;
};

// The dialog run modally; nothing when cancelled.
std::optional<OpenChoice> ChooseProgram(QWidget* parent, const QString& path, const std::vector<DesktopApp>& apps,
                                        bool askAlways = true);

// The icon an entry names: a theme name or a file.
QIcon DesktopAppIcon(const DesktopApp& app);
