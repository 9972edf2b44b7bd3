// 4x4 matrices of doubles in OpenGL's column-major layout: element (row r,
// column c) at index c * 4 + r, the translation in 12, 13 and 14. The builders
// give the same matrices as the fixed-function calls of the same purpose, so
// the camera can hand them to glLoadMatrixd directly.
//
// Nothing here allocates. An output may not alias an input of multMatrices,
// transposeMatrix or invertMatrix.
#pragma once

void setIdentityMatrix(double* m);
void copyMatrix(double* dst, const double* src);
void transposeMatrix(double* dst, const double* src);
void addMatrices(double* out, const double* a, const double* b);
// out = a x b: b is applied first to a column vector.
void multMatrices(double* out, const double* a, const double* b);
// 1 and out = inverse; 0 for a singular matrix, out untouched.
int invertMatrix(double* out, const double* m);

void buildOrthoMatrix(double* m, double l, double r, double b, double t, double n, double f);
void buildFrustumMatrix(double* m, double l, double r, double b, double t, double n, double f);
void buildPerspectiveMatrix(double* m, double fovy, double aspect, double n, double f);
void buildLookAtMatrix(double* m, double ex, double ey, double ez, double cx, double cy, double cz,
                       double ux, double uy, double uz);
// Angles in degrees.
void buildRotation(double* m, double angle, double x, double y, double z);
void applyTranslation(double* m, double x, double y, double z);
void applyRotation(double* m, double angle, double x, double y, double z);

void vec3_assign(double* v, double x, double y, double z);
// Label line, four rows " [ %f %f %f %f ]", then an empty line, to stdout.
void printMatrix(const char* label, const double* m);

// Grows the box [lo, hi] by the part of segment pq that lies in the slab
// y_lo <= y <= y_hi (y is vertical).
void accum_segment(double y_lo, double y_hi, const double* p, const double* q, double* lo,
                   double* hi);
