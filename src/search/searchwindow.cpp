#include "search/searchwindow.h"

SearchWindow::SearchWindow(DatabaseSession& db, const Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window), db_(db), platform_(platform)
{
    setObjectName("SearchWindow");
    setWindowTitle("検索");
    resize(460, 348);
    move(197, 107);
}
