// The drive list's lines: mounted volumes, classified by what they are.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

struct MountInfo {
    QByteArray mountPoint;
    QByteArray fsType;
    QString label;       // the volume label; empty when it cannot be read
    QByteArray device;   // "/dev/sda1", "server:/export", "//host/share", ...
    bool removable = false; // the block device says it is removable
};

enum class DriveType { Removable, Fixed, Remote, CdRom, RamDisk };

struct DriveLine {
    QByteArray mountPoint;
    DriveType type = DriveType::Fixed;
    QString text;
};

// The line a volume gets, or none for pseudo and system file systems.
std::optional<DriveLine> ClassifyVolume(const MountInfo &mount);

// The lines of all volumes, sorted by mount point; a mount point mounted
// over keeps only its last (visible) volume.
QList<DriveLine> DriveLines(const QList<MountInfo> &mounts);

// The volumes mounted on this machine.
QList<MountInfo> MountedVolumes();

// The longest of `roots` that holds `path` ("/" when none does).
QByteArray VolumeRootOf(const QByteArray &path, const QList<QByteArray> &roots);
