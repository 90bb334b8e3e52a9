#include "settings/windowplace.h"

#include <algorithm>
#include <cstdint>

namespace {

// Everything in 64 bits: stored values reach the limits of int.
struct Box {
    int64_t left, top, width, height;
    int64_t right() const { return left + width; }
    int64_t bottom() const { return top + height; }
};

Box BoxOf(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

int64_t Overlap(int64_t a0, int64_t a1, int64_t b0, int64_t b1) { return std::max<int64_t>(0, std::min(a1, b1) - std::max(a0, b0)); }

int64_t Distance(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo - v : v > hi ? v - hi : 0; }

} // namespace

QRect PlaceOnScreens(int left, int top, int width, int height, const QList<QRect>& screens)
{
    // No screen at all is not a state a window can be shown in; a common one stands in.
    if (screens.isEmpty()) return PlaceOnScreens(left, top, width, height, {QRect(0, 0, 1024, 768)});
    const Box w{left, top, std::max(width, 0), std::max(height, 0)};
    const Box bar{w.left, w.top, std::max<int64_t>(w.width, 1), kTitleBarAllowance};

    // The screen that holds most of the title bar; with none, the nearest one.
    qsizetype best = 0;
    int64_t bestArea = -1, bestDistance = INT64_MAX;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const Box s = BoxOf(screens[i]);
        const int64_t area =
            Overlap(bar.left, bar.right(), s.left, s.right()) * Overlap(bar.top, bar.bottom(), s.top, s.bottom());
        const int64_t distance = Distance(bar.left, s.left, s.right()) + Distance(bar.top, s.top, s.bottom());
        if (area > bestArea || (area == 0 && bestArea == 0 && distance < bestDistance)) {
            best = i;
            bestArea = area;
            bestDistance = distance;
        }
    }
    const Box s = BoxOf(screens[best]);

    Box placed = w;
    placed.width = std::min(w.width, s.width);
    placed.height = std::min(w.height, std::max<int64_t>(s.height - kTitleBarAllowance, 1));
    // Nothing past an edge: a window half off the screen has controls out of reach.
    placed.left = std::clamp(w.left, s.left, s.right() - placed.width);
    placed.top = std::clamp(w.top, s.top, std::max(s.top, s.bottom() - kTitleBarAllowance - placed.height));
    return QRect(int(placed.left), int(placed.top), int(placed.width), int(placed.height));
}
