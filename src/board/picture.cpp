#include "board/picture.h"

#include <optional>
#include <vector>

#include <QBuffer>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>

#include "board/picturefile.h"

namespace {

// What Qt may allocate for a picture decoded here: a 1024 x 1024 image of 32 bits
// needs 4 MB. Qt keeps one such limit for the whole process, so it must also let the
// preview's thumbnails through (2048 x 2048, 16 MB; their sides are checked first).
constexpr int kAllocationLimitMb = 16;

enum class Route { None, Here, Helper };

// Small bitmaps and icons are read here, in a few milliseconds and bounded memory;
// whatever needs a metafile library, a photo or SVG decoder, or would take a large
// allocation first, goes to the helper.
Route RouteOf(const QString& fsPath)
{
    if (!QFileInfo(fsPath).isFile()) return Route::None;
    const PictureKind kind = PictureKindOf(fsPath);
    if (kind == PictureKind::Metafile || kind == PictureKind::Photo || kind == PictureKind::Svg) return Route::Helper;
    if (kind == PictureKind::Other) return Route::None;
    const std::optional<QSize> size = DeclaredRasterSize(fsPath, kind);
    if (!size) return Route::None;
    return size->width() <= kMaxPictureSide && size->height() <= kMaxPictureSide ? Route::Here : Route::Helper;
}

// The helper's answer, held to what it may be.
QPixmap FromPng(const QByteArray& png)
{
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAutoDetectImageFormat(false);
    reader.setAllocationLimit(kAllocationLimitMb);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kMaxPictureSide || size.height() > kMaxPictureSide) return {};
    const QImage image = reader.read();
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

} // namespace

QPixmap LoadGroupPicture(const QString& fsPath, const QString& helperPath)
{
    PictureCache once(helperPath);
    return once.Load(fsPath);
}

QPixmap PlaceholderPicture()
{
    QPixmap picture(32, 32);
    picture.fill(QColor(236, 236, 236));
    QPainter painter(&picture);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(0, 0, 31, 31);
    painter.drawLine(8, 8, 23, 23);
    painter.drawLine(23, 8, 8, 23);
    return picture;
}

PictureCache::PictureCache(const QString& helperPath) : helperPath_(helperPath)
{
    // The helper needs some 200 MB of address space for Qt and the fonts; a large
    // bitmap on its way to being shrunk needs a few hundred more.
    limits_.memoryBytes = 768LL * 1024 * 1024;
}

void PictureCache::SetHelperPath(const QString& helperPath) { helperPath_ = helperPath; }

void PictureCache::SetLimits(const ProcessLimits& limits) { limits_ = limits; }

void PictureCache::Prepare(const QStringList& fsPaths)
{
    std::vector<LimitedRun> runs;
    QStringList forHelper;
    for (const QString& path : fsPaths) {
        if (pictures_.contains(path) || forHelper.contains(path)) continue;
        switch (RouteOf(path)) {
        case Route::None:
            ++decodes_;
            pictures_.insert(path, QPixmap());
            break;
        case Route::Here: {
            ++decodes_;
            const QImage image = DecodeRaster(path, PictureKindOf(path), kAllocationLimitMb);
            pictures_.insert(path, image.isNull() ? QPixmap() : QPixmap::fromImage(image));
            break;
        }
        case Route::Helper:
            forHelper << path;
            runs.push_back(LimitedRun{helperPath_, {path}, {}, false});
            break;
        }
    }
    if (runs.empty()) return;
    if (!helperPath_.isEmpty()) RunLimited(runs, limits_);
    for (qsizetype i = 0; i < forHelper.size(); ++i) {
        ++decodes_;
        ++helperRuns_;
        const LimitedRun& run = runs[size_t(i)];
        pictures_.insert(forHelper[i], run.ok ? FromPng(run.output) : QPixmap());
    }
}

QPixmap PictureCache::Load(const QString& fsPath)
{
    if (!pictures_.contains(fsPath)) Prepare({fsPath});
    return pictures_.value(fsPath);
}

void PictureCache::Clear() { pictures_.clear(); }

int PictureCache::DecodeCount() const { return decodes_; }

int PictureCache::HelperRunCount() const { return helperRuns_; }
