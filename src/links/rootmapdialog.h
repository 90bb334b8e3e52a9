#pragma once
// The user's table of folders shared with Windows PCs: each row a Windows root ("Z:\",
// "\\server\share\") and the Linux folder where this system finds it. Kept in the
// preferences file beside the settings, never in the settings file.
#include <QDialog>
#include <QString>

#include "platform/platform.h"
#include "text/rootmap.h"

class QPushButton;
class QTableWidget;

class RootMapDialog : public QDialog {
    Q_OBJECT
public:
    RootMapDialog(const Platform& platform, QWidget* parent = nullptr);

    // Shows the table; when the user confirms a valid table it is stored in the
    // preferences file and handed back in mappings. True then.
    bool Edit(const QString& preferencesFile, RootMappings& mappings);

    QTableWidget* table = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* removeButton = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

public slots:
    void accept() override;

private:
    const Platform& platform_;
    RootMappings edited_;
};
