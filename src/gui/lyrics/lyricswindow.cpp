#include "gui/lyrics/lyricswindow.h"

#include "core/settingsstore.h"
#include "device/lyrics.h"
#include "gui/designfont.h"
#include "gui/mainwindow/tfrm_main.h"
#include "gui/messages.h"
#include "gui/windowplacement.h"

#include <QCloseEvent>
#include <QFile>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>

std::shared_ptr<const Lyrics> LyricsOfSong(const QByteArray &path)
{
    static QByteArray lastPath;
    static std::shared_ptr<const Lyrics> last;
    if (path.isEmpty())
        return nullptr;
    if (path != lastPath) {
        lastPath = path;
        try {
            last = std::make_shared<const Lyrics>(Lyrics::load(path.toStdString()));
        } catch (const std::exception &) {
            last = nullptr;
        }
    }
    return last;
}

namespace {

QLabel *makeLine(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    label->setTextFormat(Qt::RichText);
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

} // namespace

LyricsWindow::LyricsWindow(TFrm_main *player)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint)
    , m_player(player)
    , m_lineLabel(makeLine(this, "Lbl_line"))
    , m_nextLabel(makeLine(this, "Lbl_next"))
{
    setObjectName(QStringLiteral("Frm_lyrics"));
    setFont(DesignFont());
    setMinimumSize(MinimumWindowSize);
    resize(Settings::LyricsWidth.defaultValue, Settings::LyricsHeight.defaultValue);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(m_lineLabel);
    layout->addWidget(m_nextLabel);
    setLanguage(Language::English);

    m_wake.setSingleShot(true);
    m_wake.setTimerType(Qt::PreciseTimer);
    connect(&m_wake, &QTimer::timeout, this, [this] { Dispatch([this] { follow(); }); });
    connect(m_player, &TFrm_main::currentSongChanged, this, [this] { Dispatch([this] { songChanged(); }); });
    connect(m_player, &TFrm_main::positionJumped, this, [this] { Dispatch([this] { follow(); }); });
    connect(m_player, &TFrm_main::stateChanged, this, [this] { Dispatch([this] { follow(); }); });
    KeepAboveOwner(this, m_player);
    songChanged();
}

LyricsWindow::~LyricsWindow() = default;

void LyricsWindow::setLanguage(Language language)
{
    setWindowTitle(language == Language::Japanese ? QStringLiteral("歌詞") : QStringLiteral("Lyrics"));
}

void LyricsWindow::songChanged()
{
    m_lyrics = LyricsOfSong(m_player->currentSong());
    m_lineIndex = -2;
    follow();
}

void LyricsWindow::follow()
{
    int ms = 0;
    if (m_lyrics && m_player->songOpen()) {
        try {
            ms = m_player->position();
        } catch (const std::exception &) {
        }
    }
    showAt(ms);
    m_wake.stop();
    if (!m_lyrics || !isVisible() || m_player->state() != PlayerState::Playing)
        return;
    // The first syllable still to come: wake when it is heard.
    for (const LyricLine &line : m_lyrics->lines()) {
        if (line.syllables.back().ms <= ms)
            continue;
        const auto next = std::find_if(line.syllables.begin(), line.syllables.end(),
                                       [ms](const LyricSyllable &s) { return s.ms > ms; });
        m_wake.start(std::max(1, next->ms - ms));
        return;
    }
}

void LyricsWindow::showAt(int ms)
{
    static const std::vector<LyricLine> none;
    const std::vector<LyricLine> &lines = m_lyrics ? m_lyrics->lines() : none;
    const int index = m_lyrics ? m_lyrics->lineAt(ms) : -1;
    int sung = 0;
    int lastMs = -1;
    if (index >= 0) {
        for (const LyricSyllable &s : lines[std::size_t(index)].syllables) {
            if (s.ms > ms)
                break;
            sung += int(QString::fromStdString(s.text).size());
            lastMs = s.ms;
        }
    }
    if (index == m_lineIndex && sung == m_sungLength)
        return;
    if (index != m_lineIndex) {
        m_lineIndex = index;
        // Before the first line, the first line is the one to come.
        const auto text = [&](int i) {
            return i >= 0 && i < int(lines.size()) ? QString::fromStdString(lines[std::size_t(i)].text()) : QString();
        };
        m_line = text(index);
        m_next = text(index + 1);
        m_lineLabel->setAccessibleName(m_line);
        m_nextLabel->setAccessibleName(m_next);
        m_nextLabel->setText(QStringLiteral("<span style=\"white-space:pre\">%1</span>").arg(m_next.toHtmlEscaped()));
    }
    m_sungLength = sung;
    paintLines();
    if (lastMs >= 0 && lastMs != m_lastSyllableMs) {
        m_lastSyllableMs = lastMs;
        Q_EMIT syllableShown(lastMs);
    }
}

void LyricsWindow::paintLines()
{
    const QString highlight = palette().color(QPalette::Highlight).name();
    m_lineLabel->setText(QStringLiteral("<span style=\"white-space:pre\"><span style=\"color:%1\">%2</span>%3</span>")
                             .arg(highlight, sungText().toHtmlEscaped(), m_line.mid(m_sungLength).toHtmlEscaped()));
}

void LyricsWindow::restorePlace(SettingsStore &store)
{
    m_read = QRect(store.ReadIntSetting(Settings::LyricsLeft), store.ReadIntSetting(Settings::LyricsTop),
                   store.ReadIntSetting(Settings::LyricsWidth), store.ReadIntSetting(Settings::LyricsHeight));
    m_applied = UsableBoundsOnScreens(m_read.left(), m_read.top(), m_read.width(), m_read.height(),
                                      QSize(Settings::LyricsWidth.defaultValue, Settings::LyricsHeight.defaultValue));
    move(m_applied.topLeft());
    resize(m_applied.size());
}

void LyricsWindow::storePlace(SettingsStore &store) const
{
    const QRect bounds = BoundsToStore(m_read, m_applied, QRect(pos(), size()), WindowPlacesAreKnown());
    store.WriteIntSetting(Settings::LyricsTop, bounds.top());
    store.WriteIntSetting(Settings::LyricsLeft, bounds.left());
    store.WriteIntSetting(Settings::LyricsWidth, bounds.width());
    store.WriteIntSetting(Settings::LyricsHeight, bounds.height());
}

void LyricsWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    Q_EMIT closed();
}

void LyricsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    follow();
}

void LyricsWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_wake.stop();
}
