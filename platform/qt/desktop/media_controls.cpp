// The desktop's player controls on Linux: the MPRIS 2 interfaces
// (org.mpris.MediaPlayer2 and org.mpris.MediaPlayer2.Player) on the session
// bus, at /org/mpris/MediaPlayer2 under org.mpris.MediaPlayer2.melodiane, or
// that name with ".instance<pid>" when a program in another folder has it.
//
// The methods press the main window's buttons (WM_COMMAND, BN_CLICKED, posted
// like a click's), so the program's own rules decide what happens. The
// properties come from the program's state, read whenever Qt's loop is about
// to wait: what changed since the last look goes out in one PropertiesChanged.
#include "platform/media_controls.h"

#include "platform/qt/desktop/desktop.h"
#include "platform/qt/system/system.h"
#include "platform/qt/user/user.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusAbstractAdaptor>
#include <QStringList>
#include <QVariantMap>

#include <unistd.h>

#include "platform/win_controls.h"
#include "platform/win_user.h"

#define MPRIS_PATH "/org/mpris/MediaPlayer2"
#define MPRIS_ROOT "org.mpris.MediaPlayer2"
#define MPRIS_PLAYER "org.mpris.MediaPlayer2.Player"
#define MPRIS_BUS_NAME "org.mpris.MediaPlayer2.melodiane"
#define PROPERTIES "org.freedesktop.DBus.Properties"
#define TRACK_PATH "/org/melodiane/track/"
#define NO_TRACK "/org/mpris/MediaPlayer2/TrackList/NoTrack"
#define MICROSECONDS 1000000LL
// The most button presses waiting for the window: a flood of calls beyond
// what the player can do is dropped rather than queued without bound, so a
// later call, or the user's own click, is served at once.
#define MAX_WAITING_PRESSES 16

static HWND player_window = nullptr;
static MEDIA_CONTROLS controls;
static MEDIA_STATE_READER read_state = nullptr;

// The track identifier: a new one whenever the current entry or what is shown
// of it changes, so the desktop never keeps a stale title under an old one.
static const void* shown_track = nullptr;
static QString shown_title;
static int shown_length = 0;
static unsigned track_serial = 0;

// The Player properties as last sent, to send only what changed.
static QVariantMap sent_player;

static MEDIA_STATE current_state() {
    MEDIA_STATE state = {MEDIA_STOPPED, nullptr, 0, 0, 0, 0};
    if (IsWindow(player_window)) {
        read_state(&state);
    }
    return state;
}

static QString title_shown() {
    char text[1024] = "";
    GetWindowTextA(GetDlgItem(player_window, controls.title), text, sizeof text);
    return ansi_to_qstring(text);
}

static QVariantMap metadata(const MEDIA_STATE& state) {
    QVariantMap data;
    if (state.track == nullptr) {
        data.insert(QStringLiteral("mpris:trackid"),
                    QVariant::fromValue(QDBusObjectPath(QStringLiteral(NO_TRACK))));
        return data;
    }
    QString title = title_shown();
    if (state.track != shown_track || title != shown_title || state.length != shown_length) {
        shown_track = state.track;
        shown_title = title;
        shown_length = state.length;
        track_serial++;
    }
    data.insert(
        QStringLiteral("mpris:trackid"),
        QVariant::fromValue(QDBusObjectPath(QStringLiteral(TRACK_PATH "%1").arg(track_serial))));
    data.insert(QStringLiteral("xesam:title"), title);
    if (state.length > 0) {
        data.insert(QStringLiteral("mpris:length"),
                    QVariant::fromValue(static_cast<qlonglong>(state.length) * MICROSECONDS));
    }
    return data;
}

static QString status_name(int status) {
    switch (status) {
    case MEDIA_PLAYING:
        return QStringLiteral("Playing");
    case MEDIA_PAUSED:
        return QStringLiteral("Paused");
    default:
        return QStringLiteral("Stopped");
    }
}

// The Player properties that change with the player (Position aside, which
// the desktop asks for rather than being told).
static QVariantMap player_state(const MEDIA_STATE& state) {
    bool has_track = state.track != nullptr;
    return {
        {QStringLiteral("PlaybackStatus"), status_name(state.status)},
        {QStringLiteral("Metadata"), metadata(state)},
        {QStringLiteral("CanGoNext"), state.can_next != 0},
        {QStringLiteral("CanGoPrevious"), state.can_previous != 0},
        {QStringLiteral("CanPlay"), has_track},
        {QStringLiteral("CanPause"), has_track},
    };
}

// Presses a button as a click does; nothing when the click could not happen.
static void press(int id) {
    HWND button = GetDlgItem(player_window, id);
    if (button == nullptr || window_input_blocked(button) ||
        queue_count(player_window, WM_COMMAND) >= MAX_WAITING_PRESSES) {
        return;
    }
    PostMessageA(player_window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

// The two interfaces as Qt adaptors on one object: Qt dispatches the calls,
// answers the property reads (with the errors for a name it does not know or
// a property written) and writes the introspection from the declarations.
// A caller that wants no reply gets none.
class MprisRoot : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", MPRIS_ROOT)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktop_entry)
    Q_PROPERTY(bool CanRaise READ yes)
    Q_PROPERTY(bool CanQuit READ no)
    Q_PROPERTY(bool HasTrackList READ no)
    Q_PROPERTY(QStringList SupportedUriSchemes READ none)
    Q_PROPERTY(QStringList SupportedMimeTypes READ none)

  public:
    explicit MprisRoot(QObject* object) : QDBusAbstractAdaptor(object) {}
    QString identity() const {
        return QStringLiteral("Melodiane");
    }
    QString desktop_entry() const {
        return QStringLiteral("melodiane");
    }
    bool yes() const {
        return true;
    }
    bool no() const {
        return false;
    }
    QStringList none() const {
        return {};
    }

  public slots:
    void Raise() {
        if (IsWindow(player_window)) {
            bring_window_forward(player_window);
        }
    }
    // Nothing: CanQuit is false.
    void Quit() {}
};

class MprisPlayer : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", MPRIS_PLAYER)
    Q_PROPERTY(QString PlaybackStatus READ playback_status)
    Q_PROPERTY(QVariantMap Metadata READ metadata_now)
    Q_PROPERTY(bool CanGoNext READ can_go_next)
    Q_PROPERTY(bool CanGoPrevious READ can_go_previous)
    Q_PROPERTY(bool CanPlay READ has_track)
    Q_PROPERTY(bool CanPause READ has_track)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double Rate READ one)
    Q_PROPERTY(double MinimumRate READ one)
    Q_PROPERTY(double MaximumRate READ one)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)

  public:
    explicit MprisPlayer(QObject* object) : QDBusAbstractAdaptor(object) {}
    QString playback_status() const {
        return status_name(current_state().status);
    }
    QVariantMap metadata_now() const {
        return metadata(current_state());
    }
    bool can_go_next() const {
        return current_state().can_next != 0;
    }
    bool can_go_previous() const {
        return current_state().can_previous != 0;
    }
    bool has_track() const {
        return current_state().track != nullptr;
    }
    qlonglong position() const {
        return static_cast<qlonglong>(current_state().position) * MICROSECONDS;
    }
    double one() const {
        return 1.0;
    }
    bool yes() const {
        return true;
    }
    bool no() const {
        return false;
    }

  public slots:
    // The buttons each method presses in the player's present state. "Jouer"
    // plays the current entry from its start even while it plays, and
    // "Pauser" resumes a paused track: Play and Pause, which leave a player
    // already doing what they ask alone, press nothing then.
    void PlayPause() {
        press(current_state().status == MEDIA_STOPPED ? controls.play : controls.pause);
    }
    void Play() {
        if (current_state().status != MEDIA_PLAYING) {
            press(controls.play);
        }
    }
    void Pause() {
        if (current_state().status == MEDIA_PLAYING) {
            press(controls.pause);
        }
    }
    void Stop() {
        press(controls.stop);
    }
    void Next() {
        press(controls.next);
    }
    void Previous() {
        press(controls.previous);
    }
    // Nothing: CanSeek is false, and no address scheme is supported.
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

  signals:
    void Seeked(qlonglong Position);
};

// Tells the desktop what changed since it was last told.
static void send_changes() {
    if (!IsWindow(player_window)) {
        return;
    }
    QVariantMap now = player_state(current_state());
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (sent_player.value(it.key()) != it.value()) {
            changed.insert(it.key(), it.value());
        }
    }
    if (changed.isEmpty()) {
        return;
    }
    sent_player = now;
    QDBusMessage signal =
        QDBusMessage::createSignal(QStringLiteral(MPRIS_PATH), QStringLiteral(PROPERTIES),
                                   QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral(MPRIS_PLAYER) << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

void media_controls_start(HWND window, const MEDIA_CONTROLS* window_controls,
                          MEDIA_STATE_READER reader) {
    player_window = window;
    controls = *window_controls;
    read_state = reader;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    auto* object = new QObject(qApp);
    new MprisRoot(object);
    new MprisPlayer(object);
    if (!bus.registerObject(QStringLiteral(MPRIS_PATH), object, QDBusConnection::ExportAdaptors)) {
        delete object;
        return;
    }
    // A program in another folder may have the plain name already.
    QDBusConnectionInterface* names = bus.interface();
    if (names
            ->registerService(QStringLiteral(MPRIS_BUS_NAME),
                              QDBusConnectionInterface::DontQueueService)
            .value() != QDBusConnectionInterface::ServiceRegistered) {
        names->registerService(QStringLiteral(MPRIS_BUS_NAME ".instance%1").arg(getpid()),
                               QDBusConnectionInterface::DontQueueService);
    }
    sent_player = player_state(current_state());
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     object, send_changes);
}

#include "media_controls.moc"
