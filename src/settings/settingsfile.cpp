#include "settings/settingsfile.h"

#include <QFile>
#include <QSaveFile>

#include "settings/programfiles.h"
#include "text/regularfile.h"
#include "text/textutil.h"

namespace {

constexpr size_t kUserNameBytes = 16;
// No setting needs more; the rest of a longer line is skipped, so that a damaged file
// without line ends is not read into memory whole. Past kMaxFileBytes (a settings file
// has a few kilobytes) the remaining lines read as missing.
constexpr qint64 kMaxLineBytes = 4096;
constexpr qint64 kMaxFileBytes = 1024 * 1024;

// One line without its end (LF or CR LF), at most kMaxLineBytes of it. At the end of the
// file the line is empty, as a missing line reads. False only on a real read error.
bool ReadLine(QFile& file, std::string& line)
{
    line.clear();
    if (file.atEnd()) return true;
    QByteArray bytes = file.readLine(kMaxLineBytes + 1);
    if (bytes.isEmpty() && file.error() != QFileDevice::NoError) return false;
    if (!bytes.endsWith('\n')) {
        while (!file.atEnd() && file.pos() < kMaxFileBytes) {
            const QByteArray rest = file.readLine(kMaxLineBytes + 1);
            if (rest.isEmpty() || rest.endsWith('\n')) break;
        }
        if (file.error() != QFileDevice::NoError) return false;
        if (file.pos() >= kMaxFileBytes) file.seek(file.size());
    }
    if (bytes.endsWith('\n')) bytes.chop(1);
    if (bytes.endsWith('\r')) bytes.chop(1);
    line.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    return true;
}

} // namespace

int32_t SettingsValueForLine(int line, int32_t value)
{
    if (line >= kFirstColumnWidth && line < kFirstColumnWidth + kListColumnCount && value < kMinColumnWidth)
        return kMinColumnWidth;
    if (line == kTreeWidth && value < kMinTreeWidth) return kMinTreeWidth;
    return value;
}

bool LoadSettings(const QString& path, DatabaseSettings& settings,
                  const std::function<void(int line, int32_t value)>& apply)
{
    settings = DatabaseSettings{};
    // A FIFO or a device under the settings file's name is no settings file: opening
    // or reading it could wait without end.
    QFile file;
    if (!OpenRegularFile(file, path)) return false;

    std::string line;
    std::string* texts[] = {&settings.serverName, &settings.dataFolder, &settings.databaseFileName};
    for (std::string* target : texts) {
        if (!ReadLine(file, line)) return false;
        *target = line;
    }
    if (!ReadLine(file, line)) return false;
    settings.userName = CutBytes(line, kUserNameBytes);

    for (int n = kFirstNumberLine; n <= kSettingsLineCount; ++n) {
        if (!ReadLine(file, line)) return false;
        if (apply) apply(n, SettingsValueForLine(n, StrToIntOrZero(line)));
    }
    return true;
}

bool SaveSettings(const QString& path, const DatabaseSettings& settings, const SettingsNumbers& numbers)
{
    std::string text;
    for (const std::string* value : {&settings.serverName, &settings.dataFolder, &settings.databaseFileName,
                                     &settings.userName}) {
        text += *value;
        text += "\r\n";
    }
    for (int32_t n : numbers) {
        text += IntToStr(n);
        text += "\r\n";
    }

    // The user's configuration folder may not be there yet on a first run.
    if (!MakeFolderFor(path)) return false;
    // QSaveFile writes a temporary file in the same folder and renames it over the old
    // file on commit. Unbuffered, so that a failed write is seen here: an error that only
    // shows when the buffer is flushed at commit does not stop that rename.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
    const qint64 size = static_cast<qint64>(text.size());
    if (file.write(text.data(), size) != size || !file.flush() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        file.commit();   // removes the temporary file
        return false;
    }
    return file.commit();
}

std::optional<SettingsContents> ReadSettingsContents(const QString& path)
{
    SettingsContents contents;
    const auto keep = [&contents](int line, int32_t value) {
        contents.numbers[static_cast<size_t>(line - kFirstNumberLine)] = value;
    };
    if (!LoadSettings(path, contents.settings, keep)) return std::nullopt;
    return contents;
}

SettingsContents MergeSettings(const SettingsContents& baseline, const SettingsContents& current,
                               const std::optional<SettingsContents>& onDisk)
{
    if (!onDisk) return current;
    SettingsContents merged = *onDisk;
    const auto take = [](std::string& into, const std::string& was, const std::string& now) {
        if (now != was) into = now;
    };
    take(merged.settings.serverName, baseline.settings.serverName, current.settings.serverName);
    take(merged.settings.dataFolder, baseline.settings.dataFolder, current.settings.dataFolder);
    take(merged.settings.databaseFileName, baseline.settings.databaseFileName, current.settings.databaseFileName);
    take(merged.settings.userName, baseline.settings.userName, current.settings.userName);
    for (size_t i = 0; i < merged.numbers.size(); ++i)
        if (current.numbers[i] != baseline.numbers[i]) merged.numbers[i] = current.numbers[i];
    return merged;
}

std::string WithDatabaseExtension(const std::string& name)
{
    // The server may run on Windows: "\\" and ":" end a folder here too, unlike in the
    // names of registered files.
    bool period = false;
    for (size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (IsLeadByte(c))
            ++i;
        else if (c == '/' || c == '\\' || c == ':')
            period = false;
        else if (c == '.')
            period = true;
    }
    return period ? name : name + ".FDB";
}
