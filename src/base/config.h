#pragma once

#include "base/text.h"

#include <QString>
#include <QtGlobal>

#include <optional>

namespace quorvel {

// Every fixed setting of the program lives here. The program has no command line; the
// installer's optional configuration file (configfile.h) may change the few settings that
// go beyond the original, and without it every value is the constant below. In-process
// tests build the application with another Config (loopback ports, shorter intervals).

inline constexpr char kAppTitle[] = "VYD - Quorvel V3";

// The timing server.
inline constexpr char kInitialTcpHost[] = "127.0.0.1";
inline constexpr quint16 kTcpPort = 3335;
inline constexpr char kAnnounceText[] = "Quorvel:Conectado";
inline constexpr char kFarewellText[] = "VurazeZO:Desconectou";
// A dead server is noticed within about idle + probes x interval seconds.
inline constexpr int kKeepAliveIdleS = 10;
inline constexpr int kKeepAliveIntervalS = 5;
inline constexpr int kKeepAliveProbes = 3;
// A connect attempt that has neither completed nor failed by then is given up as timed out:
// a host that swallows packets would otherwise hold the link "connecting" for the kernel's
// two minutes, with no retry. Leaves room for two retransmitted SYNs (at 1 and 3 s).
inline constexpr int kTcpConnectTimeoutMs = 5000;

// Discovery.
inline constexpr char kFixedServerAddress[] = "192.168.0.100";
inline constexpr char kBroadcastAddress[] = "255.255.255.255";
inline constexpr quint16 kDiscoveryPort = 3334;
inline constexpr char kDiscoveryRequest[] = "PING";
inline constexpr int kDiscoveryWaitMs = 5000;
inline constexpr int kDiscoveryBufferBytes = 8192;
// A sender that never stops answering must not hold the program for ever.
inline constexpr int kDiscoveryBoundMs = 15000;

// The race database.
inline constexpr char kDbName[] = "vyd";
inline constexpr char kDbUser[] = "vyd";
inline constexpr char kDbPassword[] = "pqtrWMK#47d";
inline constexpr unsigned kDbPort = 3306;
// Every database call blocks the window, so each wait on the server is bounded, in
// seconds. The read and write time-outs bound a silence of the server, not a whole
// statement: rows that keep coming never time out. The slowest statement of the board, the
// standings of a category over a season of 100,000 results, takes milliseconds; a server
// stopped, cut off or stuck behind a lock frees the window within 8 s. The connect time-out
// also bounds the wait for the server's greeting.
inline constexpr unsigned kDbConnectTimeoutS = 5;
inline constexpr unsigned kDbReadTimeoutS = 8;
inline constexpr unsigned kDbWriteTimeoutS = 8;

// Timers, in milliseconds.
inline constexpr int kRetryIntervalMs = 3000; // TimerErro
inline constexpr int kIdleIntervalMs = 60000; // tmrIntervalo
inline constexpr int kPageFirstIntervalMs = 100; // tmrResult, first and empty pages
inline constexpr int kPageIntervalMs = 5000; // tmrResult, a page with results
inline constexpr int kClockIntervalMs = 1000; // tmrHora
// The timers wait for the window's first paint; a window that is shown but never painted
// (a late window manager, a minimised start) releases them after this.
inline constexpr int kFirstPaintFallbackMs = 1000;
// While lines pour into a memo it repaints at most this often: each repaint lays out every
// line it shows, and a flood of messages would otherwise spend its time on a log that no
// eye can read at that pace. The strip's own elements repaint at once.
inline constexpr int kMemoRepaintMs = 20;
// Pictures scaled and keyed for drawing are kept up to this much (in KB): the lamps and
// the strip's background stay, photos of runs long gone give way.
inline constexpr int kPreparedPicturesKB = 32 * 1024;

// The single-instance locks: one folder every account of the computer can use, so that
// a copy started by any account sees the others. Tests name a folder of their own in the
// environment variable.
inline constexpr char kLockFolder[] = "/run/lock";
inline constexpr char kLockFolderFallback[] = "/tmp";
inline constexpr char kLockFolderVariable[] = "QUORVEL_LOCK_DIR";

// The photo folder beside the executable.
inline constexpr char kPhotoFolderName[] = "fotopilotos";

// The window.
inline constexpr int kClientWidth = 1629;
inline constexpr int kClientHeight = 551;
inline constexpr int kStripHeight = 104;

// The installer's configuration file, and the variable that names another one (tests,
// rehearsals).
inline constexpr char kConfigFilePath[] = "/etc/quorvel/quorvel.conf";
inline constexpr char kConfigFileVariable[] = "QUORVEL_CONFIG";

// The race day's journal: at most this many MiB of day files in its folder.
inline constexpr int kJournalMaxMegabytes = 1024;

// The program output: the mixer's key colour (ARGB), the window's own magenta.
inline constexpr quint32 kKeyColour = 0xffff00ff;

// A clean picture for the vision mixer on a screen of its own.
struct ProgramOutputConfig {
    QString screen; // empty: no program output; digits: an index, else a screen's name
    std::optional<int> left; // the picture's top-left corner on that screen; none: as the
    std::optional<int> top; // operator's client area is on its own screen
    quint32 keyColour = kKeyColour;
};

struct Config {
    // timing server
    Text tcpHost = kInitialTcpHost;
    quint16 tcpPort = kTcpPort;
    // discovery
    Text fixedServerAddress = kFixedServerAddress;
    Text broadcastAddress = kBroadcastAddress;
    quint16 discoveryPort = kDiscoveryPort;
    int discoveryWaitMs = kDiscoveryWaitMs;
    int discoveryBoundMs = kDiscoveryBoundMs;
    // database
    Text dbHost; // empty: the local server
    unsigned dbPort = kDbPort;
    unsigned dbConnectTimeoutS = kDbConnectTimeoutS;
    unsigned dbReadTimeoutS = kDbReadTimeoutS;
    unsigned dbWriteTimeoutS = kDbWriteTimeoutS;
    Text dbName = kDbName;
    Text dbUser = kDbUser;
    Text dbPassword = kDbPassword;
    // timers
    int retryIntervalMs = kRetryIntervalMs;
    int idleIntervalMs = kIdleIntervalMs;
    int pageFirstIntervalMs = kPageFirstIntervalMs;
    int pageIntervalMs = kPageIntervalMs;
    int clockIntervalMs = kClockIntervalMs;
    int firstPaintFallbackMs = kFirstPaintFallbackMs;
    // photos: empty means "fotopilotos" beside the executable
    Text photoFolder;
    // the program output
    ProgramOutputConfig programOutput;
    // the read-only feed ([Feed] Listen and Token): empty Listen means no feed
    Text feedListen;
    Text feedToken;
    // the race day's journal ([Journal] Folder and MaxMegabytes): empty Folder means none
    QString journalFolder;
    int journalMaxMegabytes = kJournalMaxMegabytes;
};

} // namespace quorvel
