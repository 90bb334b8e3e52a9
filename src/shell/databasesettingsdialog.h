#pragma once
// The database settings dialog: where the database lies and the user's name. Its OK
// button creates the database file when there is none and closes only when the
// database can be attached.
#include <QDialog>

#include "db/session.h"
#include "platform/platform.h"
#include "settings/settings.h"

class QLineEdit;
class QPushButton;

class DatabaseSettingsDialog : public QDialog {
    Q_OBJECT
public:
    DatabaseSettingsDialog(DatabaseSession& db, DatabaseSettings& settings, const Platform& platform, QWidget* parent = nullptr);

    QLineEdit* serverEdit = nullptr;
    QLineEdit* folderEdit = nullptr;   // on the server
    QLineEdit* databaseNameEdit = nullptr;
    QLineEdit* userNameEdit = nullptr;   // 16 bytes
    QPushButton* okButton = nullptr;       // the default button
    QPushButton* cancelButton = nullptr;

public slots:
    void FormShow();
    void ApplySettings();
    void Cancel();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Refuse(const QString& message, QLineEdit* focus);

    DatabaseSession& db_;
    DatabaseSettings& settings_;
    const Platform& platform_;
};
