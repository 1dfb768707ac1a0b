#include "gui/mprisadaptors.h"

#include "core/appinfo.h"
#include "gui/mpris.h"

MprisRootAdaptor::MprisRootAdaptor(MprisService *service)
    : QDBusAbstractAdaptor(service)
    , m_service(service)
{
}

QString MprisRootAdaptor::Identity() const
{
    return ApplicationName();
}

QString MprisRootAdaptor::DesktopEntry() const
{
    return QStringLiteral("quavette");
}

void MprisRootAdaptor::Raise()
{
    m_service->Raise();
}

void MprisRootAdaptor::Quit()
{
    m_service->Quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService *service)
    : QDBusAbstractAdaptor(service)
    , m_service(service)
{
}

QString MprisPlayerAdaptor::PlaybackStatus() const { return m_service->PlaybackStatus(); }
QString MprisPlayerAdaptor::LoopStatus() const { return m_service->LoopStatus(); }
void MprisPlayerAdaptor::SetLoopStatus(const QString &status) { m_service->SetLoopStatus(status); }
bool MprisPlayerAdaptor::Shuffle() const { return m_service->Shuffle(); }
void MprisPlayerAdaptor::SetShuffle(bool shuffle) { m_service->SetShuffle(shuffle); }
QVariantMap MprisPlayerAdaptor::Metadata() const { return m_service->Metadata(); }
qlonglong MprisPlayerAdaptor::Position() const { return m_service->Position(); }
bool MprisPlayerAdaptor::CanGoNext() const { return m_service->CanGoNext(); }
bool MprisPlayerAdaptor::CanGoPrevious() const { return m_service->CanGoNext(); }
bool MprisPlayerAdaptor::CanPlay() const { return m_service->CanPlay(); }
bool MprisPlayerAdaptor::CanPause() const { return m_service->CanPause(); }
bool MprisPlayerAdaptor::CanSeek() const { return m_service->CanSeek(); }

void MprisPlayerAdaptor::Next() { m_service->Next(); }
void MprisPlayerAdaptor::Previous() { m_service->Previous(); }
void MprisPlayerAdaptor::Pause() { m_service->Pause(); }
void MprisPlayerAdaptor::PlayPause() { m_service->PlayPause(); }
void MprisPlayerAdaptor::Stop() { m_service->Stop(); }
void MprisPlayerAdaptor::Play() { m_service->Play(); }
void MprisPlayerAdaptor::Seek(qlonglong Offset) { m_service->Seek(Offset); }

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath &TrackId, qlonglong Position)
{
    m_service->SetPosition(TrackId.path(), Position);
}

void MprisPlayerAdaptor::OpenUri(const QString &)
{
    m_service->OpenUri();
}
