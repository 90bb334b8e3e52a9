#pragma once
// SIGTERM (logout, shutdown), SIGINT and SIGHUP end the program as its exit command does:
// windows closed, settings file written. The database client library installs handlers
// of its own for SIGTERM and SIGINT where the program leaves them at their default, and
// those do not end a Qt program; ours must be in place before the first attach.
#include <QObject>

class MainWindow;
class QSocketNotifier;
class QWidget;

class QuitSignals : public QObject {
    Q_OBJECT
public:
    // Installs the handlers; only one object may exist at a time.
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

signals:
    // In the event loop, after the handler has returned: safe for any Qt call.
    void Received(int signalNumber);

private:
    void ReadPending();
    QSocketNotifier* notifier_ = nullptr;
};

// Ends the program from the event loop as its exit command does: every modal dialog is
// closed as its cancel button would (a question then counts as answered No), and once
// their loops have unwound the main window closes, which writes the settings file.
void CloseProgram(QWidget* mainWindow);

// The program's answer to the signals: CloseProgram (a running search ends with its window).
void CloseProgramOnQuitSignals(QuitSignals& quitSignals, MainWindow& mainWindow);
