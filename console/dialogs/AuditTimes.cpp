#include "console/dialogs/AuditTimes.h"

#include <QDateTime>
#include <QRegularExpression>

namespace warden::console {

namespace {

QString Q(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

constexpr char kUtcFormat[] = "yyyy-MM-dd'T'HH:mm:ss.zzz'Z'";

}  // namespace

std::optional<std::string> LocalBoundToUtc(std::string_view text, bool upper,
                                           const QTimeZone& zone) {
    static const QRegularExpression kBound(
        R"(^(\d{4})-(\d{2})-(\d{2})(?:[ T](\d{2})(?::(\d{2})(?::(\d{2}))?)?)?$)");
    const QRegularExpressionMatch m = kBound.match(Q(text).trimmed());
    if (!m.hasMatch()) return std::nullopt;
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (!date.isValid()) return std::nullopt;
    // The parts given; the first one left out decides how long the period is.
    int parts[3] = {0, 0, 0};
    int given = 0;
    for (int i = 0; i < 3 && m.hasCaptured(4 + i); ++i, ++given) parts[i] = m.captured(4 + i).toInt();
    const QTime time(parts[0], parts[1], parts[2]);
    if (!time.isValid()) return std::nullopt;
    QDateTime when(date, time, zone);
    if (upper) {
        switch (given) {
            case 0:
                when = when.addDays(1);
                break;
            case 1:
                when = when.addSecs(3600);
                break;
            case 2:
                when = when.addSecs(60);
                break;
            default:
                when = when.addSecs(1);
        }
        when = when.addMSecs(-1);
    }
    return when.toUTC().toString(kUtcFormat).toStdString();
}

std::string LocalTimeText(const std::string& utc, const QTimeZone& zone) {
    QDateTime when = QDateTime::fromString(Q(utc), kUtcFormat);
    if (!when.isValid()) return utc;
    when.setTimeZone(QTimeZone::utc());
    return when.toTimeZone(zone).toString("yyyy-MM-dd HH:mm:ss").toStdString();
}

std::string ZoneOffsetLabel(const QTimeZone& zone) {
    return zone.displayName(QDateTime::currentDateTimeUtc(), QTimeZone::OffsetName).toStdString();
}

std::string ZoneLabel(const QTimeZone& zone) {
    const std::string offset = ZoneOffsetLabel(zone);
    const std::string id = zone.id().toStdString();
    if (id.rfind("UTC", 0) == 0) return offset;
    return id + " (" + offset + ")";
}

}  // namespace warden::console
