#pragma once
// Two drawings compared on one paper: what both hold in grey, what only the first holds
// in red, only the second in blue, beside the list of the differences. The thumbnailer
// reads both drawings in a process of its own under limits (the program never parses a
// drawing itself) and hands back the overlay as a picture and the differences as JSON.
#include <string>

#include <QImage>
#include <QJsonArray>
#include <QString>
#include <QWidget>

#include "drawing/drawinggeometry.h"
#include "platform/platform.h"

class QLabel;
class QListWidget;
class QProcess;
class QPushButton;
class QRadioButton;
class QTimer;
class DrawingCanvas;

// Whether entries of the type (".jww", ".DXF") are drawings the thumbnailer compares.
bool IsComparedType(const std::string& type);

// The differences as the list shows them, one line each, from the thumbnailer's
// details ("線 削除", "文字 居間 → リビング").
QString CompareDifferenceText(const QJsonObject& difference);

class CompareWindow : public QWidget {
    Q_OBJECT
public:
    // first and second: the drawings as the file system names them.
    CompareWindow(const Platform& platform, const QString& thumbnailer, const QString& first, const QString& second,
                  QWidget* parent = nullptr);
    ~CompareWindow() override;

    // The overlay picture's longer side, in pixels. Zoomed in past its pixels, the part
    // in view is drawn again at the canvas's size and shown over it, as long as the view
    // stays where it was asked for.
    static constexpr int kPictureSize = 2048;

    QListWidget* differenceList = nullptr;
    QRadioButton* showBoth = nullptr;
    QRadioButton* showFirst = nullptr;
    QRadioButton* showSecond = nullptr;
    QPushButton* saveButton = nullptr;
    QLabel* summaryLabel = nullptr;
    DrawingCanvas* canvas = nullptr;

    // Saves the overlay as shown (with its legend) as PNG, where the save dialog says.
    void SavePicture();
    // Zooms to the difference of that row of the list.
    void ZoomToDifference(int row);

    // The part in view is shown drawn at the canvas's own size.
    bool SharperShown() const;

signals:
    // The thumbnailer answered (or failed) for the layers shown.
    void pictureShown();
    // The part in view came drawn at the canvas's size.
    void sharperShown();

private:
    QStringList Arguments(const QString& png, bool legend) const;
    void Ask();
    void Answered();
    void AskSharper();
    QStringList ShowArgument() const;

    const Platform& platform_;
    QString thumbnailer_, first_, second_, pictureFile_;
    QProcess* process_ = nullptr;
    QProcess* sharperProcess_ = nullptr;
    QString sharperFile_;
    bool sharperAgain_ = false;
    QTimer* sharperLater_ = nullptr;   // once the wheel and the drag have stopped
    bool again_ = false;           // the layers changed while the thumbnailer worked
    bool listed_ = false;          // the list and the frame are filled (once)
    DrawingBox frame_;
    QJsonArray differences_;
};
