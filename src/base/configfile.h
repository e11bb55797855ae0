#pragma once

#include "base/config.h"
#include "base/text.h"

#include <QString>

namespace quorvel {

// The installer's configuration file, read once at start-up: what it set over the
// defaults, or why it was refused. A refusal ends the program before it connects to
// anything, so it never runs half-configured.
struct ConfigFile {
    QString path; // the file read; empty when there was none
    Config config; // the defaults with what the file set
    Text refusal; // empty when the file was accepted
};

// The file named by QUORVEL_CONFIG (which must exist), else /etc/quorvel/quorvel.conf when
// it exists; without either, the defaults exactly.
ConfigFile readConfigFile(const Config& defaults = Config{});

// The file at `path` over `defaults`. A missing file is refused only when `mustExist`.
ConfigFile readConfigFile(const QString& path, bool mustExist, const Config& defaults = Config{});

// The refusal of one setting: the file, the setting and why, in the installer's words.
Text configRefusal(const QString& path, const QString& section, const QString& key, const QString& why);

// "192.168.0.100": four decimal numbers of 0 to 255, the form the links are given.
bool isDottedIpv4(const QString& text);

} // namespace quorvel
