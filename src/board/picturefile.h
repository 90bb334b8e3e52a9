#pragma once
// Group picture files: their kind by extension, and the two kinds Qt reads itself,
// bitmaps and icons, checked before they are decoded. No picture is larger than
// kMaxPictureSide pixels a side, whatever its file says.
#include <optional>

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

constexpr int kMaxPictureSide = 1024;

// Little-endian fields of picture file bytes; the caller keeps `at` inside the bytes.
inline quint16 LeU16(const QByteArray& b, qsizetype at) { return quint16(quint8(b[at])) | quint16(quint8(b[at + 1])) << 8; }
inline quint32 LeU32(const QByteArray& b, qsizetype at) { return quint32(LeU16(b, at)) | quint32(LeU16(b, at + 2)) << 16; }
inline qint32 LeI32(const QByteArray& b, qsizetype at) { return qint32(LeU32(b, at)); }
inline qint16 LeI16(const QByteArray& b, qsizetype at) { return qint16(LeU16(b, at)); }

enum class PictureKind { Other, Bitmap, Icon, Metafile, Photo, Svg };

// By extension, case-insensitive: .bmp, .ico, and .emf and .wmf (either metafile
// format may hide behind either extension, as Windows reads them by content); .png,
// .jpg and .jpeg (Photo), .svg. Photos and drawings in SVG are decoded by the helper only.
PictureKind PictureKindOf(const QString& fsPath);

// A size of width x height (any unit that maps to pixels one to one) shrunk to at most
// kMaxPictureSide a side, keeping its proportions, each side rounded and at least 1.
// Invalid when a side is not positive.
QSize BoundedSize(double width, double height);

// The size of the image that a bitmap or icon file shows, as its headers declare it;
// nothing when the file is not a whole file of its kind.
std::optional<QSize> DeclaredRasterSize(const QString& fsPath, PictureKind kind);

// Decodes a bitmap or an icon file (the 32 x 32 image of an icon, else its first),
// letting Qt allocate at most allocationLimitMb for it; shrunk to the bound. A null
// image when the file is not a whole, readable file of its kind.
QImage DecodeRaster(const QString& fsPath, PictureKind kind, int allocationLimitMb);

// Decodes a PNG or JPEG file at most kMaxPictureSide a side (a larger one is decoded
// at the bounded size, not first whole), letting Qt allocate at most allocationLimitMb.
// A null image when it cannot be read.
QImage DecodePhoto(const QString& fsPath, int allocationLimitMb);
