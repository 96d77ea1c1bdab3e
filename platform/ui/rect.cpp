// Rectangle, point and region helpers; see rect.h.
#include "platform/ui/rect.h"

#include "platform/mem.h"

namespace {

bool Fits16(int32_t x) {
    return -32768 <= x && x <= 32767;
}

}  // namespace

uint8_t Ui_Rect_IsEmpty(const Ui_Rect* r) {
    return r == nullptr || r->right <= r->left || r->bottom <= r->top;
}

int32_t Ui_Rect_Width(const Ui_Rect* r) {
    return r == nullptr ? 0 : int32_t(r->right) - r->left;
}
int32_t Ui_Rect_Height(const Ui_Rect* r) {
    return r == nullptr ? 0 : int32_t(r->bottom) - r->top;
}

int32_t Ui_Rect_Intersect(const Ui_Rect* a, const Ui_Rect* b, Ui_Rect* out) {
    if (a == nullptr || b == nullptr || out == nullptr) return kStatusProblem;
    Ui_Rect r;
    r.top = a->top > b->top ? a->top : b->top;
    r.left = a->left > b->left ? a->left : b->left;
    r.bottom = a->bottom < b->bottom ? a->bottom : b->bottom;
    r.right = a->right < b->right ? a->right : b->right;
    if (Ui_Rect_IsEmpty(&r) || Ui_Rect_IsEmpty(a) || Ui_Rect_IsEmpty(b)) r = Ui_Rect{0, 0, 0, 0};
    *out = r;
    return kStatusOk;
}

int32_t Ui_Rect_Offset(Ui_Rect* r, int32_t h, int32_t v) {
    if (r == nullptr) return kStatusProblem;
    int32_t top = r->top + v, bottom = r->bottom + v, left = r->left + h, right = r->right + h;
    if (!Fits16(top) || !Fits16(bottom) || !Fits16(left) || !Fits16(right)) return kStatusProblem;
    *r = Ui_Rect_Make(top, left, bottom, right);
    return kStatusOk;
}

uint8_t Ui_Rect_ContainsPoint(const Ui_Rect* r, int32_t v, int32_t h) {
    if (r == nullptr) return 0;
    return r->left <= h && h < r->right && r->top <= v && v < r->bottom;
}

int32_t Ui_Rect_CentreOver(const Ui_Rect* window, const Ui_Rect* parent, const Ui_Rect* screen,
                           Ui_Rect* out) {
    if (window == nullptr || screen == nullptr || out == nullptr) return kStatusProblem;
    if (parent == nullptr) parent = screen;
    int32_t width = Ui_Rect_Width(window), height = Ui_Rect_Height(window);
    int32_t freeW = Ui_Rect_Width(parent) - width, freeH = Ui_Rect_Height(parent) - height;
    int32_t left = parent->left + (freeW > 0 ? freeW : 0) / 2;
    int32_t top = parent->top + (freeH > 0 ? freeH : 0) / 3;
    // Keep it on the screen: first off the far edges, then never above or left of 0.
    if (left + width > screen->right) left = screen->right - width;
    if (top + height > screen->bottom) top = screen->bottom - height;
    if (left < 0) left = 0;
    if (top < 0) top = 0;
    if (!Fits16(left + width) || !Fits16(top + height)) return kStatusProblem;
    *out = Ui_Rect_Make(top, left, top + height, left + width);
    return kStatusOk;
}

uint8_t Ui_Polygon_ContainsPixel(const Ui_Point* points, int32_t count, int32_t v, int32_t h) {
    if (points == nullptr || count < 3) return 0;
    // Doubled coordinates keep the pixel centre (h + 0.5, v + 0.5) in integers.
    int64_t y = 2 * int64_t(v) + 1, x = 2 * int64_t(h) + 1;
    bool inside = false;
    for (int32_t i = 0, j = count - 1; i < count; j = i++) {
        int64_t yi = 2 * int64_t(points[i].v), yj = 2 * int64_t(points[j].v);
        int64_t xi = 2 * int64_t(points[i].h), xj = 2 * int64_t(points[j].h);
        if ((yi > y) == (yj > y)) continue;
        // x of the edge at height y, compared without division: x < xi + (y - yi)(xj - xi)/(yj -
        // yi)
        int64_t lhs = (x - xi) * (yj - yi), rhs = (y - yi) * (xj - xi);
        if (yj - yi > 0 ? lhs < rhs : lhs > rhs) inside = !inside;
    }
    return inside;
}

int32_t Ui_Region_FromPolygon(const Ui_Point* points, int32_t count, Ui_Region** region) {
    if (region == nullptr) return kStatusProblem;
    *region = nullptr;
    if (points == nullptr || !(3 <= count && count <= 16384)) return kStatusProblem;
    uint32_t bytes = uint32_t(sizeof(Ui_Region) + sizeof(Ui_Point) * uint32_t(count));
    auto* r = static_cast<Ui_Region*>(Mem_Alloc(bytes));
    if (r == nullptr) return kStatusNoMemory;
    r->count = count;
    r->points = reinterpret_cast<Ui_Point*>(r + 1);
    Mem_Copy(r->points, points, sizeof(Ui_Point) * size_t(count));
    Ui_Rect b{points[0].v, points[0].h, points[0].v, points[0].h};
    for (int32_t i = 1; i < count; ++i) {
        if (points[i].v < b.top) b.top = points[i].v;
        if (points[i].v > b.bottom) b.bottom = points[i].v;
        if (points[i].h < b.left) b.left = points[i].h;
        if (points[i].h > b.right) b.right = points[i].h;
    }
    r->bounds = b;
    *region = r;
    return kStatusOk;
}

uint8_t Ui_Region_Contains(const Ui_Region* region, int32_t v, int32_t h) {
    if (region == nullptr) return 0;
    const Ui_Rect& b = region->bounds;
    if (v < b.top || v >= b.bottom || h < b.left || h >= b.right) return 0;
    return Ui_Polygon_ContainsPixel(region->points, region->count, v, h);
}

int32_t Ui_Region_Delete(Ui_Region** region) {
    if (region == nullptr) return kStatusProblem;
    *region = static_cast<Ui_Region*>(Mem_Free(*region));
    return kStatusOk;
}
