#pragma once
// Windows metafiles (.emf and .wmf) as images: checked record by record, turned into
// SVG by libemf2svg or libwmf, drawn by Qt Svg at the picture's natural size (at most
// kMaxPictureSide a side). Used only in the picture helper program, never in the
// program itself: the libraries are not safe against every file.
#include <QByteArray>
#include <QImage>
#include <QString>

// Metafiles are read whole; real group pictures are a few kilobytes.
constexpr qint64 kMaxMetafileBytes = 32 * 1024 * 1024;

// Either format, whatever the extension says, as Windows' metafile picture reads them.
// A null image when the bytes are not a whole metafile or cannot be drawn. Text in the
// picture needs a QGuiApplication.
QImage DecodeMetafile(const QByteArray& bytes);
QImage DecodeMetafileFile(const QString& fsPath);
