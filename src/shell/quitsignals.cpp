#include "shell/quitsignals.h"

#include "shell/mainwindow.h"

#include <cerrno>
#include <csignal>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// A signal handler can reach no object: it writes the signal's number into a pipe whose
// other end the event loop watches (the only calls it makes are async-signal-safe).
int g_pipe[2] = {-1, -1};

extern "C" void OnQuitSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    // A full pipe already holds a request to quit: dropping this one loses nothing.
    [[maybe_unused]] const ssize_t n = write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent)
{
    if (g_pipe[0] >= 0 || pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::ReadPending);
    struct sigaction action = {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals) sigaction(s, &action, nullptr);
}

QuitSignals::~QuitSignals()
{
    if (!notifier_) return;
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (int s : kSignals) sigaction(s, &action, nullptr);
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void QuitSignals::ReadPending()
{
    unsigned char byte = 0;
    int last = 0;
    while (read(g_pipe[0], &byte, 1) == 1) last = byte;
    if (last) emit Received(last);
}

void CloseProgram(QWidget* mainWindow)
{
    QPointer<QWidget> main(mainWindow);
    if (QWidget* modal = QApplication::activeModalWidget()) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        // The dialog's loop ends only when this call has returned to it.
        QTimer::singleShot(10, qApp, [main] { CloseProgram(main); });
        return;
    }
    if (main) main->close();
    QCoreApplication::quit();
}

void CloseProgramOnQuitSignals(QuitSignals& quitSignals, MainWindow& mainWindow)
{
    QObject::connect(&quitSignals, &QuitSignals::Received, &mainWindow, [&mainWindow] {
        CloseProgram(&mainWindow);
    });
}
