#include "listworkloads.h"

#include <algorithm>
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>

#include "drawinglist/listentry.h"
#include "drawinglist/listpainter.h"
#include "drawinglist/listthumbs.h"
#include "groupwin/filelistmodel.h"
#include "support/fakeplatform.h"
#include "text/cp932.h"
#include "text/fold.h"

namespace {

// ---- W9: a drawing list as PDF ---------------------------------------------------------

// The real drawings, as many as the size, listed as a table on A4 with their pictures
// drawn at 300 dpi by one thumbnailer process, and the PDF written: the wall time of it
// all, the file's size printed apart. The floor: the thumbnailer drawing the same
// pictures alone, the part no list can do without.
class DrawingListWorkload : public Workload {
public:
    bool Prepare(int size) override
    {
        const QDir source(QStringLiteral(KUMO_TESTDATA) + "/jww");
        const QStringList drawings = source.entryList({"*.jww"}, QDir::Files, QDir::Name);
        if (drawings.isEmpty() || !files_.isValid()) return false;
        const std::string folder = FromQ(files_.path() + "/").value_or("");
        for (int i = 0; i < size; ++i) {
            const QString name = QString::asprintf("%05d-", i) + drawings[i % drawings.size()];
            if (!QFile::copy(source.filePath(drawings[i % drawings.size()]), files_.filePath(name))) return false;
            list_.entries.push_back(ProbedListEntry(folder, FromQ(name).value_or(""), "bench", "bench", nullptr));
        }
        list_.heading.title = "bench";
        return true;
    }

    double RunProgram() override
    {
        QElapsedTimer clock;
        clock.start();
        ListThumbnails thumbnails(QStringLiteral(KUMO_THUMBNAILER), Pixels());
        if (!DrawListPictures(list_.entries, thumbnails, list_.pictures, {})) return -1;
        if (WriteDrawingListPdf(Pdf(), list_, setup_, kListDpi) != PdfOutcome::Written) return -1;
        const double seconds = clock.nsecsElapsed() / 1e9;
        std::fprintf(stderr, "  W9: %.1f MB of PDF, %.1f ms per drawing\n", QFile(Pdf()).size() / 1e6,
                     1000 * seconds / double(list_.entries.size()));
        return seconds;
    }

    double RunFloor() override
    {
        QElapsedTimer clock;
        clock.start();
        ListThumbnails thumbnails(QStringLiteral(KUMO_THUMBNAILER), Pixels());
        std::vector<QString> pictures;
        if (!DrawListPictures(list_.entries, thumbnails, pictures, {})) return -1;
        return clock.nsecsElapsed() / 1e9;
    }

    bool Check(std::string& why) override
    {
        QFile pdf(Pdf());
        const long long images = pdf.open(QIODevice::ReadOnly) ? pdf.readAll().count("/Subtype /Image") : 0;
        if (images == static_cast<long long>(list_.entries.size())) return true;
        why = "the PDF holds " + std::to_string(images) + " pictures of " + std::to_string(list_.entries.size());
        return false;
    }

private:
    int Pixels() const { return ThumbnailPixels(LayOut(setup_), setup_, kListDpi); }
    QString Pdf() const { return files_.filePath("list.pdf"); }

    QTemporaryDir files_;
    DrawingList list_;
    ListPageSetup setup_;
};

// ---- W10: the filter over a large group --------------------------------------------------

// A group's list in the details view, the filter typed one character at a time (each
// time the whole list filtered, the view told and painted): the slowest keystroke. The
// texts are folded when the box takes the focus, before typing, and timed apart. The floor: the
// same texts folded once and searched in a plain loop, per keystroke.
const char* const kTyped[] = {"ず", "ずめ", "ずめん", "ずめん1", "ずめん12", "ずめん1"};

class FilterWorkload : public Workload {
public:
    bool Prepare(int size) override
    {
        size_ = size;
        std::vector<FileRow> rows(static_cast<size_t>(size));
        for (int i = 0; i < size; ++i) {
            FileRow& r = rows[static_cast<size_t>(i)];
            r.cells[kCellName] = FromQ(QString::asprintf("%06d-", i) + (i % 3 ? "平面図.jww" : "ｽﾞﾒﾝ.jww")).value();
            r.cells[kCellFolder] = "/srv/zumen/";
            r.cells[kCellMemo] = FromQ(QString("現場%1 の図面").arg(i % 97)).value();
            r.cells[kCellNumber] = std::to_string(i + 1);
        }
        model_ = std::make_unique<FileListModel>(desktop_);
        model_->SetRows(std::move(rows));
        sorted_ = std::make_unique<FileSortModel>(*model_);
        view_.setModel(sorted_.get());
        view_.setUniformRowHeights(true);
        view_.resize(800, 600);
        view_.show();
        for (const char* t : kTyped) needles_.push_back(FromQ(QString::fromUtf8(t)).value());
        return true;
    }

    double RunProgram() override
    {
        // The texts are folded when the box takes the focus, before the first character.
        QElapsedTimer focus;
        focus.start();
        model_->FoldAll();
        const double folding = focus.nsecsElapsed() / 1e6;
        double slowest = 0;
        for (size_t k = 0; k < needles_.size(); ++k) {
            QElapsedTimer clock;
            clock.start();
            sorted_->SetFilterText(needles_[k]);
            QCoreApplication::processEvents();
            slowest = std::max(slowest, clock.nsecsElapsed() / 1e9);
            if (k == 2) shown_ = sorted_->rowCount();
        }
        sorted_->SetFilterText(std::string());
        QCoreApplication::processEvents();
        std::fprintf(stderr, "  W10: slowest keystroke %.1f ms at %d entries (folded at the focus in %.1f ms)\n",
                     1000 * slowest, size_, folding);
        return slowest;
    }

    double RunFloor() override
    {
        std::vector<std::string> folded;
        for (int r = 0; r < model_->Count(); ++r)
            folded.push_back(FoldText(model_->Row(r).cells[kCellName]) + '\n' + FoldText(model_->Row(r).cells[kCellMemo]));
        double slowest = 0;
        for (const std::string& n : needles_) {
            QElapsedTimer clock;
            clock.start();
            const std::string needle = FoldText(n);
            volatile int hits = 0;
            for (const std::string& f : folded) hits = hits + FoldedContains(f, needle);
            slowest = std::max(slowest, clock.nsecsElapsed() / 1e9);
        }
        return slowest;
    }

    bool Check(std::string& why) override
    {
        // "ずめん" finds every third name (ｽﾞﾒﾝ), never a memo's 図面.
        if (shown_ == (size_ + 2) / 3) return true;
        why = "the filter showed " + std::to_string(shown_) + " rows of " + std::to_string((size_ + 2) / 3);
        return false;
    }

private:
    int size_ = 0;
    int shown_ = -1;
    FakeDesktop desktop_;
    std::unique_ptr<FileListModel> model_;
    std::unique_ptr<FileSortModel> sorted_;
    QTreeView view_;
    std::vector<std::string> needles_;
};

} // namespace

std::unique_ptr<Workload> MakeDrawingListWorkload() { return std::make_unique<DrawingListWorkload>(); }
std::unique_ptr<Workload> MakeFilterWorkload() { return std::make_unique<FilterWorkload>(); }
