#include "overlay/fonts.h"

#include "overlay/layout.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHash>

#include <memory>

namespace quorvel::overlay {
namespace {

const QString kLabelStandIn = QStringLiteral("League Spartan");
const QString kWindowStandIn = QStringLiteral("DejaVu Sans");

void installSubstitutions()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QFont::insertSubstitution(QLatin1String(kLabelFace), kLabelStandIn);
    QFont::insertSubstitution(QLatin1String(kWindowFace), kWindowStandIn);
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), kWindowStandIn);
}

QFont makeFont(const FontSpec& spec)
{
    installSubstitutions();
    const QString face = QLatin1String(spec.face);
    QFont font(face);
    font.setPixelSize(spec.pixelSize);
    font.setWeight(spec.bold ? QFont::Bold : QFont::Normal);
    font.setStyleStrategy(QFont::PreferAntialias);
    if (!QFontDatabase::hasFamily(face)) {
        const bool label = face == QLatin1String(kLabelFace);
        font.setFamily(label ? kLabelStandIn : kWindowStandIn);
        // the face asked for is a medium weight, so the stand-in is too
        if (label && !spec.bold)
            font.setWeight(QFont::Medium);
    }
    return font;
}

bool isLabelStandIn(const FontSpec& spec)
{
    return QLatin1String(spec.face) == QLatin1String(kLabelFace) &&
        !QFontDatabase::hasFamily(QLatin1String(kLabelFace));
}

// The laid-out face's vertical measures, as the layout's label heights give them: a line of
// 6/5 of the character height rounded up (15 px for 12, 16 for 13, 18 for 15) and a baseline
// 24/25 of it below the line's top. The stand-in keeps its widths but takes these, so that
// auto-size labels are laid-out high, texts sit where the layout puts them in their cells and
// the capitals' accents, which reach 0.9 of the character height, stay inside their labels.
int laidOutLineHeight(int pixelSize)
{
    return (6 * pixelSize + 4) / 5;
}
int laidOutAscent(int pixelSize)
{
    return (24 * pixelSize + 12) / 25;
}

} // namespace

const ResolvedFont& resolvedFont(const FontSpec& spec)
{
    // never freed: fonts must not outlive the application object at exit
    static auto& cache = *new QHash<QByteArray, std::shared_ptr<ResolvedFont>>;
    QByteArray key(spec.face);
    key += '/';
    key += QByteArray::number(spec.pixelSize);
    key += spec.bold ? "b" : "r";
    auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return **found;

    const QFont font = makeFont(spec);
    const QFontMetrics whole(font);
    const bool standIn = isLabelStandIn(spec);
    auto resolved = std::make_shared<ResolvedFont>(
        ResolvedFont{font, QFontMetricsF(font), standIn ? laidOutAscent(spec.pixelSize) : whole.ascent(),
                     standIn ? laidOutLineHeight(spec.pixelSize) : whole.height(), 8.0 * whole.averageCharWidth()});
    cache.insert(key, resolved);
    return *resolved;
}

const ResolvedFont& windowFont()
{
    return resolvedFont({kWindowFace, kWindowFontPixels, false, kWindowText});
}

} // namespace quorvel::overlay
