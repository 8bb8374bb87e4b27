// Geometry builtins: point sets held in parallel int arrays are projected,
// rotated, scaled, translated and depth-sorted into output arrays, and a
// few distance and winding tests. Coordinate arithmetic wraps at 32 bits
// like all int arithmetic of programs.
#include <algorithm>
#include <cmath>
#include <vector>

#include "builtins/handlers.h"
#include "builtins/support.h"
#include "core/messages.h"
#include "interp/builtin_frame.h"

namespace {

// The arrays of one call. The number of points is the smallest count of
// all arrays taken; a missing array counts 0 and so stops all writing.
class PointArrays {
public:
    PointArrays(UnitContext* ctx, param*& cursor, const char* name, int firstArgno)
        : ctx_(ctx), cursor_(cursor), name_(name), argno_(firstArgno) {}

    std::int32_t* input() { return take(false); }
    // Output arrays are marked changed when taken, before they are written.
    std::int32_t* output(bool changed = true) { return take(changed); }
    int count() const { return count_; }

private:
    std::int32_t* take(bool changed) {
        param* node = cursor_;
        std::int32_t* storage = nullptr;
        int size = 0;
        if (getIntArrPar(ctx_, cursor_, argno_++, name_, 1, &storage, &size) == 0 && changed)
            changed_par(ctx_, node);
        count_ = std::min(count_, storage ? size : 0);
        return storage;
    }

    UnitContext* ctx_;
    param*& cursor_;
    const char* name_;
    int argno_;
    int count_ = 1 << 30;
};

std::int32_t squaredLength(std::int32_t x, std::int32_t y, std::int32_t z) {
    return wrapAdd(wrapAdd(wrapMul(x, x), wrapMul(y, y)), wrapMul(z, z));
}

std::int32_t intSqrt(std::int32_t sum) { return sum > 0 ? truncTowardZero(std::sqrt(double(sum))) : 0; }

// Remainder with the sign of the dividend; 0 leaves the value unchanged.
// A divisor of -1 always leaves 0 (and would trap on the smallest int).
std::int32_t wrapInto(std::int32_t value, std::int32_t modulus) {
    if (modulus == 0) return value;
    if (modulus == -1) return 0;
    return value % modulus;
}

// Three float parameters followed by the six arrays of rotate and scale.
struct Transform {
    double a, b, c;
    std::int32_t *x, *y, *z, *x2, *y2, *z2;
    int n;
};

Transform takeTransform(UnitContext* ctx, param* args, const char* name) {
    param* cursor = args;
    Transform t{};
    t.a = getFltPar(ctx, cursor, 1, name);
    t.b = getFltPar(ctx, cursor, 2, name);
    t.c = getFltPar(ctx, cursor, 3, name);
    PointArrays arrays(ctx, cursor, name, 4);
    t.x = arrays.input(), t.y = arrays.input(), t.z = arrays.input();
    t.x2 = arrays.output(), t.y2 = arrays.output(), t.z2 = arrays.output();
    t.n = arrays.count();
    checkPars(ctx, cursor, 9, name);
    return t;
}

}  // namespace

std::int32_t project(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t d = getIntPar(ctx, cursor, 1, "project");
    PointArrays arrays(ctx, cursor, "project", 2);
    std::int32_t *x = arrays.input(), *y = arrays.input(), *z = arrays.input();
    std::int32_t *x2 = arrays.output(), *y2 = arrays.output();
    checkPars(ctx, cursor, 6, "project");
    for (int i = 0; i < arrays.count(); ++i) {
        if (d == 0) {
            x2[i] = x[i], y2[i] = y[i];
            continue;
        }
        std::int32_t depth = wrapAdd(d, z[i]);
        if (depth < 1) {
            errorMsg(ctx, MSG_WARNING,
                     formatMsg("Warning: Point %d behind point of view in project. Truncating.\n", i).c_str());
            continue;
        }
        x2[i] = wrapMul(d, x[i]) / depth;
        y2[i] = wrapMul(d, y[i]) / depth;
    }
    return 0;
}

std::int32_t rotate(UnitContext* ctx, param* args) {
    Transform t = takeTransform(ctx, args, "rotate");
    double ca = std::cos(t.a), sa = std::sin(t.a);
    double cb = std::cos(t.b), sb = std::sin(t.b);
    double cc = std::cos(t.c), sc = std::sin(t.c);
    for (int i = 0; i < t.n; ++i) {
        double x = t.x[i], y = t.y[i], z = t.z[i];
        t.x2[i] = truncTowardZero(cb * cc * x + (sa * sb - ca * cb * sc) * y + (sa * sc * cb + ca * sb) * z);
        t.y2[i] = truncTowardZero(sc * x + ca * cc * y - sa * cc * z);
        t.z2[i] = truncTowardZero(-sb * cc * x + (ca * sb * sc + sa * cb) * y + (ca * cb - sa * sb * sc) * z);
    }
    return 0;
}

std::int32_t scale(UnitContext* ctx, param* args) {
    Transform t = takeTransform(ctx, args, "scale");
    for (int i = 0; i < t.n; ++i) {
        t.x2[i] = truncTowardZero(t.a * t.x[i]);
        t.y2[i] = truncTowardZero(t.b * t.y[i]);
        t.z2[i] = truncTowardZero(t.c * t.z[i]);
    }
    return 0;
}

// Keeps the range offset..offset+count-1 inside the n points.
void limitRange(UnitContext* ctx, std::int64_t& count, std::int64_t& offset, std::int64_t n) {
    if (count >= 0 && offset >= 0 && offset + count <= n) return;
    errorMsg(ctx, MSG_WARNING,
             "Warning: Illegal offset-parameter with respect to arraysize in addpoint. Truncating.");
    count = std::min(count < 0 ? -count : count, n);
    offset = std::min(offset < 0 ? -offset : offset, n);
    if (count + offset > n) count = n - offset;
}

std::int32_t addpoint(UnitContext* ctx, param* args) {
    const char* name = "addPoint";
    param* cursor = args;
    std::int32_t values[8];
    for (int i = 0; i < 8; ++i) values[i] = getIntPar(ctx, cursor, i + 1, name);
    const std::int32_t* delta = values + 2;
    const std::int32_t* modulus = values + 5;
    PointArrays arrays(ctx, cursor, name, 9);
    std::int32_t* in[3] = {arrays.input(), arrays.input(), arrays.input()};
    std::int32_t* out[3];
    for (int axis = 0; axis < 3; ++axis) out[axis] = arrays.output(delta[axis] != 0);
    checkPars(ctx, cursor, 14, name);
    std::int64_t count = values[0], offset = values[1];
    limitRange(ctx, count, offset, arrays.count());
    for (std::int64_t i = offset; i < offset + count; ++i)
        for (int axis = 0; axis < 3; ++axis)
            out[axis][i] = wrapInto(wrapAdd(in[axis][i], delta[axis]), modulus[axis]);
    return 0;
}

// Ranks points by distance from a viewer at distance d, farthest first;
// points at or behind the viewer keep rank -1.
std::int32_t distsort(UnitContext* ctx, param* args) {
    param* cursor = args;
    std::int32_t d = getIntPar(ctx, cursor, 1, "distSort");
    PointArrays arrays(ctx, cursor, "distSort", 2);
    std::int32_t *x = arrays.input(), *y = arrays.input(), *z = arrays.input();
    std::int32_t* rank = arrays.output();
    checkPars(ctx, cursor, 5, "distSort");
    struct Distance {
        std::int32_t length;
        int point;
    };
    std::vector<Distance> visible;
    for (int i = 0; i < arrays.count(); ++i) {
        rank[i] = -1;
        std::int32_t depth = wrapAdd(d, z[i]);
        if (depth > 0) visible.push_back({intSqrt(squaredLength(x[i], y[i], depth)), i});
    }
    std::stable_sort(visible.begin(), visible.end(),
                     [](const Distance& a, const Distance& b) { return a.length > b.length; });
    for (std::size_t position = 0; position < visible.size(); ++position)
        rank[visible[position].point] = static_cast<std::int32_t>(position);
    return 0;
}

namespace {

// Reads count int parameters of a fixed-arity geometry builtin.
void takeInts(UnitContext* ctx, param* args, const char* name, std::int32_t* values, int count) {
    param* cursor = args;
    for (int i = 0; i < count; ++i) values[i] = getIntPar(ctx, cursor, i + 1, name);
    checkPars(ctx, cursor, count, name);
}

}  // namespace

std::int32_t visiblesurface(UnitContext* ctx, param* args) {
    std::int32_t v[6];
    takeInts(ctx, args, "visibleSurface", v, 6);
    std::int32_t cross = wrapSub(wrapMul(wrapSub(v[0], v[2]), wrapSub(v[3], v[5])),
                                 wrapMul(wrapSub(v[1], v[3]), wrapSub(v[2], v[4])));
    return cross > 0 ? 1 : 0;
}

std::int32_t pointdist(UnitContext* ctx, param* args) {
    std::int32_t v[6];
    takeInts(ctx, args, "pointDist", v, 6);
    return intSqrt(squaredLength(wrapSub(v[0], v[3]), wrapSub(v[1], v[4]), wrapSub(v[2], v[5])));
}

// Distance from P to the segment AB, in floating point.
std::int32_t linedist(UnitContext* ctx, param* args) {
    std::int32_t v[9];
    takeInts(ctx, args, "lineDist", v, 9);
    double p[3], a[3], d[3];
    for (int k = 0; k < 3; ++k) p[k] = v[k], a[k] = v[3 + k], d[k] = double(v[6 + k]) - v[3 + k];
    double along = 0.0, length = 0.0;
    for (int k = 0; k < 3; ++k) along += (p[k] - a[k]) * d[k], length += d[k] * d[k];
    // A segment of zero length is the point A.
    double t = length > 0.0 ? along / length : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    double sum = 0.0;
    for (int k = 0; k < 3; ++k) {
        double gap = a[k] + t * d[k] - p[k];
        sum += gap * gap;
    }
    return truncTowardZero(std::sqrt(sum));
}

// The vector builtins were never implemented; they leave their arguments
// unevaluated.
std::int32_t norm_vector(UnitContext*, param*) { return 0; }
std::int32_t VectorSum(UnitContext*, param*) { return 0; }
std::int32_t VectorProd(UnitContext*, param*) { return -1; }
std::int32_t VectorSub(UnitContext*, param*) { return 0; }
