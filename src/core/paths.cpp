#include "core/paths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringDecoder>

#include <cerrno>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

QString DecodePath(const QByteArray &path)
{
    {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(path);
        if (!utf8.hasError())
            return text;
    }
    {
        QStringDecoder sjis("Shift_JIS", QStringDecoder::Flag::Stateless);
        if (sjis.isValid()) {
            QString text = sjis.decode(path);
            if (!sjis.hasError() && !text.contains(QChar::ReplacementCharacter))
                return text;
        }
    }
    return QString::fromLatin1(path);
}

QByteArray JoinPath(const QByteArray &folder, const QByteArray &name)
{
    if (folder.endsWith('/'))
        return folder + name;
    return folder + '/' + name;
}

QByteArray CurrentFolder()
{
    std::vector<char> buffer(4096);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()))
            return QByteArray(buffer.data());
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return QByteArrayLiteral("/");
        buffer.resize(buffer.size() * 2);
    }
}

QByteArray NormalizeFolder(const QByteArray &path)
{
    QByteArray in = path.startsWith('/') ? path : JoinPath(CurrentFolder(), path);
    QByteArray out;
    out.reserve(in.size());
    for (char c : std::as_const(in)) {
        if (c == '/' && out.endsWith('/'))
            continue;
        out += c;
    }
    if (out.size() > 1 && out.endsWith('/'))
        out.chop(1);
    return out;
}

bool IsExistingFile(const QByteArray &path)
{
    if (path.isEmpty() || path.contains('\0'))
        return false;
    struct stat info;
    return ::stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool CanHoldPath(const QByteArray &path)
{
    return !path.contains('\r') && !path.contains('\n');
}

QByteArray ComputeProgramFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty())
        return {};
    folder += QStringLiteral("/Kestrix/Quavette/");
    QDir().mkpath(folder);
    return QFile::encodeName(folder);
}

bool IsSoundFontName(const QByteArray &path)
{
    const QByteArray end = path.right(4).toLower();
    return end == ".sf2" || end == ".sf3";
}
