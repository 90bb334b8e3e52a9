#include "boardfixture.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "shell/program.h"

namespace {

class Bytes {
public:
    Bytes& u16(quint16 v)
    {
        data_.append(char(v & 0xFF));
        data_.append(char(v >> 8));
        return *this;
    }
    Bytes& u32(quint32 v) { return u16(quint16(v & 0xFFFF)).u16(quint16(v >> 16)); }
    void put32(qsizetype at, quint32 v)
    {
        for (int i = 0; i < 4; ++i) data_[at + i] = char((v >> (8 * i)) & 0xFF);
    }
    QByteArray data_;
};

} // namespace

ProgramFolder::ProgramFolder()
{
    QDir(dir_.path()).mkdir("img");
    QFile::copy(QStringLiteral(KUMO_SOURCE_DIR) + "/img/icon1.ico", imgPath("icon1.ico"));
    QFile::link(QStringLiteral(KUMO_PICTURE_HELPER), path() + "kumolist-picture");
    QFile::link(QStringLiteral(KUMO_THUMBNAILER), path() + "kumolist-thumbnailer");
}

QString ProgramFolder::path() const { return dir_.path() + "/"; }
QString ProgramFolder::programFile() const { return path() + "kumolist"; }
QString ProgramFolder::settingsPath() const { return path() + "kumolist.dat"; }
QString ProgramFolder::imgPath(const QString& name) const { return path() + "img/" + name; }

SettingsNumbers DefaultSettingsNumbers()
{
    return {192, 107, 616, 347, 192, 107, 193, 109, 831, 331, 192, 107, 192, 107, 192, 107, 202, 186,
            197, 107, 460, 348, 120, 160, 80,  50,  100, 50,  50,  50,  50,  0,   161};
}

void ProgramFolder::WriteSettings(const DatabaseSettings& settings)
{
    QVERIFY(SaveSettings(settingsPath(), settings, DefaultSettingsNumbers()));
}

void ProgramFolder::WriteSettingsBytes(const QByteArray& bytes)
{
    QFile f(settingsPath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray ProgramFolder::SettingsBytes() const
{
    QFile f(settingsPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void ProgramFolder::PutPicture(const QString& name, const QByteArray& bytes)
{
    QFile f(imgPath(name));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray BmpBytes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(40, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}

QByteArray EmfBytes()
{
    // Header with a 48 x 24 pixel frame (1270 x 635 hundredths of a millimetre at
    // 96 dpi), one rectangle, end of file.
    Bytes b;
    b.u32(1).u32(88);
    b.u32(0).u32(0).u32(47).u32(23);
    b.u32(0).u32(0).u32(1270).u32(635);
    b.u32(0x464D4520).u32(0x10000);
    b.u32(0).u32(3);
    b.u16(1).u16(0);
    b.u32(0).u32(0).u32(0);
    b.u32(1920).u32(1080).u32(508).u32(286);
    b.u32(43).u32(24).u32(0).u32(0).u32(24).u32(24);   // EMR_RECTANGLE
    b.u32(14).u32(20).u32(0).u32(16).u32(20);          // EMR_EOF
    b.put32(48, quint32(b.data_.size()));
    return b.data_;
}

QByteArray WmfBytes()
{
    // Placeable metafile, 1440 x 720 units at 1440 per inch: 96 x 48 pixels.
    Bytes b;
    b.u32(0x9AC6CDD7).u16(0).u16(0).u16(0).u16(1440).u16(720).u16(1440).u32(0);
    quint16 sum = 0;
    for (int i = 0; i < 20; i += 2) sum ^= quint16(quint8(b.data_[i]) | quint8(b.data_[i + 1]) << 8);
    b.u16(sum);
    b.u16(1).u16(9).u16(0x0300).u32(0).u16(0).u32(7).u16(0);
    b.u32(5).u16(0x020B).u16(0).u16(0);       // SETWINDOWORG
    b.u32(5).u16(0x020C).u16(720).u16(1440);  // SETWINDOWEXT
    b.u32(7).u16(0x041B).u16(720).u16(720).u16(0).u16(0);   // RECTANGLE
    b.u32(3).u16(0);                          // EOF
    b.put32(22 + 6, quint32((b.data_.size() - 22) / 2));
    return b.data_;
}

QByteArray GlyphIndexEmfBytes()
{
    Bytes b;
    b.u32(1).u32(88);
    b.u32(0).u32(0).u32(99).u32(29);       // bounds 100 x 30 pixels
    b.u32(0).u32(0).u32(2645).u32(793);    // frame in 0.01 mm: the same at 96 dpi
    b.u32(0x464D4520).u32(0x10000);
    b.u32(0).u32(5);
    b.u16(2).u16(0);
    b.u32(0).u32(0).u32(0);
    b.u32(1920).u32(1080).u32(508).u32(286);
    // EMR_EXTCREATEFONTINDIRECTW, handle 1: 24 pixels high, "DejaVu Sans"
    b.u32(82).u32(332).u32(1);
    b.u32(quint32(-24)).u32(0).u32(0).u32(0).u32(400).u32(0).u32(0);   // sizes, weight, 8 flag bytes
    const QString face = QStringLiteral("DejaVu Sans");
    for (int i = 0; i < 32; ++i) b.u16(i < face.size() ? face[i].unicode() : 0);
    for (int i = 0; i < 320 - 92; i += 4) b.u32(0);
    b.u32(37).u32(12).u32(1);              // EMR_SELECTOBJECT
    // EMR_EXTTEXTOUTW: four glyph indices (ETO_GLYPH_INDEX) and their advances
    b.u32(84).u32(100);
    b.u32(0).u32(0).u32(100).u32(30);      // bounds
    b.u32(1).u32(0x3F800000).u32(0x3F800000);   // GM_COMPATIBLE, scale 1.0, 1.0
    b.u32(5).u32(20).u32(4).u32(76).u32(0x10);  // reference point, 4 glyphs at 76, options
    b.u32(0).u32(0).u32(100).u32(30);      // clipping rectangle
    b.u32(84);                             // advances at 84
    b.u16(36).u16(37).u16(38).u16(39);
    b.u32(12).u32(12).u32(12).u32(12);
    b.u32(14).u32(20).u32(0).u32(16).u32(20);   // EMR_EOF
    b.put32(48, quint32(b.data_.size()));
    return b.data_;
}

QByteArray BitmapWmfBytes(quint32 headerSize)
{
    Bytes b;
    b.u32(0x9AC6CDD7).u16(0).u16(0).u16(0).u16(100).u16(100).u16(1440).u32(0);
    quint16 sum = 0;
    for (int i = 0; i < 20; i += 2) sum ^= quint16(quint8(b.data_[i]) | quint8(b.data_[i + 1]) << 8);
    b.u16(sum);
    b.u16(1).u16(9).u16(0x0300).u32(0).u16(0).u32(0).u16(0);
    b.u32(5).u16(0x020B).u16(0).u16(0);        // SETWINDOWORG
    b.u32(5).u16(0x020C).u16(100).u16(100);    // SETWINDOWEXT
    // STRETCHDIB of an 8 x 8 bitmap of 24 bits
    const qsizetype at = b.data_.size();
    b.u32(0).u16(0x0F43).u32(0x00CC0020).u16(0).u16(8).u16(8).u16(0).u16(0).u16(100).u16(100).u16(0).u16(0);
    b.u32(headerSize).u32(8).u32(8).u16(1).u16(24).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0);
    for (int i = 0; i < 8 * 24 / 4; ++i) b.u32(0x40404040);
    b.put32(at, quint32((b.data_.size() - at) / 2));
    b.u32(3).u16(0);                           // EOF
    b.put32(22 + 6, quint32((b.data_.size() - 22) / 2));
    return b.data_;
}

QByteArray HugeRleBmpBytes()
{
    Bytes b;
    b.u16(0x4D42).u32(0).u32(0).u32(14 + 40 + 8);   // "BM", size, reserved, bits offset
    b.u32(40).u32(5000).u32(5000).u16(1).u16(8);     // 5000 x 5000, 8 bits
    b.u32(1).u32(0).u32(2835).u32(2835).u32(2).u32(0);   // BI_RLE8, 2 colours
    b.u32(0x000000FF).u32(0x00FFFFFF);
    for (int row = 0; row < 200; ++row) b.u16(0x0132).u16(0x0000);   // 50 of colour 1, end of line
    b.u16(0x0100);                                 // end of bitmap
    while (b.data_.size() < 1024) b.u16(0);
    b.put32(2, quint32(b.data_.size()));
    b.put32(34, quint32(b.data_.size() - 62));     // size of the run-length data
    return b.data_;
}

Program::Program(const QString& programFile) : mainWindow(fake.platform, programFile)
{
    windows = CreateProgramWindows(mainWindow, fake.platform);
}

Program::~Program()
{
    if (mainWindow.isVisible()) mainWindow.hide();
}

bool Program::Show()
{
    mainWindow.show();
    return QTest::qWaitForWindowExposed(&mainWindow);
}

void Program::Close() { mainWindow.close(); }

void Trigger(Program& p, const char* action) { p.mainWindow.findChild<QAction*>(action)->trigger(); }

void Select(Program& p, int group)
{
    QLabel* icon = p.mainWindow.boardView->GroupIcon(group);
    QVERIFY(icon);
    QTest::mouseClick(icon, Qt::LeftButton, {}, QPoint(4, 4));
    QCOMPARE(p.mainWindow.boardView->Board().selectedGroup, group);
}

void TypeCommitted(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(edit, &commit);
}
