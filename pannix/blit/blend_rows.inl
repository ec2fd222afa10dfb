// Vector rows of the blends, written once over a lane type V (16-bit lanes) and included once per
// instruction set with PXB_TGT set to its target attribute. Every product and sum stays below
// 65536, so 16-bit lanes are exact. No load or store reaches past the row: whole blocks only,
// the reference finishes the row.

// Fields of 16-bit destination words.
template <bool D565>
struct Dst {
    using T = typename V::T;
    PXB_TGT static T b(T d) { return V::and_(d, V::set(31)); }
    PXB_TGT static T g(T d) { return V::and_(V::template srl<5>(d), V::set(D565 ? 63 : 31)); }
    PXB_TGT static T r(T d) { return D565 ? V::template srl<11>(d) : V::and_(V::template srl<10>(d), V::set(31)); }
    PXB_TGT static T pack(T b, T g, T r) {
        return V::or_(V::or_(b, V::template sll<5>(g)), V::template sll<D565 ? 11 : 10>(r));
    }
};

// (s*k + t*(255-k) + 128) >> 8
PXB_TGT inline typename V::T weighted(typename V::T s, typename V::T t, typename V::T k, typename V::T ik) {
    return V::template srl<8>(V::add(V::add(V::mul(s, k), V::mul(t, ik)), V::set(128)));
}

// Colour fields of 32-bit source pixels in two vectors of 32-bit lanes, in 16-bit lanes.
template <int Shift, int Mask>
PXB_TGT inline typename V::T field32(typename V::T lo, typename V::T hi) {
    return V::pack32(V::and32(V::template srl32<Shift>(lo), Mask), V::and32(V::template srl32<Shift>(hi), Mask));
}

template <class Op>
PXB_TGT void rows(const uint8_t* s, uint8_t* d, int w, const RowCtx& c) {
    int i = 0;
    for (; i + V::N <= w; i += V::N) V::st(d + 2 * i, Op::block(s + Op::sb * i, V::ld(d + 2 * i), c));
    Op::tail(s + Op::sb * i, d + 2 * i, w - i, c);
}

// ---- CopyRectTranspAlpha -----------------------------------------------------------------------

// RGB_555/565 over RGB_555/565 at the argument's alpha; source pixels of 0 left out.
template <bool S565, bool D565>
struct Alpha16 {
    static constexpr int sb = 2;
    static constexpr auto tail =
        pixel_row<alpha_pixel<S565 ? T_565 : T_555, D565 ? T_565 : T_555>, S565 ? T_565 : T_555, D565 ? T_565 : T_555>;
    PXB_TGT static typename V::T block(const uint8_t* s, typename V::T t, const RowCtx& c) {
        using D = Dst<D565>;
        const auto v = V::ld(s);
        const auto k = V::set(static_cast<int>(c.alpha & 0xFF)), ik = V::set(255 - static_cast<int>(c.alpha & 0xFF));
        auto g = Dst<S565>::g(v);
        if constexpr (S565 && !D565) g = V::template srl<1>(g);
        if constexpr (!S565 && D565) g = V::template sll<1>(g);
        const auto out = D::pack(weighted(Dst<S565>::b(v), D::b(t), k, ik), weighted(g, D::g(t), k, ik),
                                 weighted(Dst<S565>::r(v), D::r(t), k, ik));
        return V::sel(V::eq(v, V::set(0)), t, out);
    }
};

// RGBA_8888 at min(pixel alpha, argument), narrowed source, weighted form.
template <bool D565>
struct Alpha32 {
    static constexpr int sb = 4;
    static constexpr auto tail = pixel_row<alpha_pixel<T_A8888, D565 ? T_565 : T_555>, T_A8888, D565 ? T_565 : T_555>;
    PXB_TGT static typename V::T block(const uint8_t* s, typename V::T t, const RowCtx& c) {
        using D = Dst<D565>;
        const auto lo = V::ld(s), hi = V::ld(s + 2 * V::N);
        const auto a = V::min(field32<24, 0xFF>(lo, hi), V::set(static_cast<int>(c.alpha & 0xFF)));
        const auto ia = V::sub(V::set(255), a);
        const auto b = field32<3, 31>(lo, hi);
        const auto g = D565 ? field32<10, 63>(lo, hi) : field32<11, 31>(lo, hi);
        const auto r = field32<19, 31>(lo, hi);
        return D::pack(weighted(b, D::b(t), a, ia), weighted(g, D::g(t), a, ia), weighted(r, D::r(t), a, ia));
    }
};

// ARGB_4444 on the 0-15 scale: ((s5*a4 + t5*(15-a4)) >> 4) + 1.
template <bool D565>
struct Alpha4444 {
    static constexpr int sb = 2;
    static constexpr auto tail = pixel_row<alpha_pixel<T_4444, D565 ? T_565 : T_555>, T_4444, D565 ? T_565 : T_555>;
    PXB_TGT static typename V::T f(typename V::T s5, typename V::T t5, typename V::T a4, typename V::T ia4) {
        return V::add(V::template srl<4>(V::add(V::mul(s5, a4), V::mul(t5, ia4))), V::set(1));
    }
    PXB_TGT static typename V::T block(const uint8_t* s, typename V::T t, const RowCtx& c) {
        using D = Dst<D565>;
        const auto v = V::ld(s);
        const auto a4 = V::min(V::template srl<12>(v), V::set(static_cast<int>((c.alpha & 0xFF) >> 4)));
        const auto ia4 = V::sub(V::set(15), a4);
        const auto n = V::set(15);
        const auto sb5 = V::template sll<1>(V::and_(v, n));
        const auto sg5 = V::template sll<1>(V::and_(V::template srl<4>(v), n));
        const auto sr5 = V::template sll<1>(V::and_(V::template srl<8>(v), n));
        const auto tg5 = D565 ? V::template srl<1>(D::g(t)) : D::g(t);
        auto g = f(sg5, tg5, a4, ia4);
        if constexpr (D565) g = V::template sll<1>(g);
        return D::pack(f(sb5, D::b(t), a4, ia4), g, f(sr5, D::r(t), a4, ia4));
    }
};

// ---- CopyRectTransparent0 ----------------------------------------------------------------------

// RGBA_8888: the destination widened to bytes, ((s*A + t*(255-A)) >> 8) + 1, narrowed back.
template <bool D565>
struct Sprite32 {
    static constexpr int sb = 4;
    static constexpr auto tail =
        pixel_row<sprite_blend_pixel<T_A8888, D565 ? T_565 : T_555>, T_A8888, D565 ? T_565 : T_555>;
    PXB_TGT static typename V::T f(typename V::T s, typename V::T t8, typename V::T a, typename V::T ia) {
        return V::add(V::template srl<8>(V::add(V::mul(s, a), V::mul(t8, ia))), V::set(1));
    }
    PXB_TGT static typename V::T block(const uint8_t* s, typename V::T t, const RowCtx&) {
        using D = Dst<D565>;
        constexpr int gs = D565 ? 2 : 3;
        const auto lo = V::ld(s), hi = V::ld(s + 2 * V::N);
        const auto a = field32<24, 0xFF>(lo, hi);
        const auto ia = V::sub(V::set(255), a);
        const auto b = f(field32<0, 0xFF>(lo, hi), V::template sll<3>(D::b(t)), a, ia);
        const auto g = f(field32<8, 0xFF>(lo, hi), V::template sll<gs>(D::g(t)), a, ia);
        const auto r = f(field32<16, 0xFF>(lo, hi), V::template sll<3>(D::r(t)), a, ia);
        return D::pack(V::template srl<3>(b), V::template srl<gs>(g), V::template srl<3>(r));
    }
};

// ARGB_4444: weighted blend with weight A4*17, nibbles widened by shifts.
template <bool D565>
struct Sprite4444 {
    static constexpr int sb = 2;
    static constexpr auto tail =
        pixel_row<sprite_blend_pixel<T_4444, D565 ? T_565 : T_555>, T_4444, D565 ? T_565 : T_555>;
    PXB_TGT static typename V::T block(const uint8_t* s, typename V::T t, const RowCtx&) {
        using D = Dst<D565>;
        const auto v = V::ld(s);
        const auto k = V::mul(V::template srl<12>(v), V::set(17));
        const auto ik = V::sub(V::set(255), k);
        const auto n = V::set(15);
        const auto sb5 = V::template sll<1>(V::and_(v, n));
        const auto sg = V::template sll<D565 ? 2 : 1>(V::and_(V::template srl<4>(v), n));
        const auto sr5 = V::template sll<1>(V::and_(V::template srl<8>(v), n));
        return D::pack(weighted(sb5, D::b(t), k, ik), weighted(sg, D::g(t), k, ik), weighted(sr5, D::r(t), k, ik));
    }
};

#ifdef PXB_BYTE_SHUFFLE
// Type 10 over RGB_565 at its own alpha, capped by the argument when Capped (the alpha family).
// Its 3-byte pixels are gathered with byte shuffles, so only lane types that have them build it.
template <bool Capped>
struct A565 {
    static constexpr int sb = 3;
    static constexpr auto tail = Capped ? pixel_row<alpha_pixel<T_A565, T_565>, T_A565, T_565>
                                        : pixel_row<sprite_blend_pixel<T_A565, T_565>, T_A565, T_565>;
    PXB_TGT static typename V::T block(const uint8_t* s, typename V::T t, const RowCtx& c) {
        using D = Dst<true>;
        typename V::T w, a;
        V::load_a565(s, w, a);
        if constexpr (Capped) a = V::min(a, V::set(static_cast<int>(c.alpha & 0xFF)));
        const auto ia = V::sub(V::set(255), a);
        return D::pack(weighted(D::b(w), D::b(t), a, ia), weighted(D::g(w), D::g(t), a, ia),
                       weighted(D::r(w), D::r(t), a, ia));
    }
};
#endif
