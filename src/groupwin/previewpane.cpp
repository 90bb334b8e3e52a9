#include "groupwin/previewpane.h"

#include <algorithm>
#include <cmath>

#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QToolButton>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "groupwin/drawingthumbnails.h"
#include "drawing/pdfdocument.h"
#include "drawing/picturethumb.h"
#include "drawing/thumbcache.h"
#include "groupwin/thumbnailclient.h"
#include "text/cp932.h"

namespace {

// The cache's xx-large size, the largest the thumbnailer draws into it, and the size
// drawn once the user zooms in past it.
constexpr int kPreviewPixels = kDesktopThumbnailPixels;
constexpr int kSharpPixels = kLargestThumbnailPixels;
constexpr int kMargin = 8;
// One notch of the wheel.
constexpr double kZoomStep = 1.25;
constexpr double kMinZoom = 0.5;   // times the fitted scale
// More pages than a plot set has are damage in the picture's key.
constexpr int kMaxPages = 100000;

std::unique_ptr<ThumbnailClient> MakeClient(const QString& thumbnailer, int size, int page = 1, const QString& cacheRoot = {})
{
    ThumbnailClientOptions options;
    options.thumbnailer = thumbnailer;
    options.size = size;
    options.page = page;
    options.cacheRoot = cacheRoot;
    return std::make_unique<ThumbnailClient>(options);
}

} // namespace

// --- the canvas --------------------------------------------------------------------------

DrawingCanvas::DrawingCanvas(QWidget* parent) : QWidget(parent)
{
    setObjectName("previewCanvas");
    setMinimumSize(64, 64);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void DrawingCanvas::SetPicture(const QImage& image, const QString& note, bool fitEnlarges)
{
    image_ = image;
    fitEnlarges_ = fitEnlarges;
    basis_ = QSizeF(image.size());
    note_ = image.isNull() ? note : QString();
    scaled_ = {};
    mark_ = {};
    Fit();
}

void DrawingCanvas::ShowMark(const QRectF& picturePart)
{
    if (image_.isNull() || !picturePart.isValid()) return;
    mark_ = picturePart;
    // The text takes about a quarter of the canvas, with the drawing around it to read.
    const double fit = FitScale();
    const double want = std::min(width() / (4 * std::max(mark_.width(), 1.0)), height() / (4 * std::max(mark_.height(), 1.0)));
    scale_ = std::clamp(want, fit, fit * kMaxZoom);
    offset_ = QPointF(width() / 2.0, height() / 2.0) - mark_.center() * scale_;
    fitted_ = false;
    update();
    emit ScaleChanged();
}

bool DrawingCanvas::SetSharperPicture(const QImage& image)
{
    if (image_.isNull() || image.width() <= image_.width() || image.height() <= image_.height()) return false;
    // The thumbnailer rounds the shorter side: the shapes agree within a pixel of the
    // first picture, unless the file changed in between.
    const double across = image.width() * basis_.height() / image.height();
    if (std::abs(across - basis_.width()) > 2) return false;
    image_ = image;
    scaled_ = {};
    update();
    return true;
}

double DrawingCanvas::FitScale() const
{
    if (image_.isNull()) return 1;
    const double w = std::max(1, width() - 2 * kMargin), h = std::max(1, height() - 2 * kMargin);
    const double fit = std::min(w / basis_.width(), h / basis_.height());
    // A small photo fits at one of its pixels to one of the screen's at most, as picture
    // viewers show it; the wheel still zooms in.
    return fitEnlarges_ ? fit : std::min(fit, 1 / devicePixelRatioF());
}

void DrawingCanvas::Fit()
{
    fitted_ = true;
    scale_ = FitScale();
    offset_ = QPointF((width() - basis_.width() * scale_) / 2, (height() - basis_.height() * scale_) / 2);
    update();
    emit ScaleChanged();
}

void DrawingCanvas::ZoomTo(const QRectF& pictureRect)
{
    if (image_.isNull() || !pictureRect.isValid()) return;
    const double fit = FitScale();
    scale_ = std::clamp(std::min(width() / pictureRect.width(), height() / pictureRect.height()), fit, fit * kMaxZoom);
    offset_ = QPointF(width() / 2.0, height() / 2.0) - pictureRect.center() * scale_;
    fitted_ = false;
    update();
    emit ScaleChanged();
}

bool DrawingCanvas::ReplacePicture(const QImage& image)
{
    if (image_.isNull() || image.size() != image_.size()) return false;
    image_ = image;
    scaled_ = {};
    update();
    return true;
}

void DrawingCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(128, 128, 128));
    if (image_.isNull()) {
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(kMargin, kMargin, -kMargin, -kMargin), Qt::AlignCenter | Qt::TextWordWrap, note_);
        return;
    }
    const QRectF target(offset_, basis_ * scale_);
    if (target.width() < image_.width()) {
        // Smaller than the picture: scaled by averaging, once per zoom, so that thin
        // lines stay visible.
        const QSize size = target.size().toSize().expandedTo(QSize(1, 1));
        if (scaled_.size() != size)
            scaled_ = QPixmap::fromImage(image_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        painter.drawPixmap(target.topLeft(), scaled_);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, image_);
    }
    painter.setPen(QColor(64, 64, 64));
    painter.drawRect(target.adjusted(-1, -1, 0, 0));
    if (mark_.isValid()) {
        painter.setPen(QPen(QColor(230, 0, 0), 2));
        painter.drawRect(QRectF(ToCanvas(mark_.topLeft()), ToCanvas(mark_.bottomRight())).adjusted(-4, -4, 4, 4));
    }
}

void DrawingCanvas::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (fitted_) Fit();
}

void DrawingCanvas::wheelEvent(QWheelEvent* event)
{
    if (image_.isNull()) return;
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) return;
    const double fit = FitScale();
    const double scale = std::clamp(scale_ * std::pow(kZoomStep, notches), fit * kMinZoom, fit * kMaxZoom);
    // The point under the pointer stays under it.
    const QPointF at = event->position();
    offset_ = at - (at - offset_) * (scale / scale_);
    scale_ = scale;
    fitted_ = false;
    update();
    event->accept();
    emit ScaleChanged();
}

void DrawingCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || image_.isNull()) return QWidget::mousePressEvent(event);
    dragging_ = true;
    dragFrom_ = event->position();
    setCursor(Qt::ClosedHandCursor);
}

void DrawingCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!dragging_) return QWidget::mouseMoveEvent(event);
    offset_ += event->position() - dragFrom_;
    dragFrom_ = event->position();
    fitted_ = false;
    update();
}

void DrawingCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !dragging_) return QWidget::mouseReleaseEvent(event);
    dragging_ = false;
    unsetCursor();
}

void DrawingCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QWidget::mouseDoubleClickEvent(event);
    Fit();
}

// --- the pane ----------------------------------------------------------------------------

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent)
{
    setObjectName("previewPane");
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    canvas = new DrawingCanvas(this);
    memoLabel = new QLabel(this);
    memoLabel->setObjectName("previewMemo");
    // The memo comes from the database: shown as it is, never as markup.
    memoLabel->setTextFormat(Qt::PlainText);
    memoLabel->setWordWrap(true);
    memoLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    memoLabel->setMargin(4);
    pageBar = new QWidget(this);
    auto* pages = new QHBoxLayout(pageBar);
    pages->setContentsMargins(0, 0, 0, 0);
    previousPage = new QToolButton(pageBar);
    previousPage->setArrowType(Qt::LeftArrow);
    previousPage->setToolTip(QStringLiteral("前のページ"));
    nextPage = new QToolButton(pageBar);
    nextPage->setArrowType(Qt::RightArrow);
    nextPage->setToolTip(QStringLiteral("次のページ"));
    pageLabel = new QLabel(pageBar);
    pages->addStretch();
    pages->addWidget(previousPage);
    pages->addWidget(pageLabel);
    pages->addWidget(nextPage);
    pages->addStretch();
    pageBar->hide();
    connect(previousPage, &QToolButton::clicked, this, [this] { ShowPage(page_ - 1); });
    connect(nextPage, &QToolButton::clicked, this, [this] { ShowPage(page_ + 1); });
    layout->addWidget(canvas, 1);
    layout->addWidget(pageBar);
    layout->addWidget(memoLabel);
    connect(canvas, &DrawingCanvas::ScaleChanged, this, &PreviewPane::AskSharper);
}

PreviewPane::~PreviewPane() = default;

void PreviewPane::SetThumbnailer(const QString& path)
{
    if (path == thumbnailer_) return;
    thumbnailer_ = path;
    client_.reset();
    sharpClient_.reset();
    // Asked again of the new one.
    shownKey_.clear();
    file_.clear();
}

void PreviewPane::ShowEntry(const FileRow* row)
{
    memoLabel->setText(row ? ToQ(row->cells[kCellMemo]) : QString());
    const QByteArray key = row ? DrawingRowKey(*row) : QByteArray();
    if (key == shownKey_ && !key.isEmpty()) return;
    shownKey_ = key;
    file_.clear();
    markBox_.reset();
    sharpAsked_ = false;
    page_ = pages_ = 1;
    firstPage_ = {};
    pageClient_.reset();
    pageBar->hide();
    canvas->SetPicture({});
    if (client_) client_->Clear();
    if (sharpClient_) sharpClient_->Clear();
    if (!row || !IsThumbnailRow(*row) || thumbnailer_.isEmpty()) return;
    if (!client_) {
        client_ = MakeClient(thumbnailer_, kPreviewPixels);
        connect(client_.get(), &ThumbnailClient::Ready, this, &PreviewPane::Answered);
    }
    file_ = RowFsPath(*row);
    picture_ = IsPictureFileType(row->cells[kCellType]);
    client_->Request({file_});
}

void PreviewPane::Answered(const QString& file, const QImage& image)
{
    // An entry left since: the newest one is being read.
    if (file != file_ || canvas->HasPicture()) return;
    // A photo smaller than the size asked for is whole: it is not blown up to fit.
    const bool whole = picture_ && std::max(image.width(), image.height()) < kPreviewPixels;
    canvas->SetPicture(image, picture_ ? "この画像は表示出来ません。" : "この図面は表示出来ません。", !whole);
    ApplyMark();
    bool counted = false;
    const int pages = image.text(kPdfPagesKey).toInt(&counted);
    if (counted && pages > 1 && pages <= kMaxPages) {
        pages_ = pages;
        firstPage_ = image;
        ShowPageBar();
    }
}

void PreviewPane::ShowPageBar()
{
    pageLabel->setText(QStringLiteral("%1 / %2").arg(page_).arg(pages_));
    previousPage->setEnabled(page_ > 1);
    nextPage->setEnabled(page_ < pages_);
    pageBar->setVisible(pages_ > 1);
}

void PreviewPane::ShowPage(int page)
{
    if (file_.isEmpty() || page < 1 || page > pages_ || page == page_) return;
    page_ = page;
    ShowPageBar();
    pageClient_.reset();   // a page asked for before is not wanted any more
    if (page == 1) {
        canvas->SetPicture(firstPage_);
        return;
    }
    canvas->SetPicture({});
    if (!pagesCache_) pagesCache_ = std::make_unique<QTemporaryDir>();
    if (!pagesCache_->isValid()) return;
    pageClient_ = MakeClient(thumbnailer_, kPreviewPixels, page, pagesCache_->filePath(QString::number(page)));
    connect(pageClient_.get(), &ThumbnailClient::Ready, this, &PreviewPane::PageAnswered);
    pageClient_->Request({file_});
}

void PreviewPane::PageAnswered(const QString& file, const QImage& image)
{
    if (file == file_ && page_ > 1) canvas->SetPicture(image, "このページは表示出来ません。");
}

void PreviewPane::ShowBox(const std::array<double, 4>& box)
{
    markBox_ = box;
    markFrame_.reset();
    markFile_ = file_;
    if (file_.isEmpty() || picture_ || thumbnailer_.isEmpty()) return;
    // The thumbnailer limits itself in time and memory; its one line is all it may say.
    auto* info = new QProcess(this);
    connect(info, &QProcess::finished, this, [this, info, file = file_] {
        const QJsonArray f = QJsonDocument::fromJson(info->readAllStandardOutput().left(4096)).object().value("frame_mm").toArray();
        info->deleteLater();
        if (file != markFile_ || f.size() != 4) return;
        markFrame_ = std::array<double, 4>{f[0].toDouble(), f[1].toDouble(), f[2].toDouble(), f[3].toDouble()};
        ApplyMark();
    });
    connect(info, &QProcess::errorOccurred, info, &QObject::deleteLater);
    info->start(thumbnailer_, {"--info", file_});
}

void PreviewPane::ApplyMark()
{
    if (!markBox_ || !markFrame_ || markFile_ != file_ || !canvas->HasPicture()) return;
    // The picture fits the frame, centred, y upwards on the paper.
    const auto& [fx0, fy0, fx1, fy1] = *markFrame_;
    const auto& [x0, y0, x1, y1] = *markBox_;
    const QSizeF size = canvas->BasisSize();
    const double s = std::min(size.width() / std::max(fx1 - fx0, 1e-6), size.height() / std::max(fy1 - fy0, 1e-6));
    const double cx = (fx0 + fx1) / 2, cy = (fy0 + fy1) / 2;
    const auto at = [&](double x, double y) { return QPointF(size.width() / 2 + s * (x - cx), size.height() / 2 - s * (y - cy)); };
    canvas->ShowMark(QRectF(at(std::min(x0, x1), std::max(y0, y1)), at(std::max(x0, x1), std::min(y0, y1))));
}

void PreviewPane::AskSharper()
{
    // Once per entry, when the first picture is shown larger than its own pixels (on
    // the screen's pixels, which may be finer than the canvas's).
    // A picture smaller than the first size asked for is already whole.
    const QSize has = canvas->PictureSize();
    if (sharpAsked_ || page_ > 1 || file_.isEmpty() || !canvas->HasPicture() || std::max(has.width(), has.height()) < kPreviewPixels ||
        canvas->Scale() * canvas->devicePixelRatioF() <= 1)
        return;
    sharpAsked_ = true;
    if (!sharpClient_) {
        sharpClient_ = MakeClient(thumbnailer_, kSharpPixels);
        connect(sharpClient_.get(), &ThumbnailClient::Ready, this, &PreviewPane::SharperAnswered);
    }
    sharpClient_->Request({file_});
}

void PreviewPane::SharperAnswered(const QString& file, const QImage& image)
{
    // None, or for an entry left since: the first picture stays, without a word.
    if (file == file_ && page_ == 1 && !image.isNull()) canvas->SetSharperPicture(image);
}
