#pragma once
// The database settings dialog: where the database lies and the user's name. Its OK
// button creates the database file when there is none and closes only when the
// database can be attached.
#include <QDialog>

#include "db/session.h"
#include "shell/platform.h"
#include "shell/settings.h"

class QLineEdit;
class QPushButton;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    TForm2(DatabaseSession& db, DatabaseSettings& settings, const Platform& platform, QWidget* parent = nullptr);

    QLineEdit* Edit1 = nullptr;   // server prefix
    QLineEdit* Edit2 = nullptr;   // data folder on the server
    QLineEdit* Edit3 = nullptr;   // database file name
    QLineEdit* Edit4 = nullptr;   // user name, 16 bytes
    QPushButton* Button1 = nullptr;   // OK (default)
    QPushButton* Button2 = nullptr;   // cancel

public slots:
    void FormShow();
    void Button1Click();
    void Button2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Refuse(const QString& message, QLineEdit* focus);

    DatabaseSession& db_;
    DatabaseSettings& settings_;
    const Platform& platform_;
};
