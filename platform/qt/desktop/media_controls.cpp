// The desktop's player controls on Linux: the MPRIS 2 interfaces
// (org.mpris.MediaPlayer2 and org.mpris.MediaPlayer2.Player) on the session
// bus, at /org/mpris/MediaPlayer2 under org.mpris.MediaPlayer2.melodiane, or
// that name with ".instance<pid>" when a program in another folder has it.
//
// The methods press the main window's buttons (WM_COMMAND, BN_CLICKED, posted
// like a click's), so the program's own rules decide what happens. The
// properties come from the program's state, read whenever Qt's loop is about
// to wait: what changed since the last look goes out in one PropertiesChanged.
// The object answers through QDBusVirtualObject, which needs no generated code.
#include "platform/media_controls.h"

#include "platform/qt/desktop/desktop.h"
#include "platform/qt/system/system.h"
#include "platform/qt/user/user.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
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

static QVariantMap player_properties() {
    MEDIA_STATE state = current_state();
    QVariantMap properties = player_state(state);
    properties.insert(QStringLiteral("Position"),
                      QVariant::fromValue(static_cast<qlonglong>(state.position) * MICROSECONDS));
    properties.insert(QStringLiteral("Rate"), 1.0);
    properties.insert(QStringLiteral("MinimumRate"), 1.0);
    properties.insert(QStringLiteral("MaximumRate"), 1.0);
    properties.insert(QStringLiteral("CanSeek"), false);
    properties.insert(QStringLiteral("CanControl"), true);
    return properties;
}

static QVariantMap root_properties() {
    return {
        {QStringLiteral("Identity"), QStringLiteral("Melodiane")},
        {QStringLiteral("DesktopEntry"), QStringLiteral("melodiane")},
        {QStringLiteral("CanRaise"), true},
        {QStringLiteral("CanQuit"), false},
        {QStringLiteral("HasTrackList"), false},
        {QStringLiteral("SupportedUriSchemes"), QStringList()},
        {QStringLiteral("SupportedMimeTypes"), QStringList()},
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

// The buttons each method presses in the player's present state. "Jouer"
// plays the current entry from its start even while it plays, and "Pauser"
// resumes a paused track: Play and Pause, which leave a player already doing
// what they ask alone, press nothing then. Seek, SetPosition and OpenUri do
// nothing (CanSeek is false, no address scheme is supported). False for a
// method the interface does not have.
static bool run_method(const QString& name) {
    int status = current_state().status;
    if (name == QLatin1String("PlayPause")) {
        press(status == MEDIA_STOPPED ? controls.play : controls.pause);
    } else if (name == QLatin1String("Play")) {
        if (status != MEDIA_PLAYING) {
            press(controls.play);
        }
    } else if (name == QLatin1String("Pause")) {
        if (status == MEDIA_PLAYING) {
            press(controls.pause);
        }
    } else if (name == QLatin1String("Stop")) {
        press(controls.stop);
    } else if (name == QLatin1String("Next")) {
        press(controls.next);
    } else if (name == QLatin1String("Previous")) {
        press(controls.previous);
    } else if (name != QLatin1String("Seek") && name != QLatin1String("SetPosition") &&
               name != QLatin1String("OpenUri")) {
        return false;
    }
    return true;
}

// An interface's properties as introspection lists them, each typed from the
// value it is read as, so that the two cannot disagree.
static QString property_lines(const QVariantMap& properties) {
    QString lines;
    for (auto it = properties.cbegin(); it != properties.cend(); ++it) {
        lines += QStringLiteral("  <property name=\"%1\" type=\"%2\" access=\"read\"/>\n")
                     .arg(it.key(),
                          QLatin1String(QDBusMetaType::typeToSignature(it.value().metaType())));
    }
    return lines;
}

static QString introspection() {
    return QStringLiteral(R"(<interface name="org.mpris.MediaPlayer2">
  <method name="Raise"/>
  <method name="Quit"/>
)") + property_lines(root_properties()) +
           QStringLiteral(R"(</interface>
<interface name="org.mpris.MediaPlayer2.Player">
  <method name="Next"/>
  <method name="Previous"/>
  <method name="Pause"/>
  <method name="PlayPause"/>
  <method name="Stop"/>
  <method name="Play"/>
  <method name="Seek"><arg name="Offset" type="x" direction="in"/></method>
  <method name="SetPosition">
    <arg name="TrackId" type="o" direction="in"/>
    <arg name="Position" type="x" direction="in"/>
  </method>
  <method name="OpenUri"><arg name="Uri" type="s" direction="in"/></method>
  <signal name="Seeked"><arg name="Position" type="x"/></signal>
)") + property_lines(player_properties()) +
           QStringLiteral("</interface>\n");
}

class MprisObject : public QDBusVirtualObject {
  public:
    using QDBusVirtualObject::QDBusVirtualObject;

    QString introspect(const QString&) const override {
        return introspection();
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        QString interface = message.interface();
        QString member = message.member();
        if (interface == QLatin1String(PROPERTIES)) {
            return answer_properties(message, connection);
        }
        if (interface == QLatin1String(MPRIS_ROOT) || interface.isEmpty()) {
            if (member == QLatin1String("Raise")) {
                if (IsWindow(player_window)) {
                    bring_window_forward(player_window);
                }
                return reply(message, connection, {});
            }
            // Nothing: CanQuit is false.
            if (member == QLatin1String("Quit")) {
                return reply(message, connection, {});
            }
        }
        if ((interface == QLatin1String(MPRIS_PLAYER) || interface.isEmpty()) &&
            run_method(member)) {
            return reply(message, connection, {});
        }
        return false;
    }

  private:
    // A caller that said it wants no reply gets none: a reply would only
    // queue up at the bus for a peer that does not read it.
    static bool reply(const QDBusMessage& message, const QDBusConnection& connection,
                      const QVariantList& arguments) {
        if (message.isReplyRequired()) {
            connection.send(message.createReply(arguments));
        }
        return true;
    }

    static bool answer_properties(const QDBusMessage& message, const QDBusConnection& connection) {
        // Reading properties nobody will be told of is work for nothing.
        if (!message.isReplyRequired()) {
            return true;
        }
        QVariantList arguments = message.arguments();
        QString interface = arguments.value(0).toString();
        QVariantMap properties;
        if (interface == QLatin1String(MPRIS_ROOT)) {
            properties = root_properties();
        } else if (interface == QLatin1String(MPRIS_PLAYER)) {
            properties = player_properties();
        } else {
            connection.send(message.createErrorReply(QDBusError::UnknownInterface, interface));
            return true;
        }
        if (message.member() == QLatin1String("GetAll")) {
            return reply(message, connection, {properties});
        }
        QString name = arguments.value(1).toString();
        if (!properties.contains(name)) {
            connection.send(message.createErrorReply(QDBusError::UnknownProperty, name));
            return true;
        }
        if (message.member() == QLatin1String("Get")) {
            return reply(message, connection,
                         {QVariant::fromValue(QDBusVariant(properties.value(name)))});
        }
        connection.send(message.createErrorReply(QDBusError::PropertyReadOnly, name));
        return true;
    }
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
    auto* object = new MprisObject(qApp);
    if (!bus.registerVirtualObject(QStringLiteral(MPRIS_PATH), object)) {
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
