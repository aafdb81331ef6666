#include "listing_font.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QStringList>

// Outside any namespace, as the resource initialiser must be.
static void InitListingFontResource() { Q_INIT_RESOURCE(listing_font); }

namespace {

constexpr double LISTING_POINT_SIZE = 8.5;
const char* const FONT_RESOURCE = ":/fonts/LiberationMono-Regular.ttf";
// Only if the bundled face could not be added: what the system matches to
// this name is the next best thing.
const char* const FALLBACK_FAMILY = "Courier New";

QString ResourcePath() { return QString::fromLatin1(FONT_RESOURCE); }

// Empty when the face could not be added.
QString RegisteredFamily()
{
    static const QString family = [] {
        InitListingFontResource();
        const QStringList families =
            QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(ResourcePath()));
        return families.isEmpty() ? QString() : families.first();
    }();
    return family;
}

// Font databases do not always flag a monospaced face as such; the widths of
// two unlike letters tell.
bool IsMonospaced(const QFont& font)
{
    const QFontMetricsF metrics(font);
    return metrics.horizontalAdvance(QLatin1Char('i')) == metrics.horizontalAdvance(QLatin1Char('W'));
}

} // namespace

bool CListingFont::Register() { return !RegisteredFamily().isEmpty(); }

QFont CListingFont::Font()
{
    const QString family = RegisteredFamily();
    QFont font(family.isEmpty() ? QString::fromLatin1(FALLBACK_FAMILY) : family);
    font.setPointSizeF(LISTING_POINT_SIZE);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (!IsMonospaced(font)) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(LISTING_POINT_SIZE);
    }
    font.setKerning(false);
    return font;
}

QByteArray CListingFont::FontData()
{
    InitListingFontResource();
    QFile file(ResourcePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
