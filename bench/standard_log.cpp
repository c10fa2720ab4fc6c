#include "generators.h"

#include <cstdio>

namespace loggen {

namespace {

constexpr const char* kStations[] = {"WQVX", "WQVX", "WQVX", "KQVX", "PQVX"};

} // namespace

void StandardLog::event() {
    const int pick = rng().range(0, 999);
    if (pick < 12)
        fade(rng().pick(kStations));
    else if (pick < 20)
        mix(rng().pick(kStations));
    else if (pick < 21)
        brokenFade();
    else
        lines_.noiseBurst(rng().range(1, 6));
}

void StandardLog::fade(const char* proc) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "fade %d", rng().range(1, 30));
    lines_.line(proc, "DOFADE:START", tail);
    lines_.noiseBurst(rng().range(0, 4));
    lines_.line(proc, "XFER XITION", "to pgm");
    lines_.router("dst 0130");
    if (rng().chance(30)) // a salvo: more router lines than one group can hold
        for (int i = 0; i < 30; ++i)
            lines_.router("dst 0130");
    lines_.line(proc, "goto REV-BUS", "");
    lines_.noiseBurst(rng().range(0, 3));
    lines_.line(proc, "goto REV-BLK", "");
    std::snprintf(tail, sizeof tail, "rtr %d", rng().range(1, 9));
    lines_.line(proc, "DBGRTRTIME", tail);
    lines_.noiseBurst(rng().range(0, 4));
    lines_.line(proc, "DOFADE:DONE", "");
}

void StandardLog::mix(const char* proc) {
    lines_.line(proc, "XFER XITION", "mix");
    lines_.line(proc, "DOMIX:swrtr goto rev-bus", "");
    lines_.router("dst 0130");
    lines_.noiseBurst(rng().range(0, 4));
    char tail[32];
    std::snprintf(tail, sizeof tail, "rtr %d", rng().range(1, 9));
    lines_.line(proc, "DBGRTRTIME", tail);
    lines_.line(proc, "DOMIX:swrtr trans done", "");
}

void StandardLog::brokenFade() {
    lines_.line("WQVX", "DOFADE:START", "aborted");
    lines_.noiseBurst(rng().range(0, 3));
    lines_.line("WQVX", "XFER XITION", "to pgm");
}

} // namespace loggen
