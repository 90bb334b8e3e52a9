#pragma once
// One copy of the program per user and settings file. The settings file names the
// database, so a second start (a double-click in the file manager, the menu entry again)
// would otherwise open a second board on the same database, or, started without those
// settings, the default one. The first copy listens on a local socket that only its
// user can reach; a later one hands it its arguments and ends.
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // settingsFile: the settings file this copy reads (programfiles.h).
    explicit SingleInstance(const QString& settingsFile, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when a copy for the same settings file runs and took the arguments (files,
    // or none to be brought to the front); waits for it at most waitMs.
    bool HandOver(const QStringList& arguments, int waitMs = 3000) const;
    // Listens for later copies; false when it could not (this copy runs all the same).
    bool Listen();
    // The socket's name: in the user's runtime folder where there is one.
    const QString& ServerName() const { return name_; }

signals:
    // A later copy's arguments (without the program's name).
    void ArgumentsReceived(const QStringList& arguments);

private:
    void Take(QLocalSocket* socket);

    QString name_;
    QLocalServer* server_ = nullptr;
};
