#include "platform/dialogplace.h"

#include <algorithm>

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace {

// A title bar the dialog will have once framed.
constexpr int kTitleBarHeight = 32;

class CentreOnShow final : public QObject {
public:
    explicit CentreOnShow(QWidget& dialog) : QObject(&dialog) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Shown from the program, not brought back from the task bar.
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            auto* dialog = static_cast<QWidget*>(watched);
            const QWidget* opener = QApplication::activeWindow();
            if (!opener || opener == dialog || !opener->isVisible())
                opener = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
            CentreOnOpener(*dialog, opener);
        }
        return false;
    }
};

} // namespace

QPoint CentredPlace(const QRect& openerFrame, const QSize& dialogSize, const QRect& screen)
{
    const int width = std::max(dialogSize.width(), 0);
    const int height = std::max(dialogSize.height(), 0) + kTitleBarHeight;
    const QPoint centre = openerFrame.isValid() ? openerFrame.center() : screen.center();
    const int left = std::clamp(centre.x() - width / 2, screen.left(), std::max(screen.left(), screen.right() + 1 - width));
    const int top = std::clamp(centre.y() - height / 2, screen.top(), std::max(screen.top(), screen.bottom() + 1 - height));
    return {left, top};
}

void CentreOnOpener(QWidget& dialog, const QWidget* opener)
{
    const QWidget* window = opener ? opener->window() : nullptr;
    const QScreen* screen = window && window->isVisible() ? window->screen() : dialog.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect openerFrame = window && window->isVisible() ? window->frameGeometry() : QRect();
    dialog.move(CentredPlace(openerFrame, dialog.size(), screen->availableGeometry()));
}

void CentreWhenShown(QWidget& dialog) { dialog.installEventFilter(new CentreOnShow(dialog)); }
