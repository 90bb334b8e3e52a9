#include "opening/desktopapps.h"

#include <algorithm>
#include <map>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>

#include "opening/execline.h"

namespace {

QStringList EnvironmentFolders(const char* name, const QString& fallback)
{
    QStringList folders;
    const QString value = qEnvironmentVariable(name);
    for (const QString& f : (value.isEmpty() ? fallback : value).split(':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(f)) folders << QDir::cleanPath(f);
    return folders;
}

QString EnvironmentHome(const char* name, const QString& underHome)
{
    const QString value = qEnvironmentVariable(name);
    if (QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
    return QDir::homePath() + underHome;
}

// The lines of a small regular file; nothing for anything else (a FIFO would hang).
std::optional<QStringList> ReadSmallFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxDesktopFileBytes) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.read(kMaxDesktopFileBytes + 1);
    if (bytes.size() > kMaxDesktopFileBytes) return std::nullopt;
    return QString::fromUtf8(bytes).split('\n');
}

// The keys of one [group] of a desktop-entry style file, values with the string escapes
// (\s \n \t \r \\) undone.
std::map<QString, QString> ReadGroup(const QStringList& lines, const QString& group)
{
    std::map<QString, QString> keys;
    bool inGroup = false;
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (line.startsWith('[')) {
            inGroup = line == '[' + group + ']';
            continue;
        }
        if (!inGroup) continue;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString raw = line.mid(eq + 1).trimmed();
        QString value;
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\' || i + 1 == raw.size()) {
                value += raw[i];
                continue;
            }
            const QChar c = raw[++i];
            value += c == 's' ? QChar(' ') : c == 'n' ? QChar('\n') : c == 't' ? QChar('\t') : c == 'r' ? QChar('\r') : c;
        }
        keys.emplace(key, value);   // the first of a repeated key counts
    }
    return keys;
}

QStringList ListValue(const QString& value)
{
    QStringList items;
    for (const QString& item : value.split(';', Qt::SkipEmptyParts))
        if (!item.trimmed().isEmpty()) items << item.trimmed();
    return items;
}

struct Entry {
    DesktopApp app;
    QStringList types;
};

// Every usable application entry, each id once: the first folder holding it wins, and a
// hidden entry there hides it in the folders after.
class EntryTable {
public:
    explicit EntryTable(const DesktopFolders& folders)
    {
        int files = 0;
        for (const QString& data : folders.dataFolders.mid(0, kMaxDesktopFolders)) {
            const QString base = data + QStringLiteral("/applications/");
            QDirIterator it(base, {QStringLiteral("*.desktop")}, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext() && files < kMaxDesktopEntries) {
                const QString path = it.next();
                ++files;
                const QString id = path.mid(base.size()).replace('/', '-');
                if (seen_.count(id)) continue;
                seen_[id] = true;
                const std::optional<QStringList> lines = ReadSmallFile(path);
                if (!lines) continue;
                const std::map<QString, QString> keys = ReadGroup(*lines, QStringLiteral("Desktop Entry"));
                auto value = [&keys](const char* key) {
                    const auto found = keys.find(QString::fromLatin1(key));
                    return found == keys.end() ? QString() : found->second;
                };
                if (value("Type") != QLatin1String("Application") || value("Hidden") == QLatin1String("true")) continue;
                Entry e;
                e.app.id = id;
                e.app.name = value("Name[ja]").isEmpty() ? value("Name") : value("Name[ja]");
                e.app.icon = value("Icon");
                e.app.exec = value("Exec");
                e.types = ListValue(value("MimeType"));
                if (e.app.exec.isEmpty() || e.app.name.isEmpty()) continue;
                entries_.emplace(id, std::move(e));
            }
        }
    }

    const Entry* Find(const QString& id) const
    {
        const auto found = entries_.find(id);
        return found == entries_.end() ? nullptr : &found->second;
    }
    const std::map<QString, Entry>& All() const { return entries_; }

private:
    std::map<QString, Entry> entries_;
    std::map<QString, bool> seen_;
};

QStringList TypeAndAliases(const QString& mimeType)
{
    QStringList names{mimeType};
    const QMimeType type = QMimeDatabase().mimeTypeForName(mimeType);
    if (type.isValid()) {
        names << type.name() << type.aliases();
        names.removeDuplicates();
    }
    return names;
}

bool Takes(const Entry& e, const QStringList& names)
{
    return std::any_of(names.begin(), names.end(), [&e](const QString& n) { return e.types.contains(n); });
}

} // namespace

DesktopFolders DesktopFoldersFromEnvironment()
{
    DesktopFolders folders;
    folders.dataFolders << EnvironmentHome("XDG_DATA_HOME", QStringLiteral("/.local/share"))
                        << EnvironmentFolders("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    folders.configFolders << EnvironmentHome("XDG_CONFIG_HOME", QStringLiteral("/.config"))
                          << EnvironmentFolders("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    for (const QString& name : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':', Qt::SkipEmptyParts))
        folders.desktopNames << name.toLower();
    return folders;
}

QString FileMimeType(const QString& path)
{
    return QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
}

QString FileTypeKey(const QString& path)
{
    const QString type = QFileInfo(path).suffix().toLower();
    return IsFileTypeKey(type) ? type : QString();
}

std::vector<DesktopApp> AppsForType(const QString& mimeType, const DesktopFolders& folders)
{
    const EntryTable table(folders);
    const QStringList names = TypeAndAliases(mimeType);
    std::vector<DesktopApp> apps;
    for (const auto& [id, e] : table.All())
        if (Takes(e, names)) apps.push_back(e.app);
    std::stable_sort(apps.begin(), apps.end(),
                     [](const DesktopApp& a, const DesktopApp& b) { return a.name.localeAwareCompare(b.name) < 0; });
    return apps;
}

std::optional<DesktopApp> DefaultApp(const QString& mimeType, const DesktopFolders& folders)
{
    const EntryTable table(folders);
    const QStringList names = TypeAndAliases(mimeType);
    // The lists in the freedesktop order: the desktop's own before the
    // common one, configuration before data.
    QStringList lists;
    auto addLists = [&lists, &folders](const QString& folder) {
        for (const QString& desktop : folders.desktopNames) lists << folder + '/' + desktop + QStringLiteral("-mimeapps.list");
        lists << folder + QStringLiteral("/mimeapps.list");
    };
    for (const QString& config : folders.configFolders.mid(0, kMaxDesktopFolders)) addLists(config);
    for (const QString& data : folders.dataFolders.mid(0, kMaxDesktopFolders)) addLists(data + QStringLiteral("/applications"));
    for (const QString& data : folders.dataFolders.mid(0, kMaxDesktopFolders))
        lists << data + QStringLiteral("/applications/defaults.list");
    // Defaults first, then what the user added to the type (an "open with" kept by a
    // file manager).
    for (const QString& group : {QStringLiteral("Default Applications"), QStringLiteral("Added Associations")}) {
        for (const QString& list : lists) {
            const std::optional<QStringList> lines = ReadSmallFile(list);
            if (!lines) continue;
            const std::map<QString, QString> keys = ReadGroup(*lines, group);
            for (const QString& name : names) {
                const auto found = keys.find(name);
                if (found == keys.end()) continue;
                for (const QString& id : ListValue(found->second))
                    if (const Entry* e = table.Find(id)) return e->app;
            }
        }
    }
    for (const QString& data : folders.dataFolders.mid(0, kMaxDesktopFolders)) {
        const std::optional<QStringList> lines = ReadSmallFile(data + QStringLiteral("/applications/mimeinfo.cache"));
        if (!lines) continue;
        const std::map<QString, QString> keys = ReadGroup(*lines, QStringLiteral("MIME Cache"));
        for (const QString& name : names) {
            const auto found = keys.find(name);
            if (found == keys.end()) continue;
            for (const QString& id : ListValue(found->second))
                if (const Entry* e = table.Find(id); e && Takes(*e, names)) return e->app;
        }
    }
    for (const auto& [id, e] : table.All())
        if (Takes(e, names)) return e.app;
    return std::nullopt;
}

bool IsKumolist(const DesktopApp& app, const QString& programFile)
{
    return app.id == QLatin1String("kumolist.desktop") || RunsKumolist(app.exec, programFile);
}

OpenPlan PlanOpen(const QString& path, const OpenPrograms& programs, const DesktopFolders& folders,
                  const QString& programFile)
{
    const auto own = programs.find(FileTypeKey(path));
    if (own != programs.end()) {
        if (RunsKumolist(own->second, programFile)) return {OpenPlan::Ask, {}};
        return {OpenPlan::Command, own->second};
    }
    const std::optional<DesktopApp> app = DefaultApp(FileMimeType(path), folders);
    if (!app) return {OpenPlan::Desktop, {}};
    if (IsKumolist(*app, programFile)) return {OpenPlan::Ask, {}};
    // Its own Exec line, so that what starts is the program looked at here.
    return {OpenPlan::Command, app->exec};
}
