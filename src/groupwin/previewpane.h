#pragma once
// The preview pane of the group window: the drawing of the current entry, large, with
// the entry's memo under it. The picture is the desktop cache's largest thumbnail (1024
// pixels), read or drawn in the background by a ThumbnailClient of its own: the newest
// entry wins, what was asked for before is dropped, and the window never waits. The
// wheel zooms at the pointer (the 1024-pixel picture scaled, up to 16 times the fitted
// size), a drag pans, a double-click fits the paper again.
#include <memory>

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include "groupwin/filerow.h"

class QLabel;
class ThumbnailClient;

// The picture, zoomed and panned by the mouse.
class DrawingCanvas : public QWidget {
    Q_OBJECT
public:
    explicit DrawingCanvas(QWidget* parent = nullptr);

    // Shows the picture fitted to the canvas; a null image and a note show the note.
    void SetPicture(const QImage& image, const QString& note = {});
    bool HasPicture() const { return !image_.isNull(); }
    const QString& Note() const { return note_; }

    // Canvas pixels per picture pixel, and where the picture's top left lies.
    double Scale() const { return scale_; }
    QPointF Offset() const { return offset_; }
    double FitScale() const;
    // Where a point of the picture (its pixels) lands on the canvas.
    QPointF ToCanvas(QPointF picturePoint) const { return offset_ + picturePoint * scale_; }
    // Fits the whole picture again.
    void Fit();

    static constexpr double kMaxZoom = 16;   // times the fitted scale

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage image_;
    QString note_;
    QPixmap scaled_;   // the picture at scale_, when that is smaller than it
    double scale_ = 1;
    QPointF offset_;
    bool fitted_ = true;   // follows the canvas's size until zoomed or panned
    bool dragging_ = false;
    QPointF dragFrom_;
};

class PreviewPane : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPane(QWidget* parent = nullptr);
    ~PreviewPane() override;

    // The thumbnailer program; empty: no drawing is shown.
    void SetThumbnailer(const QString& path);
    // Shows the entry (nullptr: none). The same file again keeps its picture and zoom.
    void ShowEntry(const FileRow* row);
    // The drawing shown or being read; empty when the entry is none or no drawing.
    const QString& File() const { return file_; }

    DrawingCanvas* canvas = nullptr;
    QLabel* memoLabel = nullptr;

private:
    void Answered(const QString& file, const QImage& image);

    std::unique_ptr<ThumbnailClient> client_;
    QString thumbnailer_;
    QString file_;
    QByteArray shownKey_;   // path and time of the entry shown
};
