#include "ftp/FtpPath.h"

#include <QFile>
#include <QStringList>

#include <sys/stat.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace FtpPath {

namespace {

QString joined(const QString &root, const QStringList &components)
{
    QString path = root;
    for (const QString &c : components) {
        if (!path.endsWith(u'/'))
            path += u'/';
        path += c;
    }
    return path;
}

// The real path of root + components, where a tail of components may be missing. A missing
// component that is still an entry (a dangling link) is refused: creating through it would
// land wherever the link points.
std::optional<QString> followed(const QString &root, QStringList components)
{
    QStringList missing;
    for (;;) {
        QString path = joined(root, components);
        QByteArray encoded = QFile::encodeName(path);
        char resolved[PATH_MAX];
        if (realpath(encoded.constData(), resolved)) {
            QString real = QFile::decodeName(resolved);
            if (!isInside(root, real))
                return std::nullopt;
            return joined(real, missing);
        }
        if ((errno != ENOENT && errno != ENOTDIR) || components.isEmpty())
            return std::nullopt;
        struct stat st;
        if (lstat(encoded.constData(), &st) == 0)
            return std::nullopt;
        missing.prepend(components.takeLast());
    }
}

}  // namespace

bool isInside(const QString &root, const QString &path)
{
    if (root == QLatin1String("/"))
        return path.startsWith(u'/');
    return path == root || (path.startsWith(root) && path.at(root.size()) == u'/');
}

std::optional<QString> resolve(const QString &root, const QString &currentDir, const QString &name,
                               Target target)
{
    if (name.contains(QChar(0)) || name.contains(u'\r') || name.contains(u'\n'))
        return std::nullopt;
    if (!isInside(root, currentDir))
        return std::nullopt;

    // Components below the root, with "." and ".." applied as text; ".." may not climb
    // above the root.
    QStringList components;
    if (!name.startsWith(u'/'))
        components = currentDir.mid(root.size()).split(u'/', Qt::SkipEmptyParts);
    for (const QString &c : name.split(u'/', Qt::SkipEmptyParts)) {
        if (c == QLatin1String("."))
            continue;
        if (c == QLatin1String("..")) {
            if (components.isEmpty())
                return std::nullopt;
            components.removeLast();
            continue;
        }
        components.append(c);
    }

    if (target == Target::Followed)
        return followed(root, components);
    if (components.isEmpty())
        return std::nullopt;
    QString leaf = components.takeLast();
    std::optional<QString> parent = followed(root, components);
    if (!parent)
        return std::nullopt;
    return joined(*parent, {leaf});
}

QString visible(const QString &root, const QString &currentDir)
{
    if (currentDir.size() < root.size() || root == QLatin1String("/"))
        return currentDir;
    QString shown = currentDir.mid(root.size());
    if (!shown.endsWith(u'/'))
        shown += u'/';
    return shown;
}

QString realPath(const QString &path)
{
    char resolved[PATH_MAX];
    if (!realpath(QFile::encodeName(path).constData(), resolved))
        return QString();
    return QFile::decodeName(resolved);
}

}  // namespace FtpPath
