// The geometry helpers: plain functions on the double-precision point types.
// Angles come from the single-precision arctangent on purpose: shapes made
// before stay the same to the last bit.
//
// Contents
//   [SECTION] Vector arithmetic
//   [SECTION] Mapping and angles
//   [SECTION] Polygons
//   [SECTION] Bounding spheres
//   [SECTION] Junctions and curves
//   [SECTION] Quad strips
#include "draw/geometry.h"

#include <algorithm>
#include <cmath>

const double PI2 = 6.283185307179586;

namespace {

// [SECTION] Vector arithmetic

template <class A, class B>
Vector2 sub2(const A& a, const B& b) {
  return {a.x - b.x, a.y - b.y};
}
double dot2(const Vector2& a, const Vector2& b) { return a.x * b.x + a.y * b.y; }
double cross2(const Vector2& a, const Vector2& b) { return a.x * b.y - a.y * b.x; }
double len2(const Vector2& v) { return std::sqrt(dot2(v, v)); }

double sign(double v) { return v > 0 ? 1.0 : v < 0 ? -1.0 : 0.0; }

// An axis-aligned direction becomes exactly unit length.
Vector2 normalize2(Vector2 v) {
  if (v.x == 0) {
    v.y = sign(v.y);
  } else if (v.y == 0) {
    v.x = sign(v.x);
  } else {
    const double l = len2(v);
    if (l != 0) v = {v.x / l, v.y / l};
  }
  return v;
}

template <class A, class B>
Vector3 sub3(const A& a, const B& b) {
  return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Point3 add3(const Point3& p, const Vector3& v, double k = 1.0) {
  return {p.x + k * v.x, p.y + k * v.y, p.z + k * v.z};
}
double dot3(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vector3 cross3(const Vector3& a, const Vector3& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vector3 scale3(const Vector3& v, double k) { return {v.x * k, v.y * k, v.z * k}; }
double len3(const Vector3& v) { return std::sqrt(dot3(v, v)); }
Vector3 normalize3(const Vector3& v) {
  const double l = len3(v);
  return l != 0 ? scale3(v, 1.0 / l) : v;
}
Vector3 as_vec(const Point3& p) { return {p.x, p.y, p.z}; }
bool same3(const Point3& a, const Point3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }

// The midpoint, exact in every component where the two agree.
double mid(double a, double b) { return a == b ? a : (a + b) * 0.5; }
Point3 mid3(const Point3& a, const Point3& b) {
  return {mid(a.x, b.x), mid(a.y, b.y), mid(a.z, b.z)};
}

double angle_of(const Vector2& v) {
  double a = std::atan2(float(v.y), float(v.x));
  if (a <= -M_PI) a += PI2;
  return a;
}

// Where the infinite lines through two segments meet; false when parallel.
bool line_meet(const Segment2& a, const Segment2& b, Point2& out) {
  const Vector2 da = sub2(a.p2, a.p1), db = sub2(b.p2, b.p1);
  const double den = cross2(da, db);
  if (den == 0) return false;
  const double t = cross2(sub2(b.p1, a.p1), db) / den;
  out = {a.p1.x + t * da.x, a.p1.y + t * da.y};
  return true;
}

}  // namespace

// [SECTION] Mapping and angles

Point2 CoordTranslator::Forward(const Point2& p) const {
  return {dst_min.x + (p.x - src_min.x) * (dst_max.x - dst_min.x) / (src_max.x - src_min.x),
          dst_min.y + (p.y - src_min.y) * (dst_max.y - dst_min.y) / (src_max.y - src_min.y)};
}

Point2 CoordTranslator::Reverse(const Point2& p) const {
  return {src_min.x + (p.x - dst_min.x) * (src_max.x - src_min.x) / (dst_max.x - dst_min.x),
          src_min.y + (p.y - dst_min.y) * (src_max.y - src_min.y) / (dst_max.y - dst_min.y)};
}

bool Is_CCW_Between(const Vector2& a, const Vector2& b, const Vector2& c) {
  const double aa = angle_of(a);
  double ab = angle_of(b), ac = angle_of(c);
  if (aa == ac) return true;
  if (aa > ab) ab += PI2;
  if (aa > ac) ac += PI2;
  return ab > aa && ac > ab;
}

void MoveSegLeft(const Segment2& seg, double dist, Segment2& out) {
  const Vector2 d = sub2(seg.p2, seg.p1);
  const Vector2 n = normalize2({-d.y, d.x});
  out.p1 = {seg.p1.x + dist * n.x, seg.p1.y + dist * n.y};
  out.p2 = {seg.p2.x + dist * n.x, seg.p2.y + dist * n.y};
}

void MoveSegLeft(const Segment3& seg, double dist, Segment3& out, const Vector3& up) {
  const Vector3 n = normalize3(cross3(up, sub3(seg.p2, seg.p1)));
  out.p1 = add3(seg.p1, n, dist);
  out.p2 = add3(seg.p2, n, dist);
}

// [SECTION] Polygons

void ReducePolygon(Polygon2& poly, double max_dev_sq, double min_cos, double min_len,
                   double merge_len) {
  bool removed = true;
  while (removed) {
    removed = false;
    for (size_t i = 0; i < poly.size() && poly.size() > 3;) {
      const size_t n = poly.size();
      const Point2& prev = poly[(i + n - 1) % n];
      const Point2& p = poly[i];
      const Point2& next = poly[(i + 1) % n];
      const Vector2 in = sub2(p, prev), out = sub2(next, p);
      const double l_in = len2(in), l_out = len2(out);
      bool drop = false;
      if (l_in < merge_len || l_out < merge_len) {
        drop = true;
      } else if (l_in > min_len && l_out > min_len) {
        const Vector2 chord = sub2(next, prev);
        const double chord_sq = dot2(chord, chord);
        const double c = cross2(chord, sub2(p, prev));
        const double dev_sq = chord_sq != 0 ? c * c / chord_sq : l_in * l_in;
        drop = dev_sq < max_dev_sq && dot2(normalize2(in), normalize2(out)) > min_cos;
      }
      if (drop) {
        poly.erase(poly.begin() + long(i));
        removed = true;
      }
      // After a removal the vertex that moved into place waits for the next pass.
      ++i;
    }
  }
}

double CalcMaxInset(const Polygon2& poly, const double* ratios, bool closed) {
  const size_t n = poly.size();
  const size_t edges = closed ? n : (n > 0 ? n - 1 : 0);
  auto corner = [](const Vector2& before, const Vector2& after) {
    double a = M_PI - (angle_of(after) - angle_of(before));
    if (a > M_PI) a -= PI2;
    return a;
  };
  bool found = false;
  double best = 0;
  for (size_t i = 0; i < edges; ++i) {
    const Point2& p0 = poly[(i + n - 1) % n];
    const Point2& p1 = poly[i];
    const Point2& p2 = poly[(i + 1) % n];
    const Point2& p3 = poly[(i + 2) % n];
    const double r = ratios ? ratios[i] : 1.0;
    const double r_prev = ratios ? ratios[(i + n - 1) % n] : 1.0;
    const Vector2 edge = sub2(p2, p1);
    double shrink = 0;
    if (closed || i != 0) {
      const double a = corner(sub2(p1, p0), edge);
      shrink += r / std::tan(a) + r_prev / std::sin(a);
    }
    if (closed || i + 1 != edges) {
      const double a = corner(edge, sub2(p3, p2));
      shrink += r / std::tan(a) + r_prev / std::sin(a);
    }
    if (shrink <= 0) continue;
    // The minimum starts at the first edge that shrinks at all: an edge that
    // grows never collapses and says nothing about the others.
    const double at = len2(edge) / shrink;
    if (!found || at < best) best = at;
    found = true;
  }
  return best;
}

namespace {

bool same_point(const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }
bool same_point(const Point3& a, const Point3& b) { return same3(a, b); }

// The inset walk shared by both dimensions: offset(segment, distance, out)
// moves an edge to its left, meet(edge before, edge, moved before, moved,
// point) finds the junction, and capped(index) hears of each cap made
// where the outline doubles back.
template <class Point, class Segment, class Offset, class Meet, class Capped>
void inset_outline(const std::vector<Point>& poly, const double* ratios, double inset, bool closed,
                   std::vector<Point>& out, Offset offset, Meet meet, Capped capped) {
  out.clear();
  const size_t n = poly.size();
  if (n < 2) return;
  std::vector<Segment> edges(n), moved(n);
  for (size_t i = 0; i < n; ++i) {
    edges[i] = {poly[i], poly[(i + 1) % n]};
    offset(edges[i], inset * (ratios ? ratios[i] : 1.0), moved[i]);
  }
  for (size_t j = 0; j < n; ++j) {
    const size_t k = j == 0 ? n - 1 : j - 1;
    if (!closed && j == 0) {
      out.push_back(moved[0].p1);
    } else if (!closed && j == n - 1) {
      out.push_back(moved[k].p2);
    } else if (same_point(edges[k].p1, edges[j].p2)) {
      Segment cap;
      offset(Segment{moved[k].p2, moved[j].p1}, inset * (ratios ? ratios[j] : 1.0), cap);
      capped(int(out.size()));
      out.push_back(cap.p1);
      out.push_back(cap.p2);
    } else {
      Point p;
      if (meet(edges[k], edges[j], moved[k], moved[j], p)) out.push_back(p);
    }
  }
}

}  // namespace

void InsetPolygon(const Polygon2& poly, const double* ratios, double inset, bool closed,
                  Polygon2& out, void (*doubled_back)(int, void*), void* ref) {
  inset_outline<Point2, Segment2>(
      poly, ratios, inset, closed, out,
      [](const Segment2& s, double d, Segment2& o) { MoveSegLeft(s, d, o); },
      [](const Segment2&, const Segment2&, const Segment2& a, const Segment2& b, Point2& p) {
        return line_meet(a, b, p);
      },
      [&](int index) {
        if (doubled_back) doubled_back(index, ref);
      });
}

// The junction is where the moved edge, as a ray from its start, meets the
// plane through the moved edge before it that stands across that edge.
void InsetPolygon(const Polygon3& poly, const double* ratios, double inset, bool closed,
                  const Vector3& up, Polygon3& out) {
  inset_outline<Point3, Segment3>(
      poly, ratios, inset, closed, out,
      [&](const Segment3& s, double d, Segment3& o) { MoveSegLeft(s, d, o, up); },
      [&](const Segment3& before, const Segment3&, const Segment3& moved_before,
          const Segment3& moved, Point3& p) {
        const Vector3 dir = sub3(moved.p2, moved.p1);
        const Vector3 nrm = normalize3(cross3(sub3(before.p2, before.p1), up));
        const double den = dot3(nrm, dir);
        if (den == 0) return false;
        p = add3(moved.p1, dir, dot3(nrm, sub3(moved_before.p2, moved.p1)) / den);
        return true;
      },
      [](int) {});
}

void ClipToHalfPlane3(const Polygon3& poly, const Plane3& plane, Polygon3& out) {
  out.clear();
  const size_t n = poly.size();
  for (size_t i = 0; i < n; ++i) {
    const Point3& a = poly[i];
    const Point3& b = poly[(i + 1) % n];
    const double da = dot3(plane.n, as_vec(a)) - plane.d, db = dot3(plane.n, as_vec(b)) - plane.d;
    if (da <= 0) out.push_back(a);
    // A vertex on the plane is already in, once: a crossing there would add
    // it a second time.
    if ((da < 0 && db > 0) || (da > 0 && db < 0)) {
      const double t = da / (da - db);
      const Point3 c = {(1 - t) * a.x + t * b.x, (1 - t) * a.y + t * b.y, (1 - t) * a.z + t * b.z};
      if (!same3(c, a) && !same3(c, b)) out.push_back(c);
    }
  }
}

bool PointInPolygon3(const Polygon3& poly, const Point3& p) {
  const size_t n = poly.size();
  if (n < 3) return false;
  const Vector3 normal = normalize3(cross3(sub3(poly[1], poly[0]), sub3(poly[1], poly[2])));
  for (size_t i = 0; i < n; ++i) {
    const Vector3 m = normalize3(cross3(normal, sub3(poly[(i + 1) % n], poly[i])));
    if (dot3(m, sub3(p, poly[i])) > 0) return false;
  }
  return true;
}

// [SECTION] Bounding spheres

void ExtendBoundingSphereToPt1(const Point3& p, Sphere3& s) {
  const Vector3 u = normalize3(sub3(p, s.c));
  const Point3 far_side = add3(s.c, u, -std::sqrt(s.radius_squared));
  s.c = mid3(far_side, p);
  const Vector3 r = sub3(p, s.c);
  s.radius_squared = dot3(r, r);
}

void ExtendBoundingSphereToPt(const Point3& p, Sphere3& s) {
  const Vector3 d = sub3(p, s.c);
  if (dot3(d, d) > s.radius_squared) ExtendBoundingSphereToPt1(p, s);
}

void ExtendBoundingSphereToSphere(const Sphere3& a, Sphere3& s) {
  if (a.radius_squared == 0) return;
  if (s.radius_squared == 0) {
    s = a;
    return;
  }
  const double ra = std::sqrt(a.radius_squared), rs = std::sqrt(s.radius_squared);
  const Vector3 d = sub3(a.c, s.c);
  if ((rs - ra) * (rs - ra) >= dot3(d, d)) {
    // One holds the other: keep the larger.
    if (ra > rs) s = a;
    return;
  }
  const Vector3 u = normalize3(d);
  const Point3 near_end = add3(s.c, u, -rs), far_end = add3(a.c, u, ra);
  s.c = mid3(near_end, far_end);
  const Vector3 r = sub3(far_end, s.c);
  s.radius_squared = dot3(r, r);
}

void FastBoundingSphere(const std::vector<Point3>& points, Sphere3& s) {
  if (points.empty()) return;
  std::vector<Point3> sorted(points);
  std::sort(sorted.begin(), sorted.end(), [](const Point3& a, const Point3& b) {
    if (a.y != b.y) return a.y < b.y;
    if (a.x != b.x) return a.x < b.x;
    return a.z < b.z;
  });
  s.c = mid3(sorted.front(), sorted.back());
  const Vector3 r = sub3(sorted.back(), s.c);
  s.radius_squared = dot3(r, r);
  for (size_t i = 1; i + 1 < sorted.size(); ++i) ExtendBoundingSphereToPt(sorted[i], s);
}

// [SECTION] Junctions and curves

bool IntersectLinesAroundJunction(const Line3& a, const Line3& b, const Point3& junction,
                                  Point3& out) {
  const Vector3 c = cross3(a.v, b.v);
  if (c.x == 0 && c.y == 0 && c.z == 0) return false;
  const Vector3 n = normalize3(c);
  const Vector3 na = normalize3(cross3(a.v, n)), nb = normalize3(cross3(b.v, n));
  if (na.x == nb.x && na.y == nb.y && na.z == nb.z) return false;
  const double da = dot3(na, as_vec(a.p)), db = dot3(nb, as_vec(b.p));
  const double aa = dot3(na, na), bb = dot3(nb, nb), ab = dot3(na, nb);
  const double det = aa * bb - ab * ab;
  if (det == 0) return false;
  // The line where the planes A and B meet, through a point of both.
  const Vector3 dir = cross3(na, nb);
  const Point3 on =
      add3(add3(Point3{}, na, (da * bb - db * ab) / det), nb, (db * aa - da * ab) / det);
  const double den = dot3(n, dir);
  if (den == 0) return false;
  const double t = dot3(n, sub3(junction, on)) / den;
  out = add3(on, dir, t);
  return true;
}

void BezierCurve(const Point3& p0, const Point3& p3, bool has_c1, bool has_c2, const Point3& c1,
                 const Point3& c2, int segments, double skip_start, double skip_end,
                 std::vector<Point3>& out) {
  int s = std::max(segments, 1);
  if (!has_c1 && !has_c2) s = 1;
  const Point3 k1 = has_c1 ? c1 : p0, k2 = has_c2 ? c2 : p3;
  const Vector3 chord = sub3(p3, p0);
  auto on_chord = [&](const Point3& q) {
    const Vector3 x = cross3(sub3(q, p0), chord);
    return x.x == 0 && x.y == 0 && x.z == 0;
  };
  if (s > 1 && on_chord(k1) && on_chord(k2)) s = 1;
  out.clear();
  out.push_back(p0);
  for (int k = 1; k < s; ++k) {
    const float t = float(k) / float(s), u = 1.0f - t;
    const float w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
    const Point3 b = {w0 * p0.x + w1 * k1.x + w2 * k2.x + w3 * p3.x,
                      w0 * p0.y + w1 * k1.y + w2 * k2.y + w3 * p3.y,
                      w0 * p0.z + w1 * k1.z + w2 * k2.z + w3 * p3.z};
    if (skip_start > 0 && len3(sub3(b, p0)) < skip_start) continue;
    if (skip_end > 0 && len3(sub3(b, p3)) < skip_end) continue;
    out.push_back(b);
  }
  out.push_back(p3);
}

// [SECTION] Quad strips

void ChainToQuadStrip(const std::vector<Point3>& chain, const std::vector<Vector3>& ups,
                      const std::vector<double>& widths, std::vector<Point3>& out) {
  const size_t n = chain.size();
  if (n < 2 || ups.size() != n || widths.size() != n) return;
  out.clear();
  for (size_t i = 0; i < n; ++i) {
    const Point3& p = chain[i];
    const double h = widths[i] * 0.5;
    if (i == 0 || i == n - 1) {
      const Vector3 dir = i == 0 ? sub3(chain[1], chain[0]) : sub3(chain[n - 1], chain[n - 2]);
      const Vector3 side = scale3(normalize3(cross3(dir, ups[i])), h);
      out.push_back(add3(p, side));
      out.push_back(add3(p, side, -1));
      continue;
    }
    const Vector3 in = sub3(p, chain[i - 1]), fwd = sub3(chain[i + 1], p);
    const Vector3 s1 = normalize3(cross3(in, ups[i])), s2 = normalize3(cross3(fwd, ups[i]));
    if (dot3(s1, s2) < -0.9995) {
      // The chain turns back: the band ends across the incoming segment and
      // starts again across the outgoing one, both at the band's width.
      out.push_back(add3(p, s1, h));
      out.push_back(add3(p, s1, -h));
      out.push_back(add3(p, s2, h));
      out.push_back(add3(p, s2, -h));
      continue;
    }
    for (double k : {h, -h}) {
      Point3 q;
      if (!IntersectLinesAroundJunction({add3(chain[i - 1], s1, k), in}, {add3(p, s2, k), fwd}, p,
                                        q))
        q = add3(p, s1, k);
      out.push_back(q);
    }
  }
}

double LongerSideOfQuad(const std::vector<Point3>& strip) {
  if (strip.size() < 4) return 0;
  const Vector3 odd = sub3(strip[1], strip[3]);
  const double odd_sq = dot3(odd, odd);
  const double t1 = dot3(sub3(strip[0], strip[3]), odd) / odd_sq;
  if (t1 < 1) return -(1 - t1) * std::sqrt(odd_sq);
  const Vector3 even = sub3(strip[0], strip[2]);
  const double even_sq = dot3(even, even);
  const double t2 = dot3(sub3(strip[1], strip[2]), even) / even_sq;
  return std::fabs(t2 - 1) * std::sqrt(even_sq);
}

void ReverseQuadStrip(std::vector<Point3>& strip) { std::reverse(strip.begin(), strip.end()); }

namespace {

// Walks one side (points first, first + 2, ...) to where dist of its length
// is used up: strictly past it (past_only) or at it. The cut point and the
// index of its segment's first point; false when the side is shorter.
bool cut_side(const std::vector<Point3>& strip, size_t first, double dist, bool past_only,
              Point3& cut, size_t& at) {
  double sum = 0;
  for (size_t i = first; i + 2 < strip.size(); i += 2) {
    const double l = len3(sub3(strip[i + 2], strip[i]));
    if (past_only ? sum + l > dist : sum + l >= dist) {
      const double f = l > 0 ? (dist - sum) / l : 0;
      cut = f <= 0   ? strip[i]
            : f >= 1 ? strip[i + 2]
                     : add3(strip[i], sub3(strip[i + 2], strip[i]), f);
      at = i;
      return true;
    }
    sum += l;
  }
  return false;
}

}  // namespace

void RemoveFromQuadStripFront(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                              bool use_longer) {
  removed.clear();
  if (strip.size() < 4 || dist <= 0) return;
  double d_odd = dist, d_even = dist;
  if (use_longer) {
    const double l = LongerSideOfQuad(strip);
    if (l < 0)
      d_odd = dist - l;
    else
      d_even = dist + l;
  }
  Point3 cut_odd, cut_even;
  size_t i_odd = 0, i_even = 0;
  if (!cut_side(strip, 1, d_odd, true, cut_odd, i_odd) ||
      !cut_side(strip, 0, d_even, false, cut_even, i_even))
    return;
  ++i_even;
  const size_t lo = std::min(i_odd, i_even), hi = std::max(i_odd, i_even);
  removed.assign(strip.begin(), strip.begin() + long(lo) + 1);
  strip.erase(strip.begin(), strip.begin() + long(hi) + 1);
  removed.push_back(cut_even);
  removed.push_back(cut_odd);
  if (strip.size() < 2 || !same3(strip[0], cut_even) || !same3(strip[1], cut_odd)) {
    strip.insert(strip.begin(), cut_odd);
    strip.insert(strip.begin(), cut_even);
  }
}

void RemoveFromQuadStripBack(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                             bool use_longer) {
  ReverseQuadStrip(strip);
  RemoveFromQuadStripFront(strip, dist, removed, use_longer);
  ReverseQuadStrip(strip);
}
