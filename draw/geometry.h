// Computational geometry on double-precision points, for bands of road and
// similar shapes: coordinate mapping, angle tests, segment offsets, polygon
// simplification, insetting and clipping, point-in-polygon, bounding
// spheres, line junctions, Bezier sampling and quad strips built from
// centre-line chains.
#pragma once

#include <vector>

extern const double PI2;  // 2 pi

struct Vector2 {
  double x = 0, y = 0;
};
struct Point2 {
  double x = 0, y = 0;
};
struct Segment2 {
  Point2 p1, p2;  // start, end
};
typedef std::vector<Point2> Polygon2;

struct Vector3 {
  double x = 0, y = 0, z = 0;
};
struct Point3 {
  double x = 0, y = 0, z = 0;
};
struct Segment3 {
  Point3 p1, p2;
};
typedef std::vector<Point3> Polygon3;

struct Line3 {
  Point3 p;   // a point on the line
  Vector3 v;  // its direction
};

// A point p is on the plane when n . p = d.
struct Plane3 {
  Vector3 n;
  double d = 0;
};

// radius_squared 0 is an empty sphere.
struct Sphere3 {
  Point3 c;
  double radius_squared = 0;
};

// Maps a source rectangle linearly onto a destination rectangle.
struct CoordTranslator {
  Point2 src_min, src_max, dst_min, dst_max;
  Point2 Forward(const Point2& p) const;
  Point2 Reverse(const Point2& p) const;
};

// b lies strictly between a and c turning counter-clockwise from a (always
// true when a and c point the same way).
bool Is_CCW_Between(const Vector2& a, const Vector2& b, const Vector2& c);

// Moves a segment by dist to the left of its direction of travel (in 3-D: along
// up x direction).
void MoveSegLeft(const Segment2& seg, double dist, Segment2& out);
void MoveSegLeft(const Segment3& seg, double dist, Segment3& out, const Vector3& up);

// Drops vertices of a closed polygon that lie closer than merge_len to a
// neighbour, or (when both edges are longer than min_len) lie within
// sqrt(max_dev_sq) of the line through their neighbours with a turn whose
// cosine is above min_cos. Never leaves fewer than 3 vertices.
void ReducePolygon(Polygon2& poly, double max_dev_sq, double min_cos, double min_len,
                   double merge_len);

// The inset at which the first edge collapses, edges moving at the given
// ratios (all 1 when ratios is null); 0 when no edge shrinks.
double CalcMaxInset(const Polygon2& poly, const double* ratios, bool closed);

// The outline moved inwards (to the left) by inset times each edge's ratio.
// Where the outline doubles back on itself two points are made, and the
// callback (when given) gets the index in out of the first of them.
void InsetPolygon(const Polygon2& poly, const double* ratios, double inset, bool closed,
                  Polygon2& out, void (*doubled_back)(int index, void* ref), void* ref);
void InsetPolygon(const Polygon3& poly, const double* ratios, double inset, bool closed,
                  const Vector3& up, Polygon3& out);

// The part of the polygon with n . p <= d. Vertices on the plane are kept, and
// an edge gets a crossing point only when its ends lie strictly on opposite
// sides.
void ClipToHalfPlane3(const Polygon3& poly, const Plane3& plane, Polygon3& out);

// Whether p lies inside a convex planar polygon (points on an edge count).
bool PointInPolygon3(const Polygon3& poly, const Point3& p);

void ExtendBoundingSphereToPt(const Point3& p, Sphere3& s);
// Grows s to reach p whether or not p is inside.
void ExtendBoundingSphereToPt1(const Point3& p, Sphere3& s);
void ExtendBoundingSphereToSphere(const Sphere3& a, Sphere3& s);
void FastBoundingSphere(const std::vector<Point3>& points, Sphere3& s);

// Where the two lines meet once both are moved along their common normal into
// the plane through the junction; false when they have no such point.
bool IntersectLinesAroundJunction(const Line3& a, const Line3& b, const Point3& junction,
                                  Point3& out);

// A cubic from p0 to p3 in segments pieces (1 without control points, or when
// the curve is a straight line); points within skip_start of p0 or skip_end of
// p3 are left out, except the two ends.
void BezierCurve(const Point3& p0, const Point3& p3, bool has_c1, bool has_c2, const Point3& c1,
                 const Point3& c2, int segments, double skip_start, double skip_end,
                 std::vector<Point3>& out);

// Quad strips: pairs of points, element 2k on one side and 2k + 1 on the other.
// A band of the given widths around a chain; nothing happens unless there are
// at least 2 chain points and one up vector and one width per point.
void ChainToQuadStrip(const std::vector<Point3>& chain, const std::vector<Vector3>& ups,
                      const std::vector<double>& widths, std::vector<Point3>& out);
// How much longer the even side of the first quad is than the odd side
// (negative when it is shorter); 0 for fewer than 4 points.
double LongerSideOfQuad(const std::vector<Point3>& strip);
void ReverseQuadStrip(std::vector<Point3>& strip);
// Cuts the first (or last) dist of length off the strip into removed.
void RemoveFromQuadStripFront(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                              bool use_longer);
void RemoveFromQuadStripBack(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                             bool use_longer);
