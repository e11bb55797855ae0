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
    auto resolved = std::make_shared<ResolvedFont>(ResolvedFont{font, QFontMetricsF(font), whole.ascent(),
                                                                whole.height(), 8.0 * whole.averageCharWidth()});
    cache.insert(key, resolved);
    return *resolved;
}

const ResolvedFont& windowFont()
{
    return resolvedFont({kWindowFace, kWindowFontPixels, false, kWindowText});
}

} // namespace quorvel::overlay
