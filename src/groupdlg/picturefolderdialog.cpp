#include "groupdlg/picturefolderdialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "settings/preferences.h"

PictureFolderDialog::PictureFolderDialog(const Platform& platform, const QString& shared, const QString& defaultFolder,
                                         QWidget* parent)
    : QDialog(parent), platform_(platform), defaultFolder_(defaultFolder), folderEdit_(new QLineEdit(shared, this))
{
    setWindowTitle("グループの画像フォルダ");
    folderEdit_->setObjectName("folderEdit");
    // Empty stands for the default; the user sees which folder that is.
    folderEdit_->setPlaceholderText(QDir::toNativeSeparators(defaultFolder));
    folderEdit_->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    auto* browse = new QPushButton("参照(&B)...", this);
    browse->setObjectName("browseButton");
    auto* byDefault = new QPushButton("既定に戻す(&D)", this);
    byDefault->setObjectName("defaultButton");
    connect(browse, &QPushButton::clicked, this, &PictureFolderDialog::Browse);
    connect(byDefault, &QPushButton::clicked, this, &PictureFolderDialog::UseDefault);

    auto* row = new QHBoxLayout;
    row->addWidget(folderEdit_, 1);
    row->addWidget(browse);
    row->addWidget(byDefault);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PictureFolderDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &PictureFolderDialog::reject);

    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("グループの絵を置くフォルダ。事務所の全ての PC から見える共有フォルダを指定すると、"
                             "どの PC で追加した絵も全員に表示されます。空欄は既定のフォルダです。",
                             this);
    label->setWordWrap(true);
    layout->addWidget(label);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

QString PictureFolderDialog::Folder() const
{
    const QString typed = folderEdit_->text().trimmed();
    if (typed.isEmpty()) return {};
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(typed));
    return clean.endsWith('/') ? clean : clean + '/';
}

void PictureFolderDialog::Browse()
{
    const QString start = Folder().isEmpty() ? defaultFolder_ : Folder();
    const QString chosen = platform_.fileDialogs->ChooseFolder(this, "グループの画像フォルダ", start);
    if (!chosen.isEmpty()) folderEdit_->setText(QDir::toNativeSeparators(chosen));
}

void PictureFolderDialog::UseDefault() { folderEdit_->clear(); }

void PictureFolderDialog::accept()
{
    const QString folder = Folder();
    // A relative folder would name another one at every start, and one that is not there
    // would lose every picture added to it.
    if (!folder.isEmpty() && (!QDir::isAbsolutePath(folder) || !QFileInfo(folder).isDir())) {
        platform_.messages->ShowMessage(this, "フォルダが見つかりません。\n" + QDir::toNativeSeparators(folder));
        return;
    }
    QDialog::accept();
}

QString EditPictureFolder(QWidget* parent, const Platform& platform, const QString& preferencesFile,
                          const QString& defaultFolder)
{
    PictureFolderDialog dialog(platform, LoadPictureFolder(preferencesFile), defaultFolder, parent);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QString folder = dialog.Folder();
    if (!SavePictureFolder(preferencesFile, folder)) {
        platform.messages->ShowMessage(parent, "このフォルダを設定に保存出来ません\n" + QDir::toNativeSeparators(preferencesFile));
        return {};
    }
    return folder.isEmpty() ? defaultFolder : folder;
}
