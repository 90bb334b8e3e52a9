#pragma once
// Thumbnails of picture files (photos of the site, scans) that groups hold beside the
// drawings. Pictures come from anywhere like drawings do, so only the thumbnailer
// process decodes them, and only the common kinds whose readers Qt itself carries.
#include <cstdint>
#include <string>
#include <string_view>

#include <QImage>

// Whether a file type (".png", lower case, as the file list gives it) is a picture the
// thumbnailer reads: PNG, JPEG, BMP, GIF, TIFF (scans) and WebP.
bool IsPictureFileType(std::string_view type);

// The picture in the file at most `size` pixels on its longer side, its shape kept and
// never enlarged, turned as its camera notes; null when the file is no picture of those
// kinds, claims more pixels than kMaxPicturePixels (or, of a kind whose reader decodes
// it whole before scaling, more than 128 MB at four bytes a pixel) or is cut. mtime: the
// file's time as it was read.
QImage ReadPictureThumbnail(const std::string& fsPath, int size, std::int64_t* mtime = nullptr);

// 64 million pixels; JPEG and PNG are decoded at the thumbnail's size.
constexpr std::int64_t kMaxPicturePixels = std::int64_t(64) * 1024 * 1024;
