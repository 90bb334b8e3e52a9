#pragma once
// "グループの画像フォルダ": the folder where group pictures are kept, one that every PC of
// the office can share, or the default (the program's own where it is writable, else the
// user's). The pictures installed with the program stay available either way.
#include <QDialog>

#include "platform/platform.h"

class QLineEdit;

class PictureFolderDialog : public QDialog {
    Q_OBJECT
public:
    // shared: the folder set now, empty for the default, which defaultFolder names.
    PictureFolderDialog(const Platform& platform, const QString& shared, const QString& defaultFolder,
                        QWidget* parent = nullptr);

    // The folder chosen: absolute, ending in "/", or empty for the default.
    QString Folder() const;

    void Browse();
    void UseDefault();
    void accept() override;   // refuses a folder that is not there

private:
    Platform platform_;
    QString defaultFolder_;
    QLineEdit* folderEdit_;
};

// Asks for the folder over parent and stores it in the preferences file. The folder then
// in use (the default when none is set), or empty when the user cancelled or it could
// not be stored (which he has been told).
QString EditPictureFolder(QWidget* parent, const Platform& platform, const QString& preferencesFile,
                          const QString& defaultFolder);
