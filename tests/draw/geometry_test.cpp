// The geometry helpers on small shapes whose answers are known by hand,
// compared within a tolerance.
#include "draw/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr double kTol = 1e-9;

::testing::AssertionResult near3(const Point3& a, const Point3& b, double tol = kTol) {
  if (std::fabs(a.x - b.x) <= tol && std::fabs(a.y - b.y) <= tol && std::fabs(a.z - b.z) <= tol)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") vs ("
                                       << b.x << ", " << b.y << ", " << b.z << ")";
}

void expect_points(const std::vector<Point3>& got, const std::vector<Point3>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) EXPECT_TRUE(near3(got[i], want[i])) << "point " << i;
}

void expect_points(const Polygon2& got, const Polygon2& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i].x, want[i].x, kTol) << "point " << i;
    EXPECT_NEAR(got[i].y, want[i].y, kTol) << "point " << i;
  }
}

TEST(Geometry, TranslatorAnglesAndOffsets) {
  const CoordTranslator t{{0, 0}, {10, 20}, {100, 100}, {200, 300}};
  const Point2 f = t.Forward({5, 5});
  EXPECT_NEAR(f.x, 150, kTol);
  EXPECT_NEAR(f.y, 150, kTol);
  EXPECT_NEAR(t.Forward({10, 20}).y, 300, kTol);
  const Point2 back = t.Reverse(t.Forward({3.5, -7}));
  EXPECT_NEAR(back.x, 3.5, kTol);
  EXPECT_NEAR(back.y, -7, kTol);

  struct {
    Vector2 a, b, c;
    bool between;
  } angles[] = {
      {{1, 0}, {0, 1}, {-1, 0}, true},  {{1, 0}, {0, -1}, {-1, 0}, false},
      {{-1, 0}, {0, -1}, {1, 0}, true},  // across the -pi seam
      {{1, 1}, {-5, 2}, {2, 2}, true},   // a and c the same way: any b
      {{1, 0}, {1, 0}, {0, 1}, false},   // strictly between
  };
  for (const auto& c : angles) EXPECT_EQ(Is_CCW_Between(c.a, c.b, c.c), c.between);

  Segment2 moved;
  MoveSegLeft(Segment2{{0, 0}, {2, 0}}, 1, moved);
  expect_points(Polygon2{moved.p1, moved.p2}, Polygon2{{0, 1}, {2, 1}});
  MoveSegLeft(Segment2{{0, 0}, {3, 3}}, std::sqrt(2.0), moved);
  expect_points(Polygon2{moved.p1, moved.p2}, Polygon2{{-1, 1}, {2, 4}});
  Segment3 moved3;
  MoveSegLeft(Segment3{{0, 0, 0}, {4, 0, 0}}, 2, moved3, Vector3{0, 1, 0});
  expect_points({moved3.p1, moved3.p2}, {{0, 0, -2}, {4, 0, -2}});
}

TEST(Geometry, ReduceAndInsetPolygons) {
  // A square with a vertex in the middle of one side loses it.
  Polygon2 square{{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}};
  ReducePolygon(square, 0.01, 0.99, 0.1, 0.01);
  expect_points(square, Polygon2{{0, 0}, {2, 0}, {2, 2}, {0, 2}});
  // Merging everything stops at a triangle.
  Polygon2 tiny{{0, 0}, {0.1, 0}, {0.1, 0.1}, {0, 0.1}, {0, 0.05}};
  ReducePolygon(tiny, 0, 1, 0, 10);
  EXPECT_EQ(tiny.size(), 3u);

  EXPECT_NEAR(CalcMaxInset({{0, 0}, {2, 0}, {2, 2}, {0, 2}}, nullptr, true), 1.0, 1e-6);
  const double fast[] = {2, 1, 1, 1};
  EXPECT_LT(CalcMaxInset({{0, 0}, {2, 0}, {2, 2}, {0, 2}}, fast, true), 1.0);
  EXPECT_EQ(CalcMaxInset({}, nullptr, true), 0);

  Polygon2 inset;
  InsetPolygon({{0, 0}, {2, 0}, {2, 1}, {2, 2}, {0, 2}}, nullptr, 0.5, true, inset, nullptr,
               nullptr);
  // The collinear vertex (2, 1) disappears.
  expect_points(inset, Polygon2{{0.5, 0.5}, {1.5, 0.5}, {1.5, 1.5}, {0.5, 1.5}});
  // An open line that doubles back gets a cap of two points, reported.
  std::vector<int> caps;
  InsetPolygon(
      {{0, 0}, {2, 0}, {0, 0}}, nullptr, 1, false, inset,
      [](int index, void* ref) { static_cast<std::vector<int>*>(ref)->push_back(index); }, &caps);
  expect_points(inset, Polygon2{{0, 1}, {3, 1}, {3, -1}, {0, -1}});
  EXPECT_EQ(caps, std::vector<int>{1});

  Polygon3 inset3;
  InsetPolygon(Polygon3{{0, 0, 0}, {0, 0, 2}, {2, 0, 2}, {2, 0, 0}}, nullptr, 0.5, true,
               Vector3{0, 1, 0}, inset3);
  expect_points(inset3, {{0.5, 0, 0.5}, {0.5, 0, 1.5}, {1.5, 0, 1.5}, {1.5, 0, 0.5}});
}

TEST(Geometry, ClipToHalfPlaneKeepsVerticesOnThePlaneOnce) {
  const Polygon3 square{{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
  struct {
    const char* what;
    Plane3 plane;
    std::vector<Point3> want;
  } cases[] = {
      {"cut across", {{1, 0, 0}, 0}, {{-1, -1, 0}, {0, -1, 0}, {0, 1, 0}, {-1, 1, 0}}},
      {"all kept", {{1, 0, 0}, 5}, {square.begin(), square.end()}},
      {"all cut", {{1, 0, 0}, -5}, {}},
      // The diagonal through two corners: those stay, each once, and the
      // far corner goes.
      {"on the plane", {{1, 1, 0}, 0}, {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}}},
      {"an edge on the plane", {{1, 0, 0}, 1}, {square.begin(), square.end()}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Polygon3 out{{9, 9, 9}};
    ClipToHalfPlane3(square, c.plane, out);
    expect_points(out, c.want);
  }
  Polygon3 out{{9, 9, 9}};
  ClipToHalfPlane3({}, {{1, 0, 0}, 0}, out);
  EXPECT_TRUE(out.empty());

  struct {
    Point3 p;
    bool inside;
  } points[] = {{{0, 0, 0}, true}, {{1, 0, 0}, true}, {{1.1, 0, 0}, false}, {{0, -3, 0}, false}};
  for (const auto& c : points) EXPECT_EQ(PointInPolygon3(square, c.p), c.inside);
  EXPECT_FALSE(PointInPolygon3({{0, 0, 0}, {1, 0, 0}}, {0, 0, 0}));
}

TEST(Geometry, BoundingSpheresHoldWhatTheyGrowTo) {
  auto holds = [](const Sphere3& s, const Point3& p) {
    const double dx = p.x - s.c.x, dy = p.y - s.c.y, dz = p.z - s.c.z;
    return dx * dx + dy * dy + dz * dz <= s.radius_squared + 1e-9;
  };
  Sphere3 s{{0, 0, 0}, 1};
  ExtendBoundingSphereToPt({0.5, 0, 0}, s);
  EXPECT_TRUE(near3(s.c, {0, 0, 0}));
  EXPECT_EQ(s.radius_squared, 1);
  ExtendBoundingSphereToPt({3, 0, 0}, s);
  EXPECT_TRUE(near3(s.c, {1, 0, 0}));
  EXPECT_NEAR(s.radius_squared, 4, kTol);

  Sphere3 grown{{0, 0, 0}, 1};
  ExtendBoundingSphereToSphere(Sphere3{{4, 0, 0}, 1}, grown);
  EXPECT_TRUE(near3(grown.c, {2, 0, 0}));
  EXPECT_NEAR(grown.radius_squared, 9, kTol);
  Sphere3 empty;
  ExtendBoundingSphereToSphere(Sphere3{{4, 0, 0}, 1}, empty);
  EXPECT_TRUE(near3(empty.c, {4, 0, 0}));
  // One inside the other: the larger is the answer either way.
  Sphere3 small{{0.5, 0, 0}, 0.25};
  ExtendBoundingSphereToSphere(Sphere3{{0, 0, 0}, 9}, small);
  EXPECT_EQ(small.radius_squared, 9);
  Sphere3 big{{0, 0, 0}, 9};
  ExtendBoundingSphereToSphere(Sphere3{{0.5, 0, 0}, 0.25}, big);
  EXPECT_EQ(big.radius_squared, 9);

  const std::vector<Point3> cloud{{0, 0, 0}, {3, 1, 0}, {-2, 4, 1}, {1, -1, 5}, {0, 2, -3}};
  Sphere3 fast;
  FastBoundingSphere(cloud, fast);
  for (const Point3& p : cloud) EXPECT_TRUE(holds(fast, p));
}

TEST(Geometry, JunctionsAndCurves) {
  Point3 out;
  ASSERT_TRUE(IntersectLinesAroundJunction({{0, 0, 0}, {1, 0, 0}}, {{1, -1, 0}, {0, 1, 0}},
                                           {1, 0, 0}, out));
  EXPECT_TRUE(near3(out, {1, 0, 0}));
  // Skew lines, 2 apart in z: both moved to the junction's height.
  ASSERT_TRUE(
      IntersectLinesAroundJunction({{0, 0, 0}, {1, 0, 0}}, {{1, 0, 2}, {0, 1, 0}}, {1, 0, 1}, out));
  EXPECT_TRUE(near3(out, {1, 0, 1}));
  EXPECT_FALSE(
      IntersectLinesAroundJunction({{0, 0, 0}, {1, 0, 0}}, {{0, 1, 0}, {2, 0, 0}}, {0, 0, 0}, out));

  std::vector<Point3> curve;
  BezierCurve({0, 0, 0}, {3, 0, 0}, false, false, {}, {}, 8, 0, 0, curve);
  expect_points(curve, {{0, 0, 0}, {3, 0, 0}});
  BezierCurve({0, 0, 0}, {3, 0, 0}, true, true, {1, 0, 0}, {2, 0, 0}, 8, 0, 0, curve);
  EXPECT_EQ(curve.size(), 2u);  // controls on the chord: a straight line
  BezierCurve({0, 0, 0}, {4, 0, 0}, true, true, {0, 4, 0}, {4, 4, 0}, 4, 0, 0, curve);
  ASSERT_EQ(curve.size(), 5u);
  EXPECT_TRUE(near3(curve[2], {2, 3, 0}, 1e-6));
  BezierCurve({0, 0, 0}, {4, 0, 0}, true, true, {0, 4, 0}, {4, 4, 0}, 4, 2.5, 0, curve);
  EXPECT_EQ(curve.size(), 4u);  // the first inner point lies within 2.5 of the start
}

TEST(Geometry, QuadStrips) {
  std::vector<Point3> strip{{7, 7, 7}};
  const std::vector<Point3> chain{{0, 0, 0}, {2, 0, 0}, {2, 0, 2}};
  const std::vector<Vector3> ups(3, Vector3{0, 1, 0});
  // Sizes that do not match the chain leave the strip alone.
  ChainToQuadStrip(chain, ups, {2, 2}, strip);
  ChainToQuadStrip(chain, {Vector3{0, 1, 0}}, {2, 2, 2}, strip);
  EXPECT_EQ(strip.size(), 1u);
  ChainToQuadStrip(chain, ups, {2, 2, 2}, strip);
  // At the corner the sides meet where the moved segments cross.
  expect_points(strip, {{0, 0, 1}, {0, 0, -1}, {1, 0, 1}, {3, 0, -1}, {1, 0, 2}, {3, 0, 2}});

  EXPECT_EQ(LongerSideOfQuad({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}), 0);
  EXPECT_NEAR(LongerSideOfQuad({{0, 0, 0}, {1, 0, 1}, {2, 0, 0}, {2, 0, 1}}), 1, kTol);
  EXPECT_NEAR(LongerSideOfQuad({{1, 0, 0}, {0, 0, 1}, {2, 0, 0}, {2, 0, 1}}), -1, kTol);

  const std::vector<Point3> band{{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 1}, {2, 0, 0}, {2, 0, 1}};
  std::vector<Point3> cut = band, removed{{9, 9, 9}};
  RemoveFromQuadStripFront(cut, 0.5, removed, false);
  expect_points(removed, {{0, 0, 0}, {0, 0, 1}, {0.5, 0, 0}, {0.5, 0, 1}});
  expect_points(cut, {{0.5, 0, 0}, {0.5, 0, 1}, {1, 0, 0}, {1, 0, 1}, {2, 0, 0}, {2, 0, 1}});
  cut = band;
  RemoveFromQuadStripBack(cut, 0.5, removed, false);
  expect_points(removed, {{2, 0, 1}, {2, 0, 0}, {1.5, 0, 1}, {1.5, 0, 0}});
  expect_points(cut, {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 1}, {1.5, 0, 0}, {1.5, 0, 1}});
  cut = band;
  RemoveFromQuadStripFront(cut, 0, removed, false);
  EXPECT_TRUE(removed.empty());
  EXPECT_EQ(cut.size(), band.size());
  ReverseQuadStrip(cut);
  EXPECT_TRUE(near3(cut[0], {2, 0, 1}));
}

}  // namespace
