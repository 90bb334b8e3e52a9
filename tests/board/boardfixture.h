#pragma once
// The program as a user starts it, in a temporary program folder: img/ with the default
// picture, a settings file when the test writes one, all eight windows, message boxes
// answered by the test double.
#include <functional>
#include <memory>
#include <optional>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "platform/platform.h"
#include "support/fakeplatform.h"
#include "settings/settings.h"
#include "settings/settingsfile.h"
#include "shell/mainwindow.h"
#include "support/testdb.h"

class QLineEdit;

class ProgramFolder {
public:
    ProgramFolder();
    QString path() const;          // with a trailing "/"
    QString programFile() const;   // <folder>/kumolist
    QString settingsPath() const;  // <folder>/kumolist.dat
    QString imgPath(const QString& name) const;

    // A settings file with the database settings and the windows where the program
    // would put them by default.
    void WriteSettings(const DatabaseSettings& settings);
    void WriteSettingsBytes(const QByteArray& bytes);
    QByteArray SettingsBytes() const;
    void PutPicture(const QString& name, const QByteArray& bytes);

private:
    QTemporaryDir dir_;
};

// The default numbers of lines 5-37.
SettingsNumbers DefaultSettingsNumbers();

// Small pictures of the four kinds.
QByteArray BmpBytes(int width, int height);
QByteArray EmfBytes();   // 48 x 24 pixels
QByteArray WmfBytes();   // 96 x 48 pixels

// Files that once stopped the program. An enhanced metafile of 100 x 30 pixels whose
// text is given by glyph indices (the metafile library tore fontconfig down under Qt);
// a placeable metafile of 7 x 7 pixels with an 8 x 8 bitmap whose header says its size
// is headerSize (0 made the library spin for minutes; 40 is right); a 1 KB run-length
// bitmap that declares 5000 x 5000 pixels.
QByteArray GlyphIndexEmfBytes();
QByteArray BitmapWmfBytes(quint32 headerSize);
QByteArray HugeRleBmpBytes();

class Program {
public:
    explicit Program(const QString& programFile);
    ~Program();
    FakePlatform fake;
    MainWindow mainWindow;
    ProgramWindows windows;

    // Shows the main window (its show handler runs) and waits until it is exposed.
    bool Show();
    // Closes it (its close handler runs).
    void Close();
};

// A fresh database, attached for the test to fill, and a program folder whose settings
// name it. Done() detaches before the program attaches.
struct Setup {
    TestDatabase db;
    ProgramFolder folder;
    DatabaseSession session{db.settings};
    bool ok = false;
    Setup()
    {
        ok = db.Create(session);
        folder.WriteSettings(db.settings);
    }
    void Done() { session.CloseDatabase(); }
};

// --- driving the program as a user does --------------------------------------------------

// Chooses the menu item of that object name.
void Trigger(Program& p, const char* action);
// Clicks the icon of group n; the board then has it selected.
void Select(Program& p, int group);
// Puts text into an edit box as an input method commits it (Qt Test types only ASCII keys).
void TypeCommitted(QLineEdit* edit, const QString& text);

// Runs a menu command that shows a modal dialog; `inDialog` acts on it and must end it.
template <typename Dialog>
void WithDialog(Program& p, const char* action, Dialog* dialog, const std::function<void(Dialog*)>& inDialog)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        ran = true;
        auto end = qScopeGuard([&] {
            if (dialog->isVisible()) dialog->reject();
        });
        QVERIFY(dialog->isVisible());
        inDialog(dialog);
    });
    Trigger(p, action);
    QVERIFY(ran);
}
