#include "einpassen.h"

#include <algorithm>
#include <map>
#include <utility>

namespace dravel::layout {
namespace {

// The gap a grown control keeps to a neighbour or to its container's edge,
// at most: enough for a frame's border line.
constexpr int kAbstand = 2;
// The room a caption leaves before the next control to its right, even where
// the two boxes touch.
constexpr int kLuft = 4;

int rechts(const QRect& r) {
    return r.x() + r.width();
}

bool zeilenÜberlappen(const QRect& a, const QRect& b) {
    return a.y() < b.y() + b.height() && b.y() < a.y() + a.height();
}

int tiefe(const std::vector<Platz>& plätze, int i) {
    int t = 0;
    for (int b = plätze[i].behälter; b >= 0; b = plätze[b].behälter) ++t;
    return t;
}

// Fits the controls of one container, whose own widths are already final in
// `neu`, and returns the container's width: at least `breite`, which was
// `altBreite` in the table.
int passeBehälterEin(const std::vector<Platz>& plätze, int behälter, int altBreite, int breite,
                     std::vector<QRect>& neu) {
    std::vector<int> kinder;
    for (int i = 0; i < int(plätze.size()); ++i) {
        if (plätze[i].behälter == behälter) kinder.push_back(i);
    }
    const auto spalte = [&](int i) {
        return std::pair{plätze[i].rahmen.x(), plätze[i].rahmen.width()};
    };
    // A column keeps one width.
    std::map<std::pair<int, int>, int> breiten;
    for (int i : kinder) breiten[spalte(i)] = std::max(breiten[spalte(i)], neu[i].width());
    for (int i : kinder) neu[i].setWidth(breiten[spalte(i)]);
    // From left to right: each column moves as far as a grown neighbour on
    // its left, in the same rows, pushes it.
    std::stable_sort(kinder.begin(), kinder.end(),
                     [&](int a, int b) { return plätze[a].rahmen.x() < plätze[b].rahmen.x(); });
    std::map<std::pair<int, int>, int> schub;
    for (auto anfang = kinder.begin(); anfang != kinder.end();) {
        const int x = plätze[*anfang].rahmen.x();
        const auto ende =
            std::find_if(anfang, kinder.end(), [&](int i) { return plätze[i].rahmen.x() != x; });
        for (auto b = anfang; b != ende; ++b) {
            const QRect& altB = plätze[*b].rahmen;
            for (auto a = kinder.begin(); a != anfang; ++a) {
                const QRect& altA = plätze[*a].rahmen;
                if (rechts(altA) > x + 1 || !zeilenÜberlappen(altA, altB)) continue;
                const int lücke = std::min(x - rechts(altA), kAbstand);
                const int luft = plätze[*b].nurText ? lücke : kLuft;
                const int bis =
                    std::max(rechts(neu[*a]) + lücke, neu[*a].x() + plätze[*a].bedarf + luft);
                int& s = schub[spalte(*b)];
                s = std::max(s, bis - x);
            }
        }
        for (auto b = anfang; b != ende; ++b) neu[*b].moveLeft(x + schub[spalte(*b)]);
        anfang = ende;
    }
    for (int i : kinder) {
        const int rand = std::min(altBreite - rechts(plätze[i].rahmen), kAbstand);
        breite = std::max(breite, rechts(neu[i]) + rand);
    }
    return breite;
}

}  // namespace

std::vector<QRect> passeEin(const std::vector<Platz>& plätze, int& clientBreite) {
    std::vector<QRect> neu;
    for (const Platz& p : plätze) {
        neu.push_back(p.rahmen);
        neu.back().setWidth(std::max(p.rahmen.width(), p.bedarf));
    }
    // Innermost containers first: a container's width depends on its controls.
    std::vector<int> behälter;
    for (int i = 0; i < int(plätze.size()); ++i) {
        if (std::any_of(plätze.begin(), plätze.end(),
                        [i](const Platz& p) { return p.behälter == i; })) {
            behälter.push_back(i);
        }
    }
    std::stable_sort(behälter.begin(), behälter.end(),
                     [&](int a, int b) { return tiefe(plätze, a) > tiefe(plätze, b); });
    for (int b : behälter) {
        neu[b].setWidth(passeBehälterEin(plätze, b, plätze[b].rahmen.width(), neu[b].width(), neu));
    }
    clientBreite = passeBehälterEin(plätze, -1, clientBreite, clientBreite, neu);
    return neu;
}

}  // namespace dravel::layout
