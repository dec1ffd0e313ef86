// The timeline's move and trim and the inspector's edits of one item or source.
#include "organizer/model/OrganizerEdits.h"

#include "services/ExportFailure.h"

#include <QStringList>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace zanto::edits {

namespace {

bool holdsRow(const OrganizerDocument& document, int row)
{
    return row >= 0 && row < static_cast<int>(document.rows.size());
}

// The C locale, made once: strtod_l reads with it whatever setlocale says.
locale_t cLocale()
{
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

bool isBlank(QChar c)
{
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

} // namespace

bool leavesSource(const OrganizerDocument& document, const OrganizerItem& item, double start, double end,
                  const OrganizerDurationReader& duration)
{
    if (item.kind != "video") return false;
    const OrganizerSource* source = document.source(item.sourceID);
    if (!source || source->path.empty()) return false;
    const std::optional<double> seconds = duration(source->path);
    // A movie that cannot be read is not tested: its items stay editable.
    if (!seconds || !std::isfinite(*seconds)) return false;
    return start + source->offset < 0 || end + source->offset > *seconds + organizerSourceTolerance;
}

std::optional<OrganizerMove> movingItems(const OrganizerDocument& document, const std::set<std::string>& ids, int to,
                                         int at)
{
    if (ids.empty() || !holdsRow(document, to)) return std::nullopt;
    std::optional<int> from;
    std::set<int> positions;
    for (const std::string& id : ids) {
        const std::optional<OrganizerItemPlace> place = findItem(document, id);
        if (!place || (from && *from != place->row)) return std::nullopt;
        from = place->row;
        positions.insert(place->index);
    }
    const int row = *from;
    OrganizerMove move{document, 0, static_cast<int>(positions.size())};
    auto& source = move.document.rows[static_cast<size_t>(row)].items;
    std::vector<OrganizerItem> moving;
    for (int position : positions) moving.push_back(source[static_cast<size_t>(position)]);
    for (auto position = positions.rbegin(); position != positions.rend(); ++position) {
        source.erase(source.begin() + *position);
    }
    const int before = to == row ? static_cast<int>(std::count_if(positions.begin(), positions.end(),
                                                                  [at](int position) { return position < at; }))
                                 : 0;
    auto& target = move.document.rows[static_cast<size_t>(to)].items;
    move.insertion = std::clamp(at - before, 0, static_cast<int>(target.size()));
    target.insert(target.begin() + move.insertion, moving.begin(), moving.end());
    return move;
}

std::optional<OrganizerDocument> trimmingItem(const OrganizerDocument& document, const std::string& id, double start,
                                              double end, const OrganizerDurationReader& duration)
{
    const OrganizerItem* found = itemWithId(document, id);
    if (!found) return std::nullopt;
    // The cap comes before the order test, so that a start past the latest
    // end can never be stored after its end.
    const double capped = std::min(end, organizerLatestEnd);
    if (!std::isfinite(start) || !std::isfinite(end) || start < 0 || start >= capped) return std::nullopt;
    if (leavesSource(document, *found, start, end, duration)) {
        throw ExportFailure("元動画の範囲を超えるため変更できません。");
    }
    OrganizerItem trimmed = *found;
    trimmed.start = start;
    trimmed.end = capped;
    return replacingItem(document, trimmed);
}

std::optional<double> parseSeconds(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty()) return std::nullopt;
    const char first = bytes.front();
    const bool numberStart = first == '+' || first == '-' || first == '.' || (first >= '0' && first <= '9');
    // No blanks around it and no hexadecimal form, which strtod would take.
    if (!numberStart || bytes.contains('x') || bytes.contains('X')) return std::nullopt;
    char* end = nullptr;
    const double value = strtod_l(bytes.constData(), &end, cLocale());
    if (end != bytes.constData() + bytes.size() || !std::isfinite(value)) return std::nullopt;
    return value == 0 ? 0.0 : value;
}

std::vector<std::string> splitLabels(const QString& text)
{
    std::vector<std::string> labels;
    for (const QString& piece : text.split(u',')) {
        qsizetype first = 0;
        qsizetype last = piece.size();
        while (first < last && isBlank(piece[first])) ++first;
        while (last > first && isBlank(piece[last - 1])) --last;
        if (last > first) labels.push_back(piece.mid(first, last - first).toStdString());
    }
    return labels;
}

OrganizerDocument applyingFields(const OrganizerDocument& document, const std::string& id,
                                 const OrganizerItemFields& fields, const OrganizerDurationReader& duration)
{
    const OrganizerItem* found = itemWithId(document, id);
    const std::optional<double> start = parseSeconds(fields.start);
    const std::optional<double> end = parseSeconds(fields.end);
    if (!found || !start || !end || *start < 0 || *start >= *end || *end > organizerLatestEnd) {
        throw ExportFailure(organizerInvalidSecondsMessage);
    }
    if (leavesSource(document, *found, *start, *end, duration)) throw ExportFailure("映像の範囲外です。");
    OrganizerItem target = *found;
    target.name = fields.name.toStdString();
    target.note = fields.note.toStdString();
    target.labels = splitLabels(fields.labels);
    target.start = *start;
    target.end = *end;
    target.enabled = fields.enabled;
    return replacingItem(document, target);
}

OrganizerDocument choosingAngle(const OrganizerDocument& document, const std::string& id, const std::string& sourceID)
{
    const OrganizerItem* found = itemWithId(document, id);
    if (!found) return document;
    OrganizerItem target = *found;
    target.sourceID = sourceID;
    return replacingItem(document, target);
}

OrganizerDocument relinkingSource(const OrganizerDocument& document, const std::string& id, const std::string& path)
{
    OrganizerDocument result = document;
    if (OrganizerSource* source = result.source(id)) source->path = path;
    return result;
}

OrganizerDocument offsettingSource(const OrganizerDocument& document, const std::string& id, double offset)
{
    OrganizerDocument result = document;
    if (OrganizerSource* source = result.source(id)) source->offset = offset;
    return result;
}

} // namespace zanto::edits
