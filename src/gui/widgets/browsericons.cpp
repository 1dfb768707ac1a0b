#include "gui/widgets/browsericons.h"

#include <array>

namespace {
struct PictureSource {
    const char *themeName;
    const char *fallback;
};

constexpr std::array<PictureSource, 8> Sources = {{
    {"drive-removable-media", ":/icons/floppy.svg"},
    {"drive-harddisk", ":/icons/hard.svg"},
    {"folder-remote", ":/icons/network.svg"},
    {"drive-optical", ":/icons/cdrom.svg"},
    {"media-flash", ":/icons/ram.svg"},
    {"folder-open", ":/icons/openfolder.svg"},
    {"folder-visiting", ":/icons/currentfolder.svg"},
    {"folder", ":/icons/closedfolder.svg"},
}};
} // namespace

QIcon BrowserIcon(BrowserPicture picture)
{
    static std::array<QIcon, Sources.size()> icons;
    const auto at = std::size_t(picture);
    if (icons[at].isNull()) {
        const PictureSource &source = Sources[at];
        icons[at] = QIcon::fromTheme(QString::fromLatin1(source.themeName),
                                     QIcon(QString::fromLatin1(source.fallback)));
    }
    return icons[at];
}

QString BrowserPictureDescription(BrowserPicture picture)
{
    switch (picture) {
    case BrowserPicture::Floppy: return QStringLiteral("Removable drive");
    case BrowserPicture::Hard: return QStringLiteral("Hard disk");
    case BrowserPicture::Network: return QStringLiteral("Network drive");
    case BrowserPicture::CdRom: return QStringLiteral("CD-ROM");
    case BrowserPicture::Ram: return QStringLiteral("RAM disk");
    case BrowserPicture::OpenFolder: return QStringLiteral("Open folder");
    case BrowserPicture::CurrentFolder: return QStringLiteral("Current folder");
    case BrowserPicture::ClosedFolder: break;
    }
    return QStringLiteral("Folder");
}
