#include "corvid/gui/boxlist.h"

#include <cstddef>

namespace corvid {

namespace {

bool containsRect(const IntRect& outer, const IntRect& inner) {
    return outer.minX <= inner.minX && outer.minY <= inner.minY && outer.maxX >= inner.maxX &&
           outer.maxY >= inner.maxY;
}

} // namespace

void addDisjointRect(std::vector<IntRect>& list, const IntRect& r) {
    if (r.isEmpty()) return;
    std::size_t i = 0;
    while (i < list.size()) {
        const IntRect e = list[i];
        if (containsRect(e, r)) return;
        const IntRect cut = e.intersect(r);
        if (cut.isEmpty()) {
            ++i;
            continue;
        }
        // e is (partly) covered by r: drop it and keep what lies outside r. The
        // pieces are disjoint from r, so meeting them again later in the scan is
        // harmless.
        list[i] = list.back();
        list.pop_back();
        if (containsRect(r, e)) continue;
        if (e.minY != cut.minY) list.push_back({e.minX, e.minY, e.maxX, cut.minY});
        if (e.minX != cut.minX) list.push_back({e.minX, cut.minY, cut.minX, cut.maxY});
        if (e.maxX != cut.maxX) list.push_back({cut.maxX, cut.minY, e.maxX, cut.maxY});
        if (e.maxY != cut.maxY) list.push_back({e.minX, cut.maxY, e.maxX, e.maxY});
    }
    list.push_back(r);
}

void makeDisjoint(std::vector<IntRect>& list, std::vector<IntRect>& scratch) {
    scratch.clear();
    for (const IntRect& r : list) addDisjointRect(scratch, r);
    list.swap(scratch);
    scratch.clear();
}

IntRect boundsOf(const std::vector<IntRect>& list) {
    IntRect bounds;
    for (const IntRect& r : list) bounds = bounds.unite(r);
    return bounds;
}

} // namespace corvid
