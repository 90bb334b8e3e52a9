#pragma once
// The preview pane of the group window: the drawing (or photo) of the current entry,
// large, with the entry's memo under it. The picture is the desktop cache's largest
// thumbnail (1024 pixels), read or drawn in the background by a ThumbnailClient of its
// own: the newest entry wins, what was asked for before is dropped, and the window never
// waits. The wheel zooms at the pointer (up to 16 times the fitted size), a drag pans,
// a double-click fits the paper again. Once the picture is shown larger than its own
// pixels, the drawing is asked for once more at 2048 pixels (kept in the program's own
// cache, never the desktop's) and takes the first one's place at the same zoom when it
// comes; until then, or when it fails, the first one stays. A document of several
// pages (a PDF plot) shows buttons that page through it, each page drawn as the first.
#include <array>
#include <memory>
#include <optional>

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include "groupwin/filerow.h"

class QLabel;
class QToolButton;
class ThumbnailClient;

// The picture, zoomed and panned by the mouse.
class DrawingCanvas : public QWidget {
    Q_OBJECT
public:
    explicit DrawingCanvas(QWidget* parent = nullptr);

    // Shows the picture fitted to the canvas (enlarged to fit only when fitEnlarges); a
    // null image and a note show the note.
    void SetPicture(const QImage& image, const QString& note = {}, bool fitEnlarges = true);
    // The same drawing with more pixels in the picture's place, zoom and place kept;
    // false (the picture kept) when it is no larger or not of the picture's shape.
    bool SetSharperPicture(const QImage& image);
    bool HasPicture() const { return !image_.isNull(); }
    QSize PictureSize() const { return image_.size(); }
    QSizeF BasisSize() const { return basis_; }   // the first picture's, which marks count in
    const QString& Note() const { return note_; }

    // Canvas pixels per pixel of the first picture, and where its top left lies.
    double Scale() const { return scale_; }
    QPointF Offset() const { return offset_; }
    double FitScale() const;
    // Where a point of the picture (its pixels) lands on the canvas.
    QPointF ToCanvas(QPointF picturePoint) const { return offset_ + picturePoint * scale_; }
    // Fits the whole picture again.
    void Fit();
    // Shows that rectangle of the picture (its pixels) centred, as large as the zoom allows.
    void ZoomTo(const QRectF& pictureRect);
    // Another picture of the same size in the picture's place, zoom and place kept;
    // false (nothing changed) for another size.
    bool ReplacePicture(const QImage& image);
    // Zooms to a part of the picture (its pixels), centred, and marks it until the
    // picture changes.
    void ShowMark(const QRectF& picturePart);

    static constexpr double kMaxZoom = 16;   // times the fitted scale

signals:
    // The scale changed: zoomed, or fitted to a new size.
    void ScaleChanged();

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
    QSizeF basis_;   // the first picture's size: scale and offset count its pixels
    bool fitEnlarges_ = true;
    QString note_;
    QPixmap scaled_;   // the picture at scale_, when that is smaller than it
    double scale_ = 1;
    QPointF offset_;
    bool fitted_ = true;   // follows the canvas's size until zoomed or panned
    bool dragging_ = false;
    QPointF dragFrom_;
    QRectF mark_;   // in the first picture's pixels; empty: none
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
    // Zooms the drawing shown to a text on its paper (mm: x0, y0, x1, y1) and marks it,
    // once its picture is there; where the paper lies on the picture is asked of the
    // thumbnailer.
    void ShowBox(const std::array<double, 4>& box);

    DrawingCanvas* canvas = nullptr;
    QLabel* memoLabel = nullptr;
    // Shown only for a document of more than one page.
    QWidget* pageBar = nullptr;
    QToolButton* previousPage = nullptr;
    QToolButton* nextPage = nullptr;
    QLabel* pageLabel = nullptr;
    int Page() const { return page_; }
    int Pages() const { return pages_; }
    void ShowPage(int page);

private:
    void Answered(const QString& file, const QImage& image);
    void PageAnswered(const QString& file, const QImage& image);
    void ShowPageBar();
    void AskSharper();
    void SharperAnswered(const QString& file, const QImage& image);
    void ApplyMark();

    std::unique_ptr<ThumbnailClient> client_;
    std::unique_ptr<ThumbnailClient> sharpClient_;   // 2048 pixels, when zoomed in
    bool sharpAsked_ = false;                        // for the entry shown
    QString thumbnailer_;
    QString file_;
    bool picture_ = false;   // a photo or scan, not a drawing
    QByteArray shownKey_;   // path and time of the entry shown
    int page_ = 1, pages_ = 1;
    QImage firstPage_;
    std::unique_ptr<ThumbnailClient> pageClient_;   // the page past the first shown
    // Pages past the first are no thumbnails of the file: kept apart, for this pane only.
    std::unique_ptr<QTemporaryDir> pagesCache_;
    // The text to show (ShowBox), for the file it was asked for, and that file's frame.
    std::optional<std::array<double, 4>> markBox_, markFrame_;
    QString markFile_;
};
