#include "search/unit8.h"

TForm8::TForm8(DatabaseSession& db, const Platform& platform, QWidget* parent)
    : QWidget(parent, Qt::Window), db_(db), platform_(platform)
{
    setObjectName("Form8");
    setWindowTitle("検索");
    resize(460, 348);
    move(197, 107);
}
