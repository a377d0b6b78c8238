#include "gui/main/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "base/Exception.h"

namespace quorv::app {

namespace {

// One argument of an Exec key: in double quotes with ", `, $ and \ escaped, "%" doubled;
// then the backslashes escaped once more, as every string value of the file is.
QString ExecArgument(const QString& program) {
    QString quoted;
    for (QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
            quoted += u'\\';
        } else if (c == u'%') {
            quoted += u'%';
        }
        quoted += c;
    }
    quoted = u'"' + quoted + u'"';
    return quoted.replace(QStringLiteral("\\"), QStringLiteral("\\\\"));
}

}  // namespace

QString AutostartEntryPath() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) {
        config = QDir::homePath() + QStringLiteral("/.config");
    }
    return config + QStringLiteral("/autostart/quorv-ip-changer.desktop");
}

bool AutostartEnabled() {
    return QFileInfo::exists(AutostartEntryPath());
}

QString AutostartEntry(const QString& program) {
    // Line breaks cannot be quoted in a desktop entry: such a path is not started.
    QString safe = program;
    safe.remove(u'\n').remove(u'\r');
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Quorv IP Changer\n"
               "Name[ko]=Quorv IP 변경\n"
               "Comment=Switch a network connection between saved TCP/IP profiles\n"
               "Exec=%1\n"
               "Icon=quorv-ip-changer\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n")
        .arg(ExecArgument(safe));
}

void SetAutostart(bool enabled, const QString& program) {
    const QString path = AutostartEntryPath();
    if (!enabled) {
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            throw Exception("Cannot remove '" + path.toStdString() + "'");
        }
        return;
    }
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(AutostartEntry(program).toUtf8()) < 0 ||
        !file.commit()) {
        throw Exception("Cannot write '" + path.toStdString() +
                        "': " + file.errorString().toStdString());
    }
}

}  // namespace quorv::app
