#include "settings/preferences.h"

#include <algorithm>
#include <optional>

#include <QDir>
#include <QFileInfo>

#include "text/cp932.h"

namespace {

const QString kAddFolderKey = QStringLiteral("AddDialog/LastFolder");
const QString kAddFilterKey = QStringLiteral("AddDialog/Filter");
const QString kRootMappingsKey = QStringLiteral("RootMappings");
const QString kWindowsKey = QStringLiteral("windows");
const QString kLinuxKey = QStringLiteral("linux");
// As wide as the folder column of an entry: a longer root could never be stored.
constexpr size_t kMaxRootBytes = 255;
const QString kPreviewKey = QStringLiteral("GroupWindow/Preview");
const QString kOpenProgramsGroup = QStringLiteral("OpenPrograms");
const QString kPictureFolderKey = QStringLiteral("Pictures/Folder");

} // namespace

std::unique_ptr<QSettings> OpenPreferences(const QString& path)
{
    if (path.isEmpty()) return nullptr;
    // A FIFO under the name would hang the reading, a huge file fill the memory.
    const QFileInfo info(path);
    if (info.exists() && (!info.isFile() || info.size() > kMaxPreferencesBytes)) return nullptr;
    if (info.isSymLink() && !info.exists()) return nullptr;
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

AddDialogPlace LoadAddDialogPlace(const QString& path)
{
    AddDialogPlace place;
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return place;
    const QString folder = file->value(kAddFolderKey).toString();
    if (folder.size() <= kMaxPreferenceText) place.folder = folder;
    bool ok = false;
    const int filter = file->value(kAddFilterKey).toInt(&ok);
    if (ok && filter > 0) place.filter = filter;
    return place;
}

bool SaveAddDialogPlace(const QString& path, const AddDialogPlace& place)
{
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return false;
    file->setValue(kAddFolderKey, place.folder);
    file->setValue(kAddFilterKey, place.filter);
    file->sync();
    return file->status() == QSettings::NoError;
}

RootMappings LoadRootMappings(const QString& path)
{
    RootMappings mappings;
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return mappings;
    const int count = std::min(file->beginReadArray(kRootMappingsKey), kMaxRootMappings);
    for (int i = 0; i < count; ++i) {
        file->setArrayIndex(i);
        const std::optional<std::string> windows = FromQExact(file->value(kWindowsKey).toString());
        const std::optional<std::string> onLinux = FromQExact(file->value(kLinuxKey).toString());
        if (!windows || !onLinux || windows->size() > kMaxRootBytes || onLinux->size() > kMaxRootBytes) continue;
        RootMapping m{*windows, *onLinux};
        if (IsUsableMapping(m)) mappings.push_back(std::move(m));
    }
    file->endArray();
    return mappings;
}

bool SaveRootMappings(const QString& path, const RootMappings& mappings)
{
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return false;
    file->remove(kRootMappingsKey);
    file->beginWriteArray(kRootMappingsKey, static_cast<int>(mappings.size()));
    for (int i = 0; i < static_cast<int>(mappings.size()); ++i) {
        file->setArrayIndex(i);
        file->setValue(kWindowsKey, ToQ(mappings[static_cast<size_t>(i)].windowsRoot));
        file->setValue(kLinuxKey, ToQ(mappings[static_cast<size_t>(i)].linuxFolder));
    }
    file->endArray();
    file->sync();
    return file->status() == QSettings::NoError;
}

bool LoadPreviewShown(const QString& path)
{
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    // Only the words QSettings writes count; anything else is damage and leaves it off.
    return file && file->value(kPreviewKey).toString() == QLatin1String("true");
}

bool SavePreviewShown(const QString& path, bool shown)
{
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return false;
    file->setValue(kPreviewKey, shown);
    file->sync();
    return file->status() == QSettings::NoError;
}

SearchWay LoadSearchWay(const QString& path)
{
    SearchWay way;
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return way;
    bool ok = false;
    const int column = file->value(QStringLiteral("Search/Column")).toString().toInt(&ok);
    if (ok && column >= 0 && column <= 4) way.column = column;
    way.ignoreCase = file->value(QStringLiteral("Search/IgnoreCase")).toString() == QLatin1String("true");
    way.literal = file->value(QStringLiteral("Search/Literal")).toString() == QLatin1String("true");
    return way;
}

bool SaveSearchWay(const QString& path, const SearchWay& way)
{
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return false;
    file->setValue(QStringLiteral("Search/Column"), way.column);
    file->setValue(QStringLiteral("Search/IgnoreCase"), way.ignoreCase);
    file->setValue(QStringLiteral("Search/Literal"), way.literal);
    file->sync();
    return file->status() == QSettings::NoError;
}

std::optional<QRect> LoadWindowPlace(const QString& path, const QString& window)
{
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return std::nullopt;
    int values[4];
    const char* keys[4] = {"/Left", "/Top", "/Width", "/Height"};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = std::clamp(file->value(window + keys[i]).toInt(&ok), -kMaxWindowPlace, kMaxWindowPlace);
        if (!ok) return std::nullopt;
    }
    if (values[2] <= 0 || values[3] <= 0) return std::nullopt;
    return QRect(values[0], values[1], values[2], values[3]);
}

bool SaveWindowPlace(const QString& path, const QString& window, const QRect& place)
{
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return false;
    file->setValue(window + "/Left", place.x());
    file->setValue(window + "/Top", place.y());
    file->setValue(window + "/Width", place.width());
    file->setValue(window + "/Height", place.height());
    file->sync();
    return file->status() == QSettings::NoError;
}

bool IsFileTypeKey(const QString& type)
{
    if (type.isEmpty() || type.size() > kMaxFileTypeLength) return false;
    for (const QChar c : type)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-')) return false;
    return true;
}

OpenPrograms LoadOpenPrograms(const QString& path)
{
    OpenPrograms programs;
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return programs;
    file->beginGroup(kOpenProgramsGroup);
    for (const QString& key : file->childKeys()) {
        if (static_cast<int>(programs.size()) >= kMaxOpenProgramTypes) break;
        if (!IsFileTypeKey(key)) continue;
        const QVariant value = file->value(key);
        // A list (a comma in an unquoted value) is no command we wrote.
        if (value.typeId() != QMetaType::QString) continue;
        const QString command = value.toString().trimmed();
        if (command.isEmpty() || command.size() > kMaxPreferenceText) continue;
        programs[key] = command;
    }
    file->endGroup();
    return programs;
}

bool SaveOpenProgram(const QString& path, const QString& type, const QString& command)
{
    if (!IsFileTypeKey(type) || command.trimmed().size() > kMaxPreferenceText) return false;
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return false;
    const QString key = kOpenProgramsGroup + '/' + type;
    if (command.trimmed().isEmpty())
        file->remove(key);
    else
        file->setValue(key, command.trimmed());
    file->sync();
    return file->status() == QSettings::NoError;
}

QString LoadPictureFolder(const QString& path)
{
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return {};
    const QString folder = file->value(kPictureFolderKey).toString();
    // A relative folder would name a different one for every start.
    if (folder.isEmpty() || folder.size() > kMaxPreferenceText || !QDir::isAbsolutePath(folder)) return {};
    return QDir::cleanPath(folder) + (QDir::cleanPath(folder).endsWith(QLatin1Char('/')) ? "" : "/");
}

bool SavePictureFolder(const QString& path, const QString& folder)
{
    const std::unique_ptr<QSettings> file = OpenPreferences(path);
    if (!file) return false;
    file->setValue(kPictureFolderKey, folder);
    file->sync();
    return file->status() == QSettings::NoError;
}
