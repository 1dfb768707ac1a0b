#include "gui/mprisadaptors.h"

#include "core/appinfo.h"
#include "gui/mpris.h"

#include <QDBusError>
#include <QDBusMetaType>
#include <QMetaClassInfo>
#include <QMetaProperty>

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

MprisPropertiesAdaptor::MprisPropertiesAdaptor(MprisService *service)
    : QDBusAbstractAdaptor(service)
    , m_service(service)
{
}

QList<QObject *> MprisPropertiesAdaptor::adaptorsOf(const QString &interface_name)
{
    QList<QObject *> found;
    for (QObject *child : parent()->children()) {
        if (child == this || !qobject_cast<QDBusAbstractAdaptor *>(child))
            continue;
        const QMetaObject *meta = child->metaObject();
        const int info = meta->indexOfClassInfo("D-Bus Interface");
        if (interface_name.isEmpty() || (info >= 0 && interface_name == QLatin1String(meta->classInfo(info).value())))
            found.append(child);
    }
    if (found.isEmpty())
        m_service->Refuse(QDBusError::UnknownInterface, QStringLiteral("No such interface '%1'").arg(interface_name));
    return found;
}

QMetaProperty MprisPropertiesAdaptor::propertyOf(const QString &interface_name, const QString &property_name,
                                                 QObject **adaptor)
{
    const QList<QObject *> adaptors = adaptorsOf(interface_name);
    for (QObject *candidate : adaptors) {
        const QMetaObject *meta = candidate->metaObject();
        const int index = meta->indexOfProperty(property_name.toUtf8().constData());
        if (index >= QDBusAbstractAdaptor::staticMetaObject.propertyCount()) {
            *adaptor = candidate;
            return meta->property(index);
        }
    }
    if (!adaptors.isEmpty())
        m_service->Refuse(QDBusError::UnknownProperty,
                       QStringLiteral("No such property '%1' in interface '%2'").arg(property_name, interface_name));
    return {};
}

QDBusVariant MprisPropertiesAdaptor::Get(const QString &interface_name, const QString &property_name)
{
    QObject *adaptor = nullptr;
    const QMetaProperty property = propertyOf(interface_name, property_name, &adaptor);
    return property.isValid() ? QDBusVariant(property.read(adaptor)) : QDBusVariant();
}

QVariantMap MprisPropertiesAdaptor::GetAll(const QString &interface_name)
{
    QVariantMap all;
    for (QObject *adaptor : adaptorsOf(interface_name)) {
        const QMetaObject *meta = adaptor->metaObject();
        for (int i = QDBusAbstractAdaptor::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i)
            all.insert(QString::fromLatin1(meta->property(i).name()), meta->property(i).read(adaptor));
    }
    return all;
}

void MprisPropertiesAdaptor::Set(const QString &interface_name, const QString &property_name,
                                 const QDBusVariant &value)
{
    QObject *adaptor = nullptr;
    QMetaProperty property = propertyOf(interface_name, property_name, &adaptor);
    if (!property.isValid())
        return;
    if (!property.isWritable()) {
        m_service->Refuse(QDBusError::PropertyReadOnly, QStringLiteral("Property '%1' is read-only").arg(property_name));
        return;
    }
    if (value.variant().metaType() != property.metaType()) {
        m_service->Refuse(QDBusError::InvalidArgs,
                       QStringLiteral("Property '%1' takes a value of type '%2'")
                           .arg(property_name, QString::fromLatin1(QDBusMetaType::typeToSignature(property.metaType()))));
        return;
    }
    property.write(adaptor, value.variant());
}
