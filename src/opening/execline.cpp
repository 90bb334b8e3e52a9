#include "opening/execline.h"

#include <QFileInfo>
#include <QProcess>

std::optional<QStringList> SplitExecLine(const QString& command)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (quoted) {
            if (c == '\\' && i + 1 < command.size() && QStringLiteral("\"`$\\").contains(command[i + 1])) {
                current += command[++i];
            } else if (c == '"') {
                quoted = false;
            } else {
                current += c;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inArgument) arguments << current;
            current.clear();
            inArgument = false;
            continue;
        }
        // Outside quotes a backslash stays what it is: Windows paths are typed that way.
        if (c == '"') quoted = true;
        else current += c;
        inArgument = true;
    }
    if (quoted) return std::nullopt;
    if (inArgument) arguments << current;
    if (arguments.isEmpty()) return std::nullopt;
    return arguments;
}

std::optional<QStringList> CommandForFile(const QString& command, const QString& path)
{
    const std::optional<QStringList> split = SplitExecLine(command);
    if (!split) return std::nullopt;
    QStringList arguments;
    bool fileGiven = false;
    for (const QString& argument : *split) {
        QString out;
        bool onlyCodes = !argument.isEmpty();   // an argument of field codes that give nothing goes
        for (qsizetype i = 0; i < argument.size(); ++i) {
            if (argument[i] != '%' || i + 1 == argument.size()) {
                out += argument[i];
                onlyCodes = false;
                continue;
            }
            const QChar code = argument[++i];
            if (code == '%') {
                out += '%';
                onlyCodes = false;
            } else if (QStringLiteral("fFuU").contains(code)) {
                out += path;
                fileGiven = true;
                onlyCodes = false;
            } else if (!QStringLiteral("ickdDnNvm").contains(code)) {
                out += '%';
                out += code;
                onlyCodes = false;
            }
        }
        if (!(onlyCodes && out.isEmpty())) arguments << out;
        // The program itself is never the file.
        if (arguments.size() == 1 && fileGiven) return std::nullopt;
    }
    if (arguments.isEmpty() || arguments.first().isEmpty()) return std::nullopt;
    if (!fileGiven) arguments << path;
    return arguments;
}

QString QuoteExecArgument(const QString& argument)
{
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

bool RunsKumolist(const QString& command, const QString& programFile)
{
    const std::optional<QStringList> arguments = SplitExecLine(command);
    if (!arguments) return false;
    qsizetype i = 0;
    // env [-options] [NAME=value]... program
    if (QFileInfo(arguments->at(0)).fileName() == QLatin1String("env")) {
        for (i = 1; i < arguments->size(); ++i) {
            const QString& a = arguments->at(i);
            if (a == QLatin1String("-u") || a == QLatin1String("-C")) ++i;   // options with a value
            else if (!a.startsWith('-') && !a.contains('=')) break;
        }
        if (i >= arguments->size()) return false;
    }
    const QString& program = arguments->at(i);
    if (QFileInfo(program).fileName() == QLatin1String("kumolist")) return true;
    if (programFile.isEmpty() || !program.contains('/')) return false;
    const QString self = QFileInfo(programFile).canonicalFilePath();
    return !self.isEmpty() && QFileInfo(program).canonicalFilePath() == self;
}

bool StartCommandForFile(const QString& command, const QString& path)
{
    const std::optional<QStringList> arguments = CommandForFile(command, path);
    if (!arguments) return false;
    // Never through a shell: a name with ";" or "$(...)" must stay a name.
    return QProcess::startDetached(arguments->first(), arguments->mid(1), QFileInfo(path).absolutePath());
}
