#include "platform/platform.h"

#include <algorithm>

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QMimeDatabase>
#include <QProgressDialog>
#include <QPushButton>
#include <QUrl>

BusyCursor::BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

BusyCursor::~BusyCursor() { QApplication::restoreOverrideCursor(); }

namespace {

QString ApplicationTitle() { return QString::fromUtf8(kApplicationTitle); }

class RealMessages : public MessageService {
public:
    void ShowMessage(QWidget* parent, const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), text, QMessageBox::Ok, parent);
        box.exec();
    }

    void ShowMessageWithDetail(QWidget* parent, const QString& text, const QString& detail) override
    {
        QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), text, QMessageBox::Ok, parent);
        box.setDetailedText(detail);
        box.exec();
    }

    bool Confirm(QWidget* parent, const QString& text) override
    {
        QMessageBox box(QMessageBox::Question, "確認", text, QMessageBox::NoButton, parent);
        QPushButton* yes = box.addButton("はい(&Y)", QMessageBox::YesRole);
        QPushButton* no = box.addButton("いいえ(&N)", QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes;
    }

    int Choose(QWidget* parent, const QString& text, const QStringList& buttons) override
    {
        if (buttons.isEmpty()) return -1;
        QMessageBox box(QMessageBox::Question, "確認", text, QMessageBox::NoButton, parent);
        QList<QAbstractButton*> added;
        for (const QString& b : buttons) added << box.addButton(b, QMessageBox::AcceptRole);
        box.setDefaultButton(static_cast<QPushButton*>(added.first()));
        box.setEscapeButton(added.last());
        box.exec();
        // Closed by its title bar: as Escape.
        const qsizetype pressed = added.indexOf(box.clickedButton());
        return static_cast<int>(pressed < 0 ? added.size() - 1 : pressed);
    }
};

class RealFileDialogs : public FileDialogService {
public:
    QStringList OpenFiles(QWidget* parent, const OpenFileRequest& request) override
    {
        QFileDialog dialog(parent, request.title, request.folder);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setOption(QFileDialog::ReadOnly, true);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(request.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        if (!request.filters.isEmpty()) {
            // Qt separates patterns by blanks, the filters name them with ";". The text
            // shown stays as given; the patterns Qt reads follow it, hidden.
            QStringList qtFilters;
            for (const QString& filter : request.filters) qtFilters << QtNameFilter(filter);
            dialog.setOption(QFileDialog::HideNameFilterDetails, true);
            dialog.setNameFilters(qtFilters);
            dialog.selectNameFilter(qtFilters.value(request.selectedFilter, qtFilters.first()));
        }
        if (!request.proposedName.isEmpty()) dialog.selectFile(request.proposedName);
        if (request.preview) AddPreview(dialog, request.preview);
        if (dialog.exec() != QDialog::Accepted) return {};
        if (request.chosenFilter) {
            // By its place in the list: the text Qt gives back is the shortened one shown.
            const auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
            const int chosen = types ? types->currentIndex() : -1;
            *request.chosenFilter = chosen >= 0 && chosen < request.filters.size() ? chosen : request.selectedFilter;
        }
        return dialog.selectedFiles();
    }

    QString ChooseFolder(QWidget* parent, const QString& title, const QString& folder) override
    {
        QFileDialog dialog(parent, title, folder);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setOption(QFileDialog::ReadOnly, true);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, true);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return dialog.selectedFiles().first();
    }

    QString SaveFile(QWidget* parent, const SaveFileRequest& request) override
    {
        QFileDialog dialog(parent, request.title, request.folder);
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!request.filter.isEmpty()) {
            dialog.setNameFilter(request.filter);
            const qsizetype dot = request.filter.lastIndexOf("*.");
            const qsizetype close = request.filter.lastIndexOf(')');
            if (dot >= 0 && close > dot) dialog.setDefaultSuffix(request.filter.mid(dot + 2, close - dot - 2));
        }
        if (!request.proposedName.isEmpty()) dialog.selectFile(request.proposedName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
        return dialog.selectedFiles().first();
    }

    // "Description (*.a;*.b)" as Qt's "Description (*.a;*.b) (*.a *.b)".
    static QString QtNameFilter(const QString& filter)
    {
        const qsizetype open = filter.lastIndexOf('(');
        const qsizetype close = filter.lastIndexOf(')');
        if (open < 0 || close < open) return filter;
        QString patterns = filter.mid(open + 1, close - open - 1);
        patterns.replace(';', ' ');
        return filter + " (" + patterns + ")";
    }

private:
    // A picture preview at the right of the non-native dialog's grid.
    static void AddPreview(QFileDialog& dialog, const std::function<QPixmap(const QString&)>& load)
    {
        auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
        if (!grid) return;
        auto* preview = new QLabel(&dialog);
        preview->setObjectName("PicturePreview");
        preview->setMinimumSize(160, 160);
        preview->setAlignment(Qt::AlignCenter);
        preview->setFrameShape(QFrame::StyledPanel);
        grid->addWidget(preview, 1, grid->columnCount(), grid->rowCount() - 1, 1);
        QObject::connect(&dialog, &QFileDialog::currentChanged, preview, [preview, load](const QString& path) {
            QPixmap p;
            if (QFileInfo(path).isFile()) p = load(path);
            if (p.isNull()) {
                preview->clear();
                return;
            }
            if (p.width() > preview->width() || p.height() > preview->height())
                p = p.scaled(preview->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
            preview->setPixmap(p);
        });
    }
};

// A file manager that answers at all answers at once; a hung bus must not hang us.
constexpr int kFileManagerWaitMs = 2000;

class RealDesktop : public DesktopService {
public:
    RealDesktop()
    {
        // Without a desktop session no icon theme is named, and hicolor, the usual
        // fallback, holds no file-type icons; Adwaita, where installed, does.
        if (QIcon::fallbackThemeName() == "hicolor") QIcon::setFallbackThemeName("Adwaita");
    }

    bool OpenWithProgram(const QString& path) override
    {
        return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    }
    QIcon FileIcon(const QString& path) override
    {
        // By the name's extension only: sniffing the content would read every listed file.
        const QMimeType type = mimeTypes_.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
        QIcon icon = QIcon::fromTheme(type.iconName());
        if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
        if (icon.isNull()) icon = provider_.icon(QAbstractFileIconProvider::File);
        return icon;
    }
    bool ShowInFolder(const QString& path) override
    {
        // File managers that speak the freedesktop interface open the folder with the
        // file selected; without one (or without a session bus) the folder is opened.
        const QUrl file = QUrl::fromLocalFile(path);
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (bus.isConnected()) {
            QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                                                               "org.freedesktop.FileManager1", "ShowItems");
            call << QStringList{file.toString(QUrl::FullyEncoded)} << QString();
            if (bus.call(call, QDBus::Block, kFileManagerWaitMs).type() == QDBusMessage::ReplyMessage) return true;
        }
        return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    }
    void CopyText(const QString& text) override { QGuiApplication::clipboard()->setText(text); }

private:
    QFileIconProvider provider_;
    QMimeDatabase mimeTypes_;
};

} // namespace

// A progress dialog over the whole program (nothing else takes input meanwhile), shown
// only when the work lasts beyond a moment.
class RealProgressDisplay : public ProgressDisplay {
public:
    RealProgressDisplay(QWidget* parent, const QString& label, int total)
        : dialog_(label, "キャンセル", 0, std::max(total, 0), parent), label_(label)
    {
        dialog_.setWindowTitle(ApplicationTitle());
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setMinimumDuration(kShowAfterMs);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        dialog_.setValue(0);
        sincePump_.start();
    }

    bool Update(int done) override
    {
        if (dialog_.maximum() > 0)
            dialog_.setValue(std::min(done, dialog_.maximum()));
        else
            dialog_.setLabelText(label_ + "（" + QString::number(done) + " 件）");
        // Once shown, the modal dialog pumps events itself. Until then the windows are
        // repainted here, at a repaint's pace, without the user's input: a click would
        // start another command in the middle of this one.
        if (!dialog_.isVisible() && sincePump_.hasExpired(kPumpIntervalMs)) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            sincePump_.start();
        }
        return !dialog_.wasCanceled();
    }

private:
    static constexpr int kShowAfterMs = 500;
    static constexpr qint64 kPumpIntervalMs = 30;
    QProgressDialog dialog_;
    QString label_;
    QElapsedTimer sincePump_;
};

class RealProgress : public ProgressService {
public:
    std::unique_ptr<ProgressDisplay> Start(QWidget* parent, const QString& label, int total) override
    {
        return std::make_unique<RealProgressDisplay>(parent, label, total);
    }
};

struct RealPlatform::Impl {
    RealMessages messages;
    RealFileDialogs fileDialogs;
    RealDesktop desktop;
    RealProgress progress;
};

RealPlatform::RealPlatform() : d(std::make_unique<Impl>())
{
    platform = Platform{&d->messages, &d->fileDialogs, &d->desktop, &d->progress};
}

RealPlatform::~RealPlatform() = default;

QStringList DroppedLocalFiles(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) files << url.toLocalFile();
    return files;
}
