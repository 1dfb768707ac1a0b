#include "core/paths.h"
#include "core/folderreader.h"
#include "core/volumes.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

struct VolumeCase {
    const char *what;
    MountInfo mount;
    std::optional<DriveType> type; // none: no line
    const char *text;
};

void PrintTo(const VolumeCase &c, std::ostream *os)
{
    *os << c.what;
}

MountInfo mount(const char *at, const char *type, const char *device, const char *label = "", bool removable = false)
{
    return MountInfo{at, type, QString::fromUtf8(label), device, removable};
}

class VolumeClassification : public ::testing::TestWithParam<VolumeCase> {};

TEST_P(VolumeClassification, GivesItsLine)
{
    const VolumeCase &c = GetParam();
    const std::optional<DriveLine> line = ClassifyVolume(c.mount);
    ASSERT_EQ(line.has_value(), c.type.has_value()) << c.what;
    if (!line)
        return;
    EXPECT_EQ(line->type, *c.type) << c.what;
    EXPECT_EQ(line->text, QString::fromUtf8(c.text)) << c.what;
    EXPECT_EQ(line->mountPoint, c.mount.mountPoint) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Lines, VolumeClassification, ::testing::Values(
    VolumeCase{"fixed disk, label lower-cased", mount("/", "ext4", "/dev/sda2", "Debian Root"), DriveType::Fixed, "/: [debian root]"},
    VolumeCase{"fixed disk without label", mount("/data", "xfs", "/dev/nvme0n1p3"), DriveType::Fixed, "/data: []"},
    VolumeCase{"mount point shown as it is", mount("/Mnt/Big Disk", "ntfs3", "/dev/sdc1", "BIG"), DriveType::Fixed, "/Mnt/Big Disk: [big]"},
    VolumeCase{"zfs dataset", mount("/tank", "zfs", "tank/home", "x"), DriveType::Fixed, "/tank: [x]"},
    VolumeCase{"container root overlay", mount("/", "overlay", "overlay"), DriveType::Fixed, "/: []"},
    VolumeCase{"removable block device", mount("/mnt/stick", "vfat", "/dev/sdb1", "STICK", true), DriveType::Removable, "/mnt/stick:"},
    VolumeCase{"mounted under /media", mount("/media/user/CARD", "exfat", "/dev/mmcblk0p1", "CARD"), DriveType::Removable, "/media/user/CARD:"},
    VolumeCase{"mounted under /run/media", mount("/run/media/user/USB", "vfat", "/dev/sdc1"), DriveType::Removable, "/run/media/user/USB:"},
    VolumeCase{"phone through FUSE under /run/media", mount("/run/media/user/Phone", "fuse.jmtpfs", "jmtpfs"), DriveType::Removable, "/run/media/user/Phone:"},
    VolumeCase{"camera through FUSE under /media", mount("/media/cam", "fuse.gphotofs", "gphotofs"), DriveType::Removable, "/media/cam:"},
    VolumeCase{"nfs share, network name lower-cased", mount("/net/music", "nfs4", "Server:/Export/Music"), DriveType::Remote, "/net/music: server:/export/music"},
    VolumeCase{"cifs share", mount("/mnt/nas", "cifs", "//NAS/Songs"), DriveType::Remote, "/mnt/nas: //nas/songs"},
    VolumeCase{"sshfs", mount("/mnt/ssh", "fuse.sshfs", "me@host:/srv"), DriveType::Remote, "/mnt/ssh: me@host:/srv"},
    VolumeCase{"remote without a network name", mount("/mnt/smb", "smb3", "", "Share"), DriveType::Remote, "/mnt/smb: [share]"},
    VolumeCase{"CD-ROM, also under /media", mount("/media/cdrom", "iso9660", "/dev/sr0", "Songs 1999", true), DriveType::CdRom, "/media/cdrom: [songs 1999]"},
    VolumeCase{"DVD in udf", mount("/mnt/dvd", "udf", "/dev/sr1"), DriveType::CdRom, "/mnt/dvd: []"},
    VolumeCase{"tmpfs for the user", mount("/tmp", "tmpfs", "tmpfs"), DriveType::RamDisk, "/tmp: []"},
    VolumeCase{"ramfs", mount("/mnt/ram", "ramfs", "ramfs", "Scratch"), DriveType::RamDisk, "/mnt/ram: [scratch]"},
    VolumeCase{"the system's tmpfs under /run", mount("/run/user/1000", "tmpfs", "tmpfs"), std::nullopt, ""},
    VolumeCase{"/run itself", mount("/run", "tmpfs", "tmpfs"), std::nullopt, ""},
    VolumeCase{"/dev/shm", mount("/dev/shm", "tmpfs", "shm"), std::nullopt, ""},
    VolumeCase{"proc", mount("/proc", "proc", "proc"), std::nullopt, ""},
    VolumeCase{"sysfs", mount("/sys", "sysfs", "sysfs"), std::nullopt, ""},
    VolumeCase{"cgroup2", mount("/sys/fs/cgroup", "cgroup2", "cgroup2"), std::nullopt, ""},
    VolumeCase{"devpts", mount("/dev/pts", "devpts", "devpts"), std::nullopt, ""},
    VolumeCase{"snap squashfs on a loop device", mount("/snap/core22/864", "squashfs", "/dev/loop3"), std::nullopt, ""},
    VolumeCase{"overlay of a container", mount("/var/lib/docker/overlay2/x/merged", "overlay", "overlay"), std::nullopt, ""},
    VolumeCase{"desktop's fuse helper", mount("/run/user/1000/gvfs", "fuse.gvfsd-fuse", "gvfsd-fuse"), std::nullopt, ""},
    VolumeCase{"no mount point", mount("", "ext4", "/dev/sda1"), std::nullopt, ""}));

TEST(DriveLines, SortedByMountPointAndAMountedOverPointKeepsTheVisibleVolume)
{
    const QList<DriveLine> lines = DriveLines({
        mount("/tmp", "tmpfs", "tmpfs"),
        mount("/", "ext4", "/dev/sda1", "Root"),
        mount("/proc", "proc", "proc"),
        mount("/home", "ext4", "/dev/sda3", "Old"),
        mount("/home", "ext4", "/dev/sdb1", "New"),
    });
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0].text, QStringLiteral("/: [root]"));
    EXPECT_EQ(lines[1].text, QStringLiteral("/home: [new]"));
    EXPECT_EQ(lines[2].text, QStringLiteral("/tmp: []"));
}

TEST(VolumeRootOf, PicksTheLongestMountPointAtAFolderBoundary)
{
    const QList<QByteArray> roots = {"/", "/home", "/home/me/music"};
    EXPECT_EQ(VolumeRootOf("/home/me", roots), "/home");
    EXPECT_EQ(VolumeRootOf("/home", roots), "/home");
    EXPECT_EQ(VolumeRootOf("/homework", roots), "/");
    EXPECT_EQ(VolumeRootOf("/home/me/music/jazz", roots), "/home/me/music");
    EXPECT_EQ(VolumeRootOf("/usr", {"/home"}), "/");
    EXPECT_EQ(VolumeRootOf("/usr", {}), "/");
}

TEST(MountedVolumes, TheMachinesOwnVolumesGiveWellFormedLines)
{
    const QList<MountInfo> mounts = MountedVolumes();
    ASSERT_FALSE(mounts.isEmpty());
    const QList<DriveLine> lines = DriveLines(mounts);
    QList<QByteArray> points;
    for (const DriveLine &line : lines) {
        EXPECT_TRUE(line.mountPoint.startsWith('/')) << line.mountPoint.constData();
        EXPECT_TRUE(line.text.startsWith(QString::fromUtf8(line.mountPoint))) << line.text.toStdString();
        EXPECT_FALSE(line.mountPoint.startsWith("/proc")) << line.mountPoint.constData();
        EXPECT_FALSE(line.mountPoint.startsWith("/sys")) << line.mountPoint.constData();
        points.append(line.mountPoint);
    }
    // The volume that holds the current folder has a line, so the pane can
    // start there.
    EXPECT_TRUE(points.contains(VolumeRootOf(CurrentFolder(), points)));
}

} // namespace
