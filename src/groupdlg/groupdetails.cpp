#include "groupdlg/groupdetails.h"

#include <cstdio>
#include <optional>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTemporaryFile>
#include <QVBoxLayout>

#include "board/board.h"
#include "board/picture.h"
#include "board/picturefile.h"
#include "db/schema.h"
#include "db/session.h"
#include "text/cp932.h"
#include "platform/cp932edit.h"
#include "text/regularfile.h"
#include "text/textutil.h"

namespace {

QLineEdit* MakeEdit(QWidget* parent, const char* name, size_t bytes)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    SetByteLimit(e, static_cast<int>(bytes));
    return e;
}

QLabel* MakeCaption(QWidget* parent, const QString& text, QLineEdit* buddy)
{
    auto* l = new QLabel(text, parent);
    l->setBuddy(buddy);
    return l;
}

// A picture file larger than this is no group icon: it is not copied.
constexpr qint64 kMaxPictureFileBytes = 32 * 1024 * 1024;

// Whether two regular files hold the same bytes (both within the size above).
bool SameContent(const QString& a, const QString& b)
{
    QFile fa, fb;
    if (!OpenRegularFile(fa, a) || !OpenRegularFile(fb, b) || fa.size() != fb.size() || fa.size() > kMaxPictureFileBytes)
        return false;
    while (!fa.atEnd()) {
        const QByteArray ba = fa.read(1 << 16), bb = fb.read(1 << 16);
        if (ba.isEmpty() || ba != bb) return false;
    }
    return true;
}

} // namespace

QString PictureNameRefusal(const QString& name)
{
    const std::optional<std::string> bytes = FromQ(name);
    if (!bytes) return QStringLiteral("シフトJISで表せない文字を含んでいます。");
    if (bytes->size() > kPictureNameWidth)
        return QStringLiteral("名前が長すぎます（シフトJISで%1バイトまで）。").arg(kPictureNameWidth);
    if (!PictureNameInFolder(*bytes)) return QStringLiteral("名前に「\\」を含んでいます。");
    if (name.contains(QLatin1Char('\'')) || name.contains(QLatin1Char('"')))
        return QStringLiteral("名前に引用符「'」「\"」を含んでいます。");
    if (PictureKindOf(name) == PictureKind::Other)
        return QStringLiteral("ビットマップ、アイコン、メタファイル（.bmp .ico .emf .wmf）ではありません。");
    return {};
}

QString CopyIntoFolder(const QString& source, const QString& folder, const QString& name)
{
    const QString cannotWrite = "グループアイコンのフォルダに書き込めません（" + QDir::toNativeSeparators(folder) +
                                "）。画像はこのフォルダに置いてから選んで下さい。";
    QFile in;
    if (!OpenRegularFile(in, source)) return "画像「" + name + "」を読めません。";
    if (in.size() > kMaxPictureFileBytes) return "画像「" + name + "」は大きすぎます。";
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) return cannotWrite;
    // Written beside and renamed over: a group never shows half a picture, and a
    // failed copy leaves the folder as it was.
    QTemporaryFile out(folder + QStringLiteral(".copy-XXXXXX"));
    if (!out.open()) return cannotWrite;
    // Other users of the machine see the same pictures.
    out.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    qint64 total = 0;
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 16);
        total += chunk.size();
        if (chunk.isEmpty() || total > kMaxPictureFileBytes || out.write(chunk) != chunk.size())
            return "画像「" + name + "」をコピーできませんでした。";
    }
    if (!out.flush() ||
        ::rename(QFile::encodeName(out.fileName()).constData(), QFile::encodeName(folder + name).constData()) != 0)
        return "画像「" + name + "」をコピーできませんでした。";
    out.setAutoRemove(false);
    return {};
}

GroupDetailsDialog::GroupDetailsDialog(DatabaseSession& db, const DatabaseSettings& settings,
                                       const Platform& platform, const QString& caption,
                                       const QString& storeCaption, QWidget* parent)
    : QDialog(parent), db_(db), settings_(settings), platform_(platform)
{
    setWindowTitle(caption);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(451, 249);
    move(192, 107);   // designed position; the settings file moves it from the second run on

    fieldPanel = new QFrame(this);
    fieldPanel->setObjectName(QStringLiteral("fieldPanel"));
    fieldPanel->setFrameShape(QFrame::StyledPanel);
    fieldPanel->setFrameShadow(QFrame::Raised);
    fieldPanel->setAutoFillBackground(true);
    QPalette pp = fieldPanel->palette();
    pp.setColor(QPalette::Window, QColor(224, 224, 224));
    fieldPanel->setPalette(pp);

    numberEdit = MakeEdit(fieldPanel, "numberEdit", 8);
    nameEdit = MakeEdit(fieldPanel, "nameEdit", kGroupNameWidth);
    titleEdit = MakeEdit(fieldPanel, "titleEdit", kTitleWidth);
    subtitleEdit = MakeEdit(fieldPanel, "subtitleEdit", kTitleWidth);
    authorEdit = MakeEdit(fieldPanel, "authorEdit", kUserNameWidth);
    memo1Edit = MakeEdit(fieldPanel, "memo1Edit", kGroupMemoWidth);
    memo2Edit = MakeEdit(fieldPanel, "memo2Edit", kGroupMemoWidth);
    memo3Edit = MakeEdit(fieldPanel, "memo3Edit", kGroupMemoWidth);
    pictureEdit = MakeEdit(fieldPanel, "pictureEdit", kPictureNameWidth);

    // The number is shown, never typed: out of the Tab order, no input method.
    numberEdit->setReadOnly(true);
    numberEdit->setFocusPolicy(Qt::ClickFocus);
    numberEdit->setAttribute(Qt::WA_InputMethodEnabled, false);
    QPalette np = numberEdit->palette();
    np.setColor(QPalette::Base, QColor(192, 192, 192));
    numberEdit->setPalette(np);
    numberEdit->setFixedWidth(70);
    authorEdit->setFixedWidth(150);

    browseButton = new QPushButton(QStringLiteral("参照"), fieldPanel);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setAutoDefault(false);

    // Number and group name share the first line, so that every field gets its full
    // height within the fixed window.
    auto* first = new QHBoxLayout;
    first->setSpacing(6);
    first->addWidget(numberEdit);
    first->addSpacing(10);
    first->addWidget(MakeCaption(fieldPanel, QStringLiteral("グループ名"), nameEdit));
    first->addWidget(nameEdit, 1);

    auto* grid = new QGridLayout(fieldPanel);
    grid->setContentsMargins(8, 5, 8, 5);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    grid->addWidget(MakeCaption(fieldPanel, QStringLiteral("番号"), numberEdit), 0, 0);
    grid->addLayout(first, 0, 1, 1, 2);
    grid->addWidget(MakeCaption(fieldPanel, QStringLiteral("表題"), titleEdit), 1, 0);
    grid->addWidget(titleEdit, 1, 1, 1, 2);
    grid->addWidget(MakeCaption(fieldPanel, QStringLiteral("副題"), subtitleEdit), 2, 0);
    grid->addWidget(subtitleEdit, 2, 1, 1, 2);
    grid->addWidget(MakeCaption(fieldPanel, QStringLiteral("作成者名"), authorEdit), 3, 0);
    grid->addWidget(authorEdit, 3, 1, Qt::AlignLeft);
    grid->addWidget(MakeCaption(fieldPanel, QStringLiteral("メモ"), memo1Edit), 4, 0);
    grid->addWidget(memo1Edit, 4, 1, 1, 2);
    grid->addWidget(memo2Edit, 5, 1, 1, 2);
    grid->addWidget(memo3Edit, 6, 1, 1, 2);
    // The long picture caption gets a line of its own making, so that it does not
    // widen the caption column of every other field.
    auto* last = new QHBoxLayout;
    last->setSpacing(6);
    last->addWidget(MakeCaption(fieldPanel, QStringLiteral("グループアイコン画像"), pictureEdit));
    last->addWidget(pictureEdit, 1);
    last->addWidget(browseButton);
    grid->addLayout(last, 7, 0, 1, 3);
    grid->setColumnStretch(1, 1);

    storeButton = new QPushButton(storeCaption, this);
    storeButton->setObjectName(QStringLiteral("storeButton"));
    storeButton->setDefault(true);
    clearButton = new QPushButton(QStringLiteral("クリア(&C)"), this);
    clearButton->setObjectName(QStringLiteral("clearButton"));
    closeButton = new QPushButton(QStringLiteral("閉じる(&X)"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(storeButton);
    buttons->addWidget(clearButton);
    buttons->addWidget(closeButton);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(4, 4, 6, 5);
    outer->setSpacing(4);
    outer->addWidget(fieldPanel, 1);
    outer->addLayout(buttons);

    setTabOrder(nameEdit, titleEdit);
    setTabOrder(titleEdit, subtitleEdit);
    setTabOrder(subtitleEdit, authorEdit);
    setTabOrder(authorEdit, memo1Edit);
    setTabOrder(memo1Edit, memo2Edit);
    setTabOrder(memo2Edit, memo3Edit);
    setTabOrder(memo3Edit, pictureEdit);
    setTabOrder(pictureEdit, browseButton);
    setTabOrder(browseButton, storeButton);
    setTabOrder(storeButton, clearButton);
    setTabOrder(clearButton, closeButton);

    connect(storeButton, &QPushButton::clicked, this, [this] { StoreGroup(); });
    connect(clearButton, &QPushButton::clicked, this, &GroupDetailsDialog::ClearFields);
    connect(closeButton, &QPushButton::clicked, this, &GroupDetailsDialog::CloseDialog);
    connect(browseButton, &QPushButton::clicked, this, &GroupDetailsDialog::BrowsePicture);
}

void GroupDetailsDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Only when the program shows the dialog, not when the window system restores it.
    if (!event->spontaneous()) FormShow();
}

std::vector<QLineEdit*> GroupDetailsDialog::TextFields() const
{
    return {nameEdit, titleEdit, subtitleEdit, authorEdit, memo1Edit, memo2Edit, memo3Edit, pictureEdit};
}

void GroupDetailsDialog::FocusGroupName() { nameEdit->setFocus(Qt::OtherFocusReason); }

void GroupDetailsDialog::ClearFields()
{
    for (QLineEdit* e : TextFields()) e->clear();
}

void GroupDetailsDialog::CloseDialog() { reject(); }

bool GroupDetailsDialog::RefuseQuotes()
{
    for (QLineEdit* e : TextFields()) {
        const QString t = e->text();
        if (t.contains(QLatin1Char('\'')) || t.contains(QLatin1Char('"'))) {
            platform_.messages->ShowMessage(this, QString::fromUtf8(kQuoteRefusal));
            FocusGroupName();
            return true;
        }
    }
    return false;
}

bool GroupDetailsDialog::AppendTextLiterals(std::vector<std::string>& values) const
{
    for (QLineEdit* e : TextFields()) {
        std::optional<std::string> text = FromQ(e->text());
        if (!text) return false;
        values.push_back(TextLiteral(*text));
    }
    return true;
}

void GroupDetailsDialog::BrowsePicture()
{
    OpenFileRequest request;
    request.folder = IconFolder();
    request.proposedName = pictureEdit->text();
    // Through the picture helper, like the board: a hostile file must not stop us here.
    request.preview = [helper = files_.pictureHelper](const QString& path) {
        return LoadGroupPicture(path, helper);
    };
    request.filters = QStringList{
        QStringLiteral("すべてのファイル (*.bmp;*.ico;*.emf;*.wmf;*.png;*.jpg;*.jpeg;*.svg)"),
        QStringLiteral("ビットマップ (*.bmp)"),
        QStringLiteral("アイコン (*.ico)"),
        QStringLiteral("エンハンス メタファイル (*.emf)"),
        QStringLiteral("メタファイル (*.wmf)"),
        QStringLiteral("PNG・JPEG (*.png;*.jpg;*.jpeg)"),
        QStringLiteral("SVG (*.svg)"),
    };
    const QStringList chosen = platform_.fileDialogs->OpenFiles(this, request);
    if (chosen.isEmpty()) return;

    // Only a picture that lies in the icon folder can be named: the board looks the
    // name up there. One from elsewhere is copied in when the user agrees.
    const QFileInfo file(chosen.first());
    const QString name = file.fileName();
    if (name.isEmpty()) return;
    const QFileInfo inFolder(IconFolder() + name);
    // The file itself, or the same bytes under the same name: nothing to copy.
    if (inFolder.isFile() && (QDir(file.absolutePath()).canonicalPath() == QDir(IconFolder()).canonicalPath() ||
                              SameContent(file.filePath(), inFolder.filePath()))) {
        pictureEdit->setText(name);
        return;
    }
    // One of the pictures installed with the program, not hidden by another of its name
    // in the picture folder: found there by its name.
    if (!inFolder.exists() && QFileInfo(file.absolutePath()).canonicalFilePath() ==
                                  QFileInfo(QDir::cleanPath(files_.iconFolder)).canonicalFilePath()) {
        pictureEdit->setText(name);
        return;
    }
    if (const QString why = PictureNameRefusal(name); !why.isEmpty()) {
        platform_.messages->ShowMessage(this, "「" + name + "」はグループアイコン画像に使えません。" + why);
        return;
    }
    if (!platform_.messages->Confirm(this, "画像「" + name + "」をグループアイコンのフォルダにコピーしますか？")) return;
    if (inFolder.exists() &&
        !platform_.messages->Confirm(this, "グループアイコンのフォルダには同じ名前の別の画像「" + name +
                                               "」があります。置き換えると、この画像を使う他のグループの絵も変わります。置き換えますか？"))
        return;
    if (const QString why = CopyIntoFolder(file.filePath(), IconFolder(), name); !why.isEmpty()) {
        platform_.messages->ShowMessage(this, why);
        return;
    }
    pictureEdit->setText(name);
}
