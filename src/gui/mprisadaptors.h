// The two MPRIS 2 interfaces as D-Bus adaptors of the media controls
// service; they only forward to it.
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusVariant>
#include <QList>
#include <QMetaProperty>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

class MprisService;

class MprisRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

public:
    explicit MprisRootAdaptor(MprisService *service);

    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const;
    QString DesktopEntry() const;
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }

public Q_SLOTS:
    void Raise();
    void Quit();

private:
    MprisService *m_service;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
    Q_PROPERTY(double Rate READ Rate)
    Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)

public:
    explicit MprisPlayerAdaptor(MprisService *service);

    QString PlaybackStatus() const;
    QString LoopStatus() const;
    void SetLoopStatus(const QString &status);
    // The player has one speed and one loudness.
    double Rate() const { return 1.0; }
    double Volume() const { return 1.0; }
    bool Shuffle() const;
    void SetShuffle(bool shuffle);
    QVariantMap Metadata() const;
    qlonglong Position() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    bool CanPlay() const;
    bool CanPause() const;
    bool CanSeek() const;
    bool CanControl() const { return true; }

public Q_SLOTS:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    void Seek(qlonglong Offset);
    void SetPosition(const QDBusObjectPath &TrackId, qlonglong Position);
    void OpenUri(const QString &Uri);

Q_SIGNALS:
    void Seeked(qlonglong Position);

private:
    MprisService *m_service;
};

// org.freedesktop.DBus.Properties for the two interfaces above. QtDBus's own
// handler converts a value of the wrong type (Shuffle set to "no" becomes
// true); this one refuses it with InvalidArgs, as the interface asks. It
// takes the calls before QtDBus's handler and stays out of the introspection
// data, where QtDBus already lists the interface.
class MprisPropertiesAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.Properties")
    Q_CLASSINFO("D-Bus Introspection", "")

public:
    explicit MprisPropertiesAdaptor(MprisService *service);

public Q_SLOTS:
    QDBusVariant Get(const QString &interface_name, const QString &property_name);
    QVariantMap GetAll(const QString &interface_name);
    void Set(const QString &interface_name, const QString &property_name, const QDBusVariant &value);

private:
    // The adaptors of an interface (all for an empty name), or none after an
    // error reply.
    QList<QObject *> adaptorsOf(const QString &interface_name);
    // The property, or an invalid one after an error reply.
    QMetaProperty propertyOf(const QString &interface_name, const QString &property_name, QObject **adaptor);

    MprisService *m_service;
};
