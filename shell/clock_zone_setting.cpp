#include "shell/clock_zone_setting.h"

#include <QDir>
#include <QFile>
#include <optional>

#include "language/language_store.h"

namespace {

constexpr const char* kFileName = "clockzone.ini";

std::optional<ClockZone>& Chosen() {
    static std::optional<ClockZone> chosen;
    return chosen;
}

// Where the language choice is kept; the shipped folder when the user has none.
std::string SettingFolder() {
    const std::string user = UserConfigFolder();
    return user.empty() ? std::string("langconfig/") : user;
}

}  // namespace

ClockZone ReadClockZoneSetting(const std::string& folder) {
    QFile file(QString::fromStdString(folder + kFileName));
    if (!file.open(QIODevice::ReadOnly)) return ClockZone::Local;
    return file.read(16).trimmed() == "utc" ? ClockZone::Utc : ClockZone::Local;
}

bool WriteClockZoneSetting(const std::string& folder, ClockZone zone) {
    if (!QDir().mkpath(QString::fromStdString(folder))) return false;
    QFile file(QString::fromStdString(folder + kFileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray text = zone == ClockZone::Utc ? "utc\n" : "local\n";
    return file.write(text) == text.size();
}

ClockZone ShownClockZone() {
    if (!Chosen()) Chosen() = ReadClockZoneSetting(SettingFolder());
    return *Chosen();
}

bool SetShownClockZone(ClockZone zone) {
    Chosen() = zone;
    return WriteClockZoneSetting(SettingFolder(), zone);
}

QString ShownClockText(const RecordedClock& clock, int64_t positionMs) {
    const ClockZone zone = ShownClockZone();
    const QString text = QString::fromStdString(FormatClockAt(clock, positionMs, zone));
    if (text.isEmpty() || zone != ClockZone::Utc || clock.kind != ClockKind::DateTime) return text;
    return text + QStringLiteral(" UTC");
}
