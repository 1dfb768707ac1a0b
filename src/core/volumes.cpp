#include "core/volumes.h"

#include "core/playlist.h"

#include <QFile>
#include <QStorageInfo>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <map>

namespace {

bool isUnder(const QByteArray &path, const QByteArray &root)
{
    if (root == "/")
        return path.startsWith('/');
    return path == root || path.startsWith(root + '/');
}

bool isRemoteType(const QByteArray &type)
{
    static const QByteArray types[] = {
        "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "coda", "9p",
        "ceph", "glusterfs", "lustre", "gpfs", "davfs", "fuse.sshfs", "sshfs",
        "fuse.glusterfs", "fuse.davfs2", "fuse.rclone", "fuse.s3fs", "fuse.cephfs",
        "fuse.smbnetfs", "fuse.curlftpfs", "curlftpfs",
    };
    return std::find(std::begin(types), std::end(types), type) != std::end(types);
}

// Local disks whose device is not a path under /dev.
bool isDeviceLessDisk(const QByteArray &type)
{
    return type == "zfs";
}

QString bracketed(const QString &label)
{
    return QStringLiteral("[%1]").arg(label.toLower());
}

QString lineText(const QByteArray &mountPoint, const QString &rest)
{
    return QStringLiteral("%1: %2").arg(DecodePath(mountPoint), rest);
}

// /sys/class/block/NAME/removable of the disk that holds `device`.
bool deviceIsRemovable(const QByteArray &device)
{
    char real[PATH_MAX];
    if (!device.startsWith("/dev/") || !realpath(device.constData(), real))
        return false;
    const QByteArray name = QByteArray(real).mid(QByteArray(real).lastIndexOf('/') + 1);
    const QByteArray sysLink = "/sys/class/block/" + name;
    if (!realpath(sysLink.constData(), real))
        return false;
    QByteArray sysDir(real);
    if (QFile::exists(QFile::decodeName(sysDir + "/partition")))
        sysDir.truncate(sysDir.lastIndexOf('/'));
    QFile flag(QFile::decodeName(sysDir + "/removable"));
    if (!flag.open(QIODevice::ReadOnly))
        return false;
    return flag.read(8).trimmed() == "1";
}

} // namespace

std::optional<DriveLine> ClassifyVolume(const MountInfo &mount)
{
    const QByteArray type = mount.fsType.toLower();
    const QByteArray &at = mount.mountPoint;
    if (at.isEmpty())
        return std::nullopt;

    if (isRemoteType(type)) {
        const QString rest = mount.device.isEmpty() ? bracketed(mount.label)
                                                    : DecodePath(mount.device).toLower();
        return DriveLine{at, DriveType::Remote, lineText(at, rest)};
    }
    if (type == "iso9660" || type == "udf")
        return DriveLine{at, DriveType::CdRom, lineText(at, bracketed(mount.label))};
    if (type == "tmpfs" || type == "ramfs") {
        // The system's own RAM file systems are not drives of the user's.
        for (const char *system : {"/run", "/dev", "/sys", "/proc"}) {
            if (isUnder(at, system))
                return std::nullopt;
        }
        return DriveLine{at, DriveType::RamDisk, lineText(at, bracketed(mount.label))};
    }
    // A container's root is an overlay; any other overlay or squashfs (snaps)
    // is part of the system, not a drive.
    if (type == "overlay")
        return at == "/" ? std::optional(DriveLine{at, DriveType::Fixed, lineText(at, bracketed(mount.label))})
                         : std::nullopt;
    if (type == "squashfs")
        return std::nullopt;
    // What the desktop mounts for the user under /media is removable, block
    // device or not (a phone or camera through FUSE).
    if (mount.removable || isUnder(at, "/media") || isUnder(at, "/run/media"))
        return DriveLine{at, DriveType::Removable, DecodePath(at) + QLatin1Char(':')};
    if (!mount.device.startsWith("/dev/") && !isDeviceLessDisk(type))
        return std::nullopt;
    return DriveLine{at, DriveType::Fixed, lineText(at, bracketed(mount.label))};
}

QList<DriveLine> DriveLines(const QList<MountInfo> &mounts)
{
    // A later mount on the same point hides the earlier one.
    std::map<QByteArray, MountInfo> visible;
    for (const MountInfo &mount : mounts)
        visible[mount.mountPoint] = mount;
    QList<DriveLine> lines;
    for (const auto &[mountPoint, mount] : visible) {
        if (auto line = ClassifyVolume(mount))
            lines.append(*line);
    }
    return lines;
}

QList<MountInfo> MountedVolumes()
{
    QList<MountInfo> mounts;
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    for (const QStorageInfo &volume : volumes) {
        MountInfo mount;
        mount.mountPoint = QFile::encodeName(volume.rootPath());
        mount.fsType = volume.fileSystemType();
        mount.label = volume.name();
        mount.device = volume.device();
        mount.removable = deviceIsRemovable(mount.device);
        mounts.append(mount);
    }
    return mounts;
}

QByteArray VolumeRootOf(const QByteArray &path, const QList<QByteArray> &roots)
{
    QByteArray best;
    for (const QByteArray &root : roots) {
        if (root.size() > best.size() && isUnder(path, root))
            best = root;
    }
    return best.isEmpty() ? QByteArrayLiteral("/") : best;
}
