/* The symmetric double-step line walk: the line is drawn two pixels at a time from both ends towards
 * the middle, so a line and its reverse give the same pixels. Included by pmint.h. */
#ifndef BRONDEL_PMLINE_H
#define BRONDEL_PMLINE_H

template <class Plot>
void pm_line_walk(br_int_32 x1, br_int_32 y1, br_int_32 x2, br_int_32 y2, Plot plot)
{
    br_int_32 adx = x2 > x1 ? x2 - x1 : x1 - x2;
    br_int_32 ady = y2 > y1 ? y2 - y1 : y1 - y2;
    const bool xmajor = adx >= ady;

    // Work in (major, minor) coordinates, starting at the smaller major coordinate.
    br_int_32 a1 = xmajor ? x1 : y1, b1 = xmajor ? y1 : x1;
    br_int_32 a2 = xmajor ? x2 : y2, b2 = xmajor ? y2 : x2;
    if (a1 > a2) {
        br_int_32 t = a1; a1 = a2; a2 = t;
        t = b1; b1 = b2; b2 = t;
    }
    auto put = [&](br_int_32 a, br_int_32 b) {
        if (xmajor)
            plot(a, b);
        else
            plot(b, a);
    };

    const br_int_32 M = a2 - a1;
    const br_int_32 m = b2 > b1 ? b2 - b1 : b1 - b2;
    const br_int_32 s = b2 >= b1 ? 1 : -1;

    put(a1, b1);
    if (M == 0)
        return;
    put(a2, b2);

    // Minor offsets of the two pixels of a pair for patterns 1 (flat), 2 (second steps),
    // 3 (first steps), 4 (both step).
    auto first = [&](int p) { return (p >= 3) ? s : 0; };
    auto second = [&](int p) { return p == 1 ? 0 : (p == 4 ? 2 * s : s); };

    const bool gentle = 2 * m < M;
    br_int_32 D = gentle ? 4 * m - M : 4 * m - 3 * M;
    auto pattern = [&]() {
        if (gentle)
            return D < 0 ? 1 : (D < 2 * m ? 2 : 3);
        return D > 0 ? 4 : (D < 2 * m - 2 * M ? 2 : 3);
    };
    auto advance = [&](int p) {
        if (p == 1)
            D += 4 * m;
        else if (p == 4)
            D += 4 * m - 4 * M;
        else
            D += 4 * m - 2 * M;
    };

    br_int_32 a = a1, b = b1, ae = a2, be = b2;
    for (br_int_32 i = (M - 1) / 4; i > 0; i--) {
        int p = pattern();
        put(a + 1, b + first(p));
        put(a + 2, b + second(p));
        put(ae - 1, be - first(p));
        put(ae - 2, be - second(p));
        a += 2;
        ae -= 2;
        b += second(p);
        be -= second(p);
        advance(p);
    }

    br_int_32 left = (M - 1) % 4;
    if (left > 0) {
        int p = pattern();
        put(a + 1, b + first(p));
        if (left > 1)
            put(a + 2, b + second(p));
        if (left > 2)
            put(ae - 1, be - first(p));
    }
}

#endif
