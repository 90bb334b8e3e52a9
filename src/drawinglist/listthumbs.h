#pragma once
// The pictures of a drawing list, drawn for the page: one kumolist-thumbnailer process in
// batch mode under limits (started again when a drawing stops it) writes each as PNG
// into a folder of the list's own, gone with it. Asked one file at a time, so that the
// caller shows progress and can stop between files; no file waits longer than its time.
#include <memory>

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <vector>

#include "drawinglist/listentry.h"

class QProcess;

class ListThumbnails {
public:
    // pixels: the longer side; thumbnailer: its program, empty for no pictures.
    ListThumbnails(QString thumbnailer, int pixels);
    ~ListThumbnails();
    ListThumbnails(const ListThumbnails&) = delete;
    ListThumbnails& operator=(const ListThumbnails&) = delete;

    // The PNG of the file (a file-system path), or empty when it has none: not a drawing
    // or picture, damaged, over its time, or no thumbnailer.
    QString Draw(const QString& file);

    int fileSeconds = 10;        // CPU time the thumbnailer may give one file
    int fileWallMs = 30000;      // wall time for one file, then it is killed

private:
    void Stop();
    bool Start();

    QString thumbnailer_;
    int pixels_;
    QTemporaryDir folder_;
    std::unique_ptr<QProcess> process_;
    int drawn_ = 0;              // files of the current process
    int made_ = 0;               // pictures asked for, for their names
    int deathsInARow_ = 0;
    bool answered_ = false;      // the thumbnailer has shown that it works
    bool broken_ = false;
};

// The pictures of the entries whose files exist, in their order (empty where none);
// progress(done) is asked after each, and false from it stops: false then.
bool DrawListPictures(const std::vector<DrawingListEntry>& entries, ListThumbnails& thumbnails,
                      std::vector<QString>& pictures, const std::function<bool(int done)>& progress);
