#include "WindowLayout.h"

#include <cmath>

namespace brenvoll::WindowLayout {

namespace {
// A size a control accepts: finite and not negative.
bool acceptableSize(double value)
{
    return std::isfinite(value) && value >= 0;
}

// A position a control accepts: any finite value (a page may sit left of or
// above the viewport's inside corner).
bool acceptablePosition(double value)
{
    return std::isfinite(value);
}

void setSize(double& target, double value)
{
    if (acceptableSize(value)) {
        target = value;
    }
}

void setPosition(double& target, double value)
{
    if (acceptablePosition(value)) {
        target = value;
    }
}
} // namespace

WindowGeometry arrange(double outerWidth, double outerHeight, const WindowGeometry& current)
{
    WindowGeometry g = current;
    setSize(g.toolbarWidth, outerWidth - 210);
    setSize(g.viewportWidth, outerWidth - 2675);
    setSize(g.viewportHeight, outerHeight - 1665);
    setSize(g.listHeight, outerHeight - 7770);
    // The list's bottom edge stays 900 twips above the window's outer bottom.
    setPosition(g.listTop, outerHeight - g.listHeight - 900);
    setSize(g.barHeight, g.viewportHeight / kScrollTwipsPerMm - 1);
    // The bar stands at the viewport's right inside edge.
    setPosition(g.barLeft, g.viewportWidth / kTwipsPerMm - kBarWidthMm - 1);
    // The page is centred in the space left of the bar; in a viewport narrower
    // than page and bar both of its sides are cut off alike.
    setPosition(g.pageLeft, (g.viewportWidth / kTwipsPerMm - kBarWidthMm - kPageWidthMm - 1) / 2);
    // The comparison is made in single precision, so that a viewport of exactly
    // the page's height counts as not taller.
    const double viewportMm = g.viewportHeight / kTwipsPerMm;
    if (static_cast<float>(viewportMm) > static_cast<float>(kPageHeightMm)) {
        g.pageTop = (viewportMm - kPageHeightMm) / 2;
        g.barEnabled = false;
    } else {
        g.pageTop = 0;
        g.barEnabled = true;
    }
    return g;
}

std::optional<double> scrolledPageTop(double viewportHeight, int value, int maximum)
{
    if (maximum == 0) {
        return std::nullopt;
    }
    const double top = -(kPageHeightMm - viewportHeight / kScrollTwipsPerMm) * value / maximum;
    if (!std::isfinite(top)) {
        return std::nullopt;
    }
    return top;
}

} // namespace brenvoll::WindowLayout
