// The automatic smoother's row loops, included once per processor path into
// an unnamed namespace of a file built with that path's flags (see
// AutoRows.h). Nothing here may have linkage of its own: a function built
// for AVX2 must not stand in for the same function of another file.
// So no standard library either, only plain expressions.

#define AUTOROWS_KERNELS                                                                                               \
    {&differences,    &addRows, &addNeighbours, &frameCounts,  &blend,       &relight,                            \
     &relightHistory, &verticalTaps, &horizontalTaps, &leastCount, &planes, &spatialSums, &spatialBlend}

void differences(const std::uint8_t* frame, const std::uint16_t* history, const std::uint8_t* age, int w,
                 std::int32_t* y, std::int32_t* c1, std::int32_t* c2, std::int32_t* e)
{
    for (int x = 0; x < w; ++x) {
        const int keep = age[x] != 0 ? -1 : 0;
        const int db = ((frame[3 * x] << 8) - history[3 * x]) & keep;
        const int dg = ((frame[3 * x + 1] << 8) - history[3 * x + 1]) & keep;
        const int dr = ((frame[3 * x + 2] << 8) - history[3 * x + 2]) & keep;
        y[x] = db + dg + dr;
        // |B + G + R| < 3 * 65280: shifted down by 6, its square and the sum
        // of nine of them stay within 31 bits.
        const int ys = (db + dg + dr) >> 6;
        e[x] = ys * ys;
        c1[x] = dr - dg;
        c2[x] = 2 * db - dr - dg;
    }
}

void addRows(const std::int32_t* a, const std::int32_t* b, const std::int32_t* c, int n, std::int32_t* out)
{
    for (int i = 0; i < n; ++i)
        out[i] = a[i] + b[i] + c[i];
}

void addNeighbours(const std::int32_t* in, int n, std::int32_t* out)
{
    if (n == 1) {
        out[0] = 3 * in[0];
        return;
    }
    out[0] = 2 * in[0] + in[1];
    for (int i = 1; i + 1 < n; ++i)
        out[i] = in[i - 1] + in[i] + in[i + 1];
    out[n - 1] = in[n - 2] + 2 * in[n - 1];
}

void frameCounts(const std::int32_t* y, const std::int32_t* c1, const std::int32_t* c2, const std::int32_t* e,
                 const std::uint8_t* age, int w, const WeightRule& rule, std::uint8_t* count, std::int32_t* share)
{
    const float kY = rule.kY, kR = rule.kR, kB = rule.kB, zHigh = rule.zHigh, perSpan = 1.0f / rule.zSpan;
    const float kE = rule.kE, eFloor = rule.eFloor, eWeight = rule.eWeight;
    const int cap = rule.cap;
    for (int x = 0; x < w; ++x) {
        const int a = age[x];
        const float bY = static_cast<float>(y[x]), b1 = static_cast<float>(c1[x]), b2 = static_cast<float>(c2[x]);
        // Against a history of A frames the difference spreads by
        // (1 + 1/A) / 2 of two frames'.
        const float spread = 2.0f * static_cast<float>(a) / static_cast<float>(a + 1);
        float excess = static_cast<float>(e[x]) * kE * spread - eFloor;
        excess = excess > 0.0f ? excess : 0.0f;
        const float z = (bY * bY * kY + b1 * b1 * kR + b2 * b2 * kB) * spread + excess * eWeight;
        float t = (zHigh - z) * perSpan;
        t = t < 0.0f ? 0.0f : t;
        t = t > 1.0f ? 1.0f : t;
        const int kept = static_cast<int>(t * t * (3.0f - 2.0f * t) * 256.0f + 0.5f);
        int n = ((kept * a + 128) >> 8) + 1;
        n = n < cap ? n : cap;
        count[x] = static_cast<std::uint8_t>(n);
        // Exact: 32768 / n lies at least 1/n from the next whole number,
        // far more than a float's rounding there.
        const int r = static_cast<int>(32768.0f / static_cast<float>(n));
        share[3 * x] = r;
        share[3 * x + 1] = r;
        share[3 * x + 2] = r;
    }
}

void blend(const std::uint8_t* frame, const std::uint16_t* history, const std::int32_t* share, int len,
           std::uint16_t* next, std::uint8_t* out)
{
    // With a share of the whole (one frame, or none of the history) the
    // frame is taken exactly, whatever the history holds.
    for (int i = 0; i < len; ++i) {
        const int h = history[i];
        const int v = h + ((((frame[i] << 8) - h) * share[i] + 16384) >> 15);
        next[i] = static_cast<std::uint16_t>(v);
        out[i] = static_cast<std::uint8_t>((v + 128) >> 8);
    }
}

template <typename T>
void relightFrom(const T* in, const std::int32_t* gain, const std::int32_t* offset, int len, std::uint16_t* out)
{
    for (int i = 0; i < len; ++i) {
        int v = ((in[i] * gain[i] + 2048) >> 12) + offset[i];
        v = v < 0 ? 0 : v;
        v = v > 65280 ? 65280 : v;
        out[i] = static_cast<std::uint16_t>(v);
    }
}

void relight(const std::int32_t* in, const std::int32_t* gain, const std::int32_t* offset, int len,
             std::uint16_t* out)
{
    relightFrom(in, gain, offset, len, out);
}

void relightHistory(const std::uint16_t* in, const std::int32_t* gain, const std::int32_t* offset, int len,
                    std::uint16_t* out)
{
    relightFrom(in, gain, offset, len, out);
}

void verticalTaps(const std::uint16_t* r0, const std::uint16_t* r1, const std::uint16_t* r2, const std::uint16_t* r3,
                  const int* taps, int len, std::int32_t* out)
{
    const int t0 = taps[0], t1 = taps[1], t2 = taps[2], t3 = taps[3];
    for (int i = 0; i < len; ++i)
        out[i] = t0 * r0[i] + t1 * r1[i] + t2 * r2[i] + t3 * r3[i];
}

void horizontalTaps(const std::int32_t* in, const int* taps, int len, std::int32_t* out)
{
    const int t0 = taps[0], t1 = taps[1], t2 = taps[2], t3 = taps[3];
    for (int i = 0; i < len; ++i)
        out[i] = (t0 * in[i - 3] + t1 * in[i] + t2 * in[i + 3] + t3 * in[i + 6] + 8192) >> 14;
}

int leastCount(const std::uint8_t* count, int n)
{
    int least = 255;
    for (int i = 0; i < n; ++i)
        least = count[i] < least ? count[i] : least;
    return least;
}

void planes(const std::uint8_t* row, int w, std::int32_t* b, std::int32_t* g, std::int32_t* r)
{
    for (int x = 0; x < w; ++x) {
        b[x] = row[3 * x];
        g[x] = row[3 * x + 1];
        r[x] = row[3 * x + 2];
    }
}

// One place of the window for pixels x0..x1-1: q the neighbour's planes, p
// the middle pixel's.
void addPlace(const std::int32_t* qb, const std::int32_t* qg, const std::int32_t* qr, const std::int32_t* pb,
              const std::int32_t* pg, const std::int32_t* pr, int x0, int x1, float spread, int place,
              std::int32_t* __restrict sb, std::int32_t* __restrict sg, std::int32_t* __restrict sr,
              std::int32_t* __restrict sw)
{
    for (int x = x0; x < x1; ++x) {
        const int db = qb[x] - pb[x], dg = qg[x] - pg[x], dr = qr[x] - pr[x];
        const int d = (db < 0 ? -db : db) + 2 * (dg < 0 ? -dg : dg) + (dr < 0 ? -dr : dr);
        // exp(-u) as (1 - u / 16)^16, close enough and gone by u = 16.
        float v = 1.0f - static_cast<float>(d * d) * spread;
        v = v > 0.0f ? v : 0.0f;
        v = v * v;
        v = v * v;
        v = v * v;
        v = v * v;
        const int wq = (place * static_cast<int>(v * 256.0f + 0.5f)) >> 8;
        sb[x] += wq * qb[x];
        sg[x] += wq * qg[x];
        sr[x] += wq * qr[x];
        sw[x] += wq;
    }
}

void spatialSums(const SpatialWindow& win, int x0, int x1, int iLo, int iHi, std::int32_t* const sums[4])
{
    for (int k = 0; k < 4; ++k)
        for (int x = x0; x < x1; ++x)
            sums[k][x] = 0;
    const int m = kSpatialRadius;
    for (int j = 0; j < 2 * kSpatialRadius + 1; ++j) {
        if (win.b[j] == nullptr)
            continue;
        for (int i = iLo; i <= iHi; ++i)
            addPlace(win.b[j] + i, win.g[j] + i, win.r[j] + i, win.b[m], win.g[m], win.r[m], x0, x1, win.rangeScale,
                     win.distance[j * (2 * kSpatialRadius + 1) + i + kSpatialRadius], sums[0], sums[1], sums[2],
                     sums[3]);
    }
}

void spatialBlend(const std::int32_t* const sums[4], const std::uint8_t* count, int upTo, int x0, int x1,
                  std::uint8_t* out)
{
    const std::int32_t* __restrict sb = sums[0];
    const std::int32_t* __restrict sg = sums[1];
    const std::int32_t* __restrict sr = sums[2];
    const std::int32_t* __restrict sw = sums[3];
    for (int x = x0; x < x1; ++x) {
        const int n = count[x];
        // 256 at one frame, half as much with every further frame.
        const int wv = n <= upTo ? 256 >> (n - 1) : 0;
        // The centre always weighs in, so the sum of weights is at least
        // 256; both sums are below 2^24, and their quotient lies at least
        // 1/6400 from the next whole number unless it is one: exact in
        // floats.
        const int ws = sw[x];
        const float wf = static_cast<float>(ws);
        const int b = static_cast<int>(static_cast<float>(sb[x] + ws / 2) / wf);
        const int g = static_cast<int>(static_cast<float>(sg[x] + ws / 2) / wf);
        const int r = static_cast<int>(static_cast<float>(sr[x] + ws / 2) / wf);
        out[3 * x] = static_cast<std::uint8_t>((wv * b + (256 - wv) * out[3 * x] + 128) >> 8);
        out[3 * x + 1] = static_cast<std::uint8_t>((wv * g + (256 - wv) * out[3 * x + 1] + 128) >> 8);
        out[3 * x + 2] = static_cast<std::uint8_t>((wv * r + (256 - wv) * out[3 * x + 2] + 128) >> 8);
    }
}
