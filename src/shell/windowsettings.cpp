#include "shell/windowsettings.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "groupdlg/groupcreatedialog.h"
#include "groupdlg/groupeditdialog.h"
#include "groupwin/groupwindow.h"
#include "groupwin/subgroupnamedialog.h"
#include "memo/memodialog.h"
#include "platform/dialogplace.h"
#include "search/searchwindow.h"
#include "settings/preferences.h"
#include "settings/windowplace.h"
#include "shell/databasesettingsdialog.h"

namespace {

// The group window's height as earlier versions first made it, one and a half rows of
// icons: stored unchanged, it is no size the user chose, and the first size stands.
constexpr int32_t kOldGroupFirstHeight = 331;

// Window arithmetic in Qt overflows near the ends of int; no screen is this large.
constexpr int32_t kMaxWindowValue = 1000000;

// A window's lines: left and top from the first, width and height after them when the
// window can be resized.
struct WindowLines {
    int first;
    QWidget* window;
    bool withSize;
};

std::vector<WindowLines> AllWindows(QWidget& mainWindow, const ProgramWindows& w)
{
    return {{kMainLeft, &mainWindow, true},          {kDbDialogLeft, w.settingsDialog, false},
            {kGroupLeft, w.groupWindow, true},       {kCreateDialogLeft, w.createDialog, false},
            {kEditDialogLeft, w.editDialog, false},  {kMemoDialogLeft, w.memoDialog, false},
            {kNameDialogLeft, w.subGroupNameDialog, false}, {kSearchLeft, w.searchWindow, true}};
}

// Puts the window at the place (frame left and top, inner size), kept on the screens.
void PutOnScreens(QWidget& w, const QRect& place)
{
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
    const QRect placed = PlaceOnScreens(place.x(), place.y(), place.width(), place.height(), screens);
    if (placed.size() != w.size()) w.resize(placed.size());
    if (placed.topLeft() != w.pos()) w.move(placed.topLeft());
    // The stored left and top are those of the frame, as pos() gives them when they
    // are collected. A window not yet created takes a move() as the frame's place;
    // one created but not yet framed (the main window, whose show handler restores
    // the places) takes it as the inside's, and would come up a title bar higher at
    // every start: the window manager is told that the frame goes there.
    if (w.testAttribute(Qt::WA_WState_Created) && w.windowHandle() && !w.windowHandle()->isExposed())
        w.windowHandle()->setFramePosition(w.pos());
}

} // namespace

void ApplyWindowSetting(QWidget& mainWindow, const ProgramWindows& windows, int line, int32_t value)
{
    // The view style is an index and left to the group window.
    if (line != kViewStyle) value = std::clamp(value, -kMaxWindowValue, kMaxWindowValue);
    const bool column = line >= kFirstColumnWidth && line < kFirstColumnWidth + kListColumnCount;
    if (line == kViewStyle || line == kTreeWidth || column) {
        GroupWindow* groupWindow = windows.groupWindow;
        if (!groupWindow) return;
        if (line == kViewStyle)
            groupWindow->SetViewStyleIndex(value);
        else if (line == kTreeWidth)
            groupWindow->SetTreeWidth(value);
        else
            groupWindow->SetColumnWidth(line - kFirstColumnWidth, value);
        return;
    }
    if (line == kGroupHeight && value == kOldGroupFirstHeight) return;
    for (const WindowLines& lines : AllWindows(mainWindow, windows)) {
        const int at = line - lines.first;
        if (at < 0 || at >= (lines.withSize ? 4 : 2)) continue;
        QWidget* w = lines.window;
        if (!w) return;
        switch (at) {
        case 0: w->move(value, w->y()); break;
        case 1: w->move(w->x(), value); break;
        // No size stored (a window never made writes zeros): the window's first size stays.
        case 2: if (value > 0) w->resize(value, w->height()); break;
        default: if (value > 0) w->resize(w->width(), value); break;
        }
        return;
    }
}

void PlaceWindowsOnScreens(QWidget& mainWindow, const ProgramWindows& windows)
{
    for (const WindowLines& lines : AllWindows(mainWindow, windows))
        if (lines.window) PutOnScreens(*lines.window, QRect(lines.window->pos(), lines.window->size()));
}

void RestoreWindowPlace(QWidget& window, const QString& preferencesFile)
{
    // With no place stored: over the window it belongs to, wholly on the screen, rather
    // than wherever the window manager finds room.
    const std::optional<QRect> place = LoadWindowPlace(preferencesFile, window.objectName());
    if (!place) CentreOnOpener(window, window.parentWidget());
    PutOnScreens(window, place ? *place : QRect(window.pos(), window.size()));
}

void StoreWindowPlace(const QWidget& window, const QString& preferencesFile)
{
    SaveWindowPlace(preferencesFile, window.objectName(), QRect(window.pos(), window.size()));
}

SettingsNumbers CollectWindowSettings(QWidget& mainWindow, const ProgramWindows& windows)
{
    SettingsNumbers numbers{};
    auto put = [&numbers](int line, int32_t value) { numbers[static_cast<size_t>(line - kFirstNumberLine)] = value; };
    for (const WindowLines& lines : AllWindows(mainWindow, windows)) {
        const QWidget* w = lines.window;
        QRect place = w ? QRect(w->pos(), w->size()) : QRect();
        if (w == &mainWindow && (w->isMaximized() || w->isFullScreen())) {
            // The place the window returns to, not the whole screen: restored as a normal
            // window, that would put its title bar out of reach.
            const QRect normal = w->normalGeometry();
            const QPoint frameOffset = w->geometry().topLeft() - w->pos();
            if (normal.isValid()) place = normal.translated(-frameOffset);
        }
        // A window that does not exist keeps the place of its lines with zeros.
        put(lines.first, w ? place.x() : 0);
        put(lines.first + 1, w ? place.y() : 0);
        if (lines.withSize) {
            put(lines.first + 2, w ? place.width() : 0);
            put(lines.first + 3, w ? place.height() : 0);
        }
    }
    if (const GroupWindow* groupWindow = windows.groupWindow) {
        for (int i = 0; i < kListColumnCount; ++i) put(kFirstColumnWidth + i, groupWindow->ColumnWidth(i));
        put(kViewStyle, groupWindow->ViewStyleIndex());
        put(kTreeWidth, groupWindow->TreeWidth());
    }
    return numbers;
}
