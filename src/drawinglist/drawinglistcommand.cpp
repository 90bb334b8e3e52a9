#include "drawinglist/drawinglistcommand.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRadioButton>
#include <QSpinBox>

#include "drawinglist/listthumbs.h"
#include "platform/dialogplace.h"
#include "text/cp932.h"

std::optional<ListPageSetup> AskListSetup(QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setObjectName("listSetupDialog");
    dialog.setWindowTitle("図面リストのページ設定");
    auto* paper = new QComboBox(&dialog);
    paper->addItems({"A4", "A3"});
    auto* portrait = new QRadioButton("縦", &dialog);
    auto* landscape = new QRadioButton("横", &dialog);
    portrait->setChecked(true);
    auto* turn = new QHBoxLayout;
    turn->addWidget(portrait);
    turn->addWidget(landscape);
    turn->addStretch(1);
    auto* style = new QComboBox(&dialog);
    style->addItems({"一覧表（縮小図つき）", "縮小図の並び"});
    auto* columns = new QSpinBox(&dialog);
    columns->setRange(kMinGridColumns, kMaxGridColumns);
    columns->setValue(3);
    auto* rows = new QSpinBox(&dialog);
    rows->setRange(kMinGridRows, kMaxGridRows);
    rows->setValue(4);
    auto* grid = new QHBoxLayout;
    grid->addWidget(columns);
    grid->addWidget(new QLabel("×", &dialog));
    grid->addWidget(rows);
    grid->addStretch(1);
    auto syncGrid = [=] {
        columns->setEnabled(style->currentIndex() == 1);
        rows->setEnabled(style->currentIndex() == 1);
    };
    QObject::connect(style, &QComboBox::currentIndexChanged, &dialog, syncGrid);
    syncGrid();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* form = new QFormLayout(&dialog);
    form->addRow("用紙", paper);
    form->addRow("向き", turn);
    form->addRow("形式", style);
    form->addRow("縮小図の数（横 × 縦）", grid);
    form->addRow(buttons);
    CentreWhenShown(dialog);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    ListPageSetup setup;
    setup.paper = paper->currentIndex() == 1 ? ListPaper::A3 : ListPaper::A4;
    setup.landscape = landscape->isChecked();
    setup.style = style->currentIndex() == 1 ? ListStyle::Grid : ListStyle::Table;
    setup.columns = columns->value();
    setup.rows = rows->value();
    return setup;
}

QString RunDrawingList(QWidget* parent, const Platform& platform, DrawingListJob job, bool toPdf,
                       const ListSetupAsker& ask)
{
    const std::optional<ListPageSetup> setup = ask(parent);
    if (!setup) return {};
    QString path;
    if (toPdf) {
        SaveFileRequest request;
        request.title = "図面リストをPDFに出力";
        request.proposedName = job.proposedName;
        request.filter = "PDFファイル (*.pdf)";
        path = platform.fileDialogs->SaveFile(parent, request);
        if (path.isEmpty()) return {};
    }
    const int count = static_cast<int>(job.list.entries.size());
    // Its folder holds the pictures until the pages are painted.
    ListThumbnails thumbnails(job.thumbnailer, ThumbnailPixels(LayOut(*setup), *setup, kListDpi));
    {
        std::unique_ptr<ProgressDisplay> shown =
            platform.progress ? platform.progress->Start(parent, "図面の縮小図を作成しています...", count) : nullptr;
        if (!DrawListPictures(job.list.entries, thumbnails, job.list.pictures,
                              [&shown](int done) { return !shown || shown->Update(done); }))
            return "図面リストを中止しました";
    }
    if (!toPdf) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setFullPage(true);
        printer.setDocName(ToQ(job.list.heading.title));
        SetListPage(printer, *setup);
        QPrintPreviewDialog preview(&printer, parent);
        preview.setWindowTitle("図面リストの印刷プレビュー");
        QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                         [&](QPrinter* p) { PaintDrawingList(*p, job.list, *setup); });
        preview.resize(900, 700);
        CentreWhenShown(preview);
        return preview.exec() == QDialog::Accepted ? QString("図面リスト %1 件を印刷しました").arg(count) : QString();
    }
    std::unique_ptr<ProgressDisplay> shown =
        platform.progress ? platform.progress->Start(parent, "PDFを書き込んでいます...", 0) : nullptr;
    switch (WriteDrawingListPdf(path, job.list, *setup, kListDpi,
                                [&shown](int page, int) { return !shown || shown->Update(page); })) {
    case PdfOutcome::Written: return QString("図面リスト %1 件を PDF に出力しました").arg(count);
    case PdfOutcome::Stopped: return "図面リストを中止しました";
    case PdfOutcome::Failed: break;
    }
    platform.messages->ShowMessage(parent, "PDFファイルを書き込めませんでした: " + path);
    return {};
}
