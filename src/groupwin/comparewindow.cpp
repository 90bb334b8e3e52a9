#include "groupwin/comparewindow.h"

#include <cstdio>

#include <functional>

#include <QButtonGroup>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QTimer>
#include <QUuid>
#include <QVBoxLayout>

#include "board/limitedprocess.h"
#include "drawing/comparerender.h"
#include "drawing/drawingfile.h"
#include "groupwin/filelistmodel.h"
#include "groupwin/filerow.h"
#include "groupwin/groupwindow.h"
#include "groupwin/previewpane.h"
#include "text/cp932.h"

namespace {

// Two drawings of millions of entities are compared and drawn within this.
constexpr int kTimeoutMs = 30000;
constexpr qint64 kMaxAnswerBytes = 16LL * 1024 * 1024;

QString KindName(const QString& key)
{
    static const QHash<QString, QString> names{{"line", "線"},   {"arc", "円弧"},       {"point", "点"},  {"text", "文字"},
                                                {"solid", "ソリッド"}, {"block_insert", "ブロック"}, {"dimension", "寸法"}};
    return names.value(key, key);
}

DrawingBox JsonBox(const QJsonValue& value)
{
    const QJsonArray a = value.toArray();
    DrawingBox box;
    if (a.size() == 4) {
        box.Add(a[0].toDouble(), a[1].toDouble());
        box.Add(a[2].toDouble(), a[3].toDouble());
    }
    return box;
}

QWidget* Swatch(QRgb colour, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    // File names come from the disk: escaped, never taken as markup.
    label->setText(QStringLiteral("<span style=\"color:%1\">■</span> %2").arg(QColor(colour).name(), text.toHtmlEscaped()));
    return label;
}

// The canvas with the part in view drawn again at its own size over the picture, while
// zoom, place and size are those it was drawn for.
class CompareCanvas : public DrawingCanvas {
public:
    using DrawingCanvas::DrawingCanvas;
    std::function<void()> dragged;
    QImage sharper;
    double sharperScale = 0;
    QPointF sharperOffset;
    QSize sharperSize;

    bool SharperShown() const
    {
        return !sharper.isNull() && sharperScale == Scale() && sharperOffset == Offset() && sharperSize == size();
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        DrawingCanvas::paintEvent(event);
        if (!SharperShown()) return;
        QPainter p(this);
        p.setClipRect(QRectF(Offset(), QSizeF(PictureSize()) * Scale()));
        p.drawImage(QRectF(rect()), sharper);
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        DrawingCanvas::mouseReleaseEvent(event);
        if (dragged) dragged();
    }
};

CompareCanvas* Sharp(DrawingCanvas* canvas) { return static_cast<CompareCanvas*>(canvas); }

} // namespace

bool IsComparedType(const std::string& type)
{
    const DrawingFormat format = DrawingFormatOfType(type);
    return format == DrawingFormat::Jww || format == DrawingFormat::Jwc || format == DrawingFormat::Dxf;
}

QString CompareDifferenceText(const QJsonObject& d)
{
    const QString kind = KindName(d.value("kind").toString()), side = d.value("side").toString();
    const QString a = d.value("a").toString(), b = d.value("b").toString();
    if (side == "changed") return kind + "  " + a + " → " + b;
    const QString text = side == "a" ? a : b;
    return kind + (side == "a" ? " 削除" : " 追加") + (text.isEmpty() ? QString() : "  " + text);
}

CompareWindow::CompareWindow(const Platform& platform, const QString& thumbnailer, const QString& first, const QString& second,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), platform_(platform), thumbnailer_(thumbnailer), first_(first), second_(second)
{
    setObjectName("compareWindow");
    setAttribute(Qt::WA_DeleteOnClose);
    const QString firstName = QFileInfo(first).fileName(), secondName = QFileInfo(second).fileName();
    setWindowTitle("図面の比較 - " + firstName + " / " + secondName);
    pictureFile_ = QStandardPaths::writableLocation(QStandardPaths::TempLocation) + "/kumolist-compare-" +
                   QUuid::createUuid().toString(QUuid::Id128) + ".png";

    auto* legend = new QHBoxLayout;
    legend->addWidget(Swatch(kFirstColour, "1: " + firstName, this));
    legend->addWidget(Swatch(kSecondColour, "2: " + secondName, this));
    legend->addWidget(Swatch(kBothColour, "両方", this));
    legend->addStretch();
    showBoth = new QRadioButton("両方(&B)", this);
    showFirst = new QRadioButton("1 だけ(&1)", this);
    showSecond = new QRadioButton("2 だけ(&2)", this);
    showBoth->setChecked(true);
    auto* shown = new QButtonGroup(this);
    for (QRadioButton* r : {showBoth, showFirst, showSecond}) {
        shown->addButton(r);
        legend->addWidget(r);
    }
    connect(shown, &QButtonGroup::buttonClicked, this, &CompareWindow::Ask);

    auto* sharpCanvas = new CompareCanvas(this);
    canvas = sharpCanvas;
    canvas->setObjectName("compareCanvas");
    sharperFile_ = pictureFile_.chopped(4) + "-view.png";
    sharperLater_ = new QTimer(this);
    sharperLater_->setSingleShot(true);
    sharperLater_->setInterval(250);
    connect(sharperLater_, &QTimer::timeout, this, &CompareWindow::AskSharper);
    connect(canvas, &DrawingCanvas::ScaleChanged, sharperLater_, qOverload<>(&QTimer::start));
    sharpCanvas->dragged = [this] { sharperLater_->start(); };
    differenceList = new QListWidget(this);
    differenceList->setObjectName("differenceList");
    connect(differenceList, &QListWidget::currentRowChanged, this, &CompareWindow::ZoomToDifference);
    summaryLabel = new QLabel(this);
    summaryLabel->setWordWrap(true);
    saveButton = new QPushButton("PNG で保存(&S)...", this);
    saveButton->setEnabled(false);
    connect(saveButton, &QPushButton::clicked, this, &CompareWindow::SavePicture);

    auto* side = new QWidget(this);
    auto* sideLayout = new QVBoxLayout(side);
    sideLayout->setContentsMargins(0, 0, 0, 0);
    sideLayout->addWidget(summaryLabel);
    sideLayout->addWidget(differenceList, 1);
    sideLayout->addWidget(saveButton);
    auto* split = new QSplitter(this);
    split->addWidget(canvas);
    split->addWidget(side);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    split->setSizes({760, 320});
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(legend);
    layout->addWidget(split, 1);
    resize(1100, 700);

    canvas->SetPicture({}, "比較しています...");
    QTimer::singleShot(0, this, &CompareWindow::Ask);
}

CompareWindow::~CompareWindow()
{
    for (QProcess* p : {process_, sharperProcess_}) {
        if (!p) continue;
        p->disconnect(this);
        p->kill();
        p->waitForFinished(1000);
    }
    QFile::remove(pictureFile_);
    QFile::remove(sharperFile_);
}

bool CompareWindow::SharperShown() const { return Sharp(canvas)->SharperShown(); }

QStringList CompareWindow::ShowArgument() const
{
    return {"--show", showFirst->isChecked() ? "first" : showSecond->isChecked() ? "second" : "both"};
}

QStringList CompareWindow::Arguments(const QString& png, bool legend) const
{
    QStringList args = QStringList{"--compare", first_, second_, "--png", png, "-s", QString::number(kPictureSize)} + ShowArgument();
    if (!legend) args << "--no-legend";
    if (!listed_) args << "--details";
    return args;
}

void CompareWindow::Ask()
{
    if (process_) {
        again_ = true;
        return;
    }
    if (thumbnailer_.isEmpty()) {
        canvas->SetPicture({}, "図面を描くプログラムが見つかりません");
        emit pictureShown();
        return;
    }
    process_ = new QProcess(this);
    ProcessLimits limits;
    limits.timeoutMs = kTimeoutMs;
    LimitProcess(*process_, limits);
    auto* timer = new QTimer(process_);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, process_, &QProcess::kill);
    connect(process_, &QProcess::finished, this, &CompareWindow::Answered);
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) Answered();
    });
    process_->start(thumbnailer_, Arguments(pictureFile_, false));
    timer->start(kTimeoutMs);
}

void CompareWindow::Answered()
{
    QProcess* p = std::exchange(process_, nullptr);
    const bool ended = p->exitStatus() == QProcess::NormalExit && p->error() != QProcess::FailedToStart;
    const int code = ended ? p->exitCode() : -1;
    const QByteArray answer = p->bytesAvailable() <= kMaxAnswerBytes ? p->readAllStandardOutput() : QByteArray();
    p->deleteLater();
    if (std::exchange(again_, false)) return Ask();
    const QJsonObject o = QJsonDocument::fromJson(answer).object();
    QImage picture;
    if ((code == 0 || code == 1) && !o.isEmpty()) picture.load(pictureFile_, "PNG");
    if (picture.isNull()) {
        canvas->SetPicture({}, code == 2 ? "図面を読み込めませんでした（壊れているか、図面ではありません）"
                                         : "比較できませんでした（時間がかかりすぎたか、失敗しました）");
        emit pictureShown();
        return;
    }
    if (!listed_) {
        listed_ = true;
        frame_ = JsonBox(o.value("frame_mm"));
        differences_ = o.value("differences").toArray();
        for (const QJsonValue& v : differences_) {
            const QJsonObject d = v.toObject();
            auto* item = new QListWidgetItem(CompareDifferenceText(d), differenceList);
            const QString side = d.value("side").toString();
            item->setForeground(QColor(side == "a" ? kFirstColour : side == "b" ? kSecondColour : qRgb(0, 0, 0)));
        }
        std::size_t a = 0, b = 0;
        for (const char* key : {"only_a", "only_b"})
            for (const QJsonValue& n : o.value(key).toObject()) (key[5] == 'a' ? a : b) += std::size_t(n.toInteger());
        const qsizetype changed = o.value("texts_changed").toArray().size();
        summaryLabel->setText(code == 0 ? QStringLiteral("同じ図面です（%1 個の要素）").arg(o.value("same").toInteger())
                                        : QStringLiteral("共通 %1、1 だけ %2、2 だけ %3、文字の変更 %4")
                                              .arg(o.value("same").toInteger()).arg(a).arg(b).arg(changed) +
                                              (o.value("list_cut").toBool() ? "（一覧は途中まで）" : ""));
        canvas->SetPicture(picture);
    } else if (!canvas->ReplacePicture(picture)) {
        canvas->SetPicture(picture);
    }
    // Other layers: what was drawn sharper is of the old ones.
    Sharp(canvas)->sharper = {};
    sharperLater_->start();
    saveButton->setEnabled(true);
    emit pictureShown();
}

void CompareWindow::AskSharper()
{
    // Only where the picture is shown larger than its own pixels.
    if (!listed_ || frame_.empty || !canvas->HasPicture() || canvas->Scale() <= 1 || SharperShown()) return;
    if (sharperProcess_) {
        sharperAgain_ = true;
        return;
    }
    // The canvas in the picture's pixels, then on the paper.
    const QSize size = canvas->size();
    const QRectF seen(-canvas->Offset() / canvas->Scale(), QSizeF(size) / canvas->Scale());
    const QRectF paper = ComparisonPixels(frame_, canvas->PictureSize(), frame_);
    auto x = [&](double px) { return frame_.minX + (px - paper.left()) / paper.width() * frame_.Width(); };
    auto y = [&](double py) { return frame_.maxY - (py - paper.top()) / paper.height() * frame_.Height(); };
    const int longest = std::max(size.width(), size.height());
    if (longest < 16 || longest > 4096) return;
    auto* canvasNow = Sharp(canvas);
    const double scale = canvas->Scale();
    const QPointF offset = canvas->Offset();
    sharperProcess_ = new QProcess(this);
    ProcessLimits limits;
    limits.timeoutMs = kTimeoutMs;
    LimitProcess(*sharperProcess_, limits);
    auto* timer = new QTimer(sharperProcess_);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, sharperProcess_, &QProcess::kill);
    connect(sharperProcess_, &QProcess::finished, this, [this, canvasNow, scale, offset, size] {
        QProcess* p = std::exchange(sharperProcess_, nullptr);
        p->deleteLater();
        QImage image;
        if (p->exitStatus() == QProcess::NormalExit && (p->exitCode() == 0 || p->exitCode() == 1)) image.load(sharperFile_, "PNG");
        if (!image.isNull() && image.size() == size) {
            canvasNow->sharper = image;
            canvasNow->sharperScale = scale;
            canvasNow->sharperOffset = offset;
            canvasNow->sharperSize = size;
            canvasNow->update();
            if (SharperShown()) emit sharperShown();
        }
        if (std::exchange(sharperAgain_, false)) AskSharper();
    });
    connect(sharperProcess_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) std::exchange(sharperProcess_, nullptr)->deleteLater();
    });
    const QStringList view{QString::number(x(seen.left()), 'g', 12), QString::number(y(seen.bottom()), 'g', 12),
                           QString::number(x(seen.right()), 'g', 12), QString::number(y(seen.top()), 'g', 12)};
    sharperProcess_->start(thumbnailer_, QStringList{"--compare", first_, second_, "--png", sharperFile_, "-s", QString::number(longest),
                                                     "--no-legend", "--view"} + view + ShowArgument());
    timer->start(kTimeoutMs);
}

void CompareWindow::ZoomToDifference(int row)
{
    if (row < 0 || row >= differences_.size() || !canvas->HasPicture() || frame_.empty) return;
    const QRectF r = ComparisonPixels(frame_, canvas->PictureSize(), JsonBox(differences_[row].toObject().value("box_mm")));
    // With what stands around it, at least an eighth of the paper.
    const double side = std::max({r.width(), r.height(), canvas->PictureSize().width() / 8.0}) * 2.5;
    canvas->ZoomTo(QRectF(r.center() - QPointF(side, side) / 2, QSizeF(side, side)));
}

void CompareWindow::SavePicture()
{
    SaveFileRequest request;
    request.title = "比較図を保存";
    request.proposedName = QFileInfo(first_).completeBaseName() + "_" + QFileInfo(second_).completeBaseName() + "_比較.png";
    request.folder = QFileInfo(first_).absolutePath();
    request.filter = "PNG 画像 (*.png)";
    const QString path = platform_.fileDialogs->SaveFile(this, request);
    if (path.isEmpty()) return;
    // Written beside the chosen file and put in its place only when whole: a failed
    // run leaves a file that was there as it was.
    const QString part = path + ".part.png";
    std::vector<LimitedRun> runs(1);
    runs[0].program = thumbnailer_;
    runs[0].arguments = Arguments(part, true);
    runs[0].arguments.removeAll("--details");
    ProcessLimits limits;
    limits.timeoutMs = kTimeoutMs;
    {
        BusyCursor busy;
        RunLimited(runs, limits);
    }
    // Exit 1 only says that the drawings differ: the picture tells whether it was written.
    const bool whole = !QImage(part).isNull() && std::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) == 0;
    if (!whole) {
        QFile::remove(part);
        platform_.messages->ShowMessage(this, "比較図を保存できませんでした: " + path);
    }
}

void GroupWindow::CompareSelectedDrawings(bool chooseSecond)
{
    const std::vector<int> rows = SelectedRows();
    if (rows.size() != (chooseSecond ? 1U : 2U) || thumbnailer_.isEmpty()) return;
    QStringList files;
    for (int row : rows) {
        const std::string path = fileSortModel->Row(row).FullPath();
        if (!FileExists(path)) {
            platform_.messages->ShowMessage(this, "ファイルが見つかりません: " + ToQ(path));
            return;
        }
        files << QString::fromStdString(ToFsName(path));
    }
    if (chooseSecond) {
        OpenFileRequest request;
        request.title = "比較するファイルを選ぶ";
        request.folder = QFileInfo(files.front()).absolutePath();
        request.filters = QStringList{"図面 (*.jww *.JWW *.jwc *.JWC *.dxf *.DXF)", "すべてのファイル (*)"};
        const QStringList chosen = platform_.fileDialogs->OpenFiles(this, request);
        if (chosen.isEmpty()) return;
        files << chosen.front();
    }
    auto* window = new CompareWindow(platform_, thumbnailer_, files[0], files[1], this);
    window->show();
}
