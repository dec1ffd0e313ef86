#include "services/MediaExporter.h"

#include <system_error>

#include <QList>
#include <QString>
#include <QStringView>
#include <QTextBoundaryFinder>

namespace zanto {

void MediaExporter::cancel()
{
    std::lock_guard guard(lock_);
    cancelled_ = true;
}

bool MediaExporter::isCancelled() const
{
    std::lock_guard guard(lock_);
    return cancelled_;
}

namespace {

// Names are compared as texts, not as bytes: a name typed or stored in
// composed form ("ガ") equals the same name decomposed ("カ" + U+3099), as
// file systems and other systems' pages are free to give either.
bool sameName(const std::string& fileName, const std::string& sourceName)
{
    if (fileName == sourceName) return true;
    const auto composed = [](const std::string& text) {
        return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
            .normalized(QString::NormalizationForm_C);
    };
    return composed(fileName) == composed(sourceName);
}

} // namespace

bool MediaExporter::matches(const std::filesystem::path& file, const ExportRequest::Source& source)
{
    if (!sameName(file.filename().string(), source.name)) return false;
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (error || size > static_cast<std::uintmax_t>(INT64_MAX)) return false;
    return static_cast<std::int64_t>(size) == source.size;
}

namespace {

bool isUnsafe(char32_t character)
{
    switch (character) {
    case U'/':
    case U'\\':
    case U':':
    case U'*':
    case U'?':
    case U'"':
    case U'<':
    case U'>':
    case U'|':
        return true;
    default:
        return QChar::category(character) == QChar::Other_Control;
    }
}

// Every unsafe character (a whole code point, never a byte) becomes "_".
QString replaceUnsafe(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (char32_t character : QStringView(text).toUcs4())
        if (isUnsafe(character))
            result += QLatin1Char('_');
        else
            result += QString::fromUcs4(&character, 1);
    return result;
}

// The first `limit` user-perceived characters, so that neither a surrogate
// pair nor a base letter with its combining marks is ever split.
QString firstCharacters(const QString& text, int limit)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    qsizetype end = 0;
    while (count < limit) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0) break;
        end = next;
        ++count;
    }
    return text.left(end);
}

bool isBlank(const QString& text)
{
    for (char32_t character : QStringView(text).toUcs4())
        if (!QChar::isSpace(character)) return false;
    return true;
}

} // namespace

std::string safeFilename(std::string_view text)
{
    // Invalid UTF-8 bytes are read as U+FFFD, which is a safe character.
    const QString decoded = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QString cut = firstCharacters(replaceUnsafe(decoded), 70);
    if (isBlank(cut)) return "clip";
    return cut.toStdString();
}

std::string xmlTime(std::int64_t value, std::int32_t timeScale)
{
    return std::to_string(value) + "/" + std::to_string(timeScale) + "s";
}

} // namespace zanto
