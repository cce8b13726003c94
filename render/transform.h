// Camera and transforms: CPU 4x4 matrices (column-major, as glLoadMatrixf takes
// them) composed by post-multiplication, thin wrappers over the GL matrix
// stack, and the 2D overlay projection. Angles are degrees.
#pragma once

// 16 floats; element (row r, column c) at index 4c + r; translation at 12..14.
typedef float Matrix[16];

// CPU matrix operations: each changes its first argument in place.
void mat_identity(float* m);
void mat_multiply(float* a, const float* b);                // a = a x b
void mat_translate(float* m, float x, float y, float z);    // m = m x T
void mat_scale(float* m, float x, float y, float z);        // m = m x diag(x, y, z, 1)
void mat_rotate_xyz(float* m, float ax, float ay, float az); // m = m x Rx x Ry x Rz

// The view base matrix diag(1, 1, -1, 1): scene +Z points away from the viewer.
extern const float VIEW_BASE_MATRIX[16];

// GL matrix operations on the current (model-view) matrix.
void gl_select_modelview();
void view_reset(); // load the view base matrix
void gl_mult(const float* m);
void gl_push();
void gl_pop();
void gl_translate(float x, float y, float z);
void gl_scale(float x, float y, float z);
void gl_rotate_xyz(float ax, float ay, float az); // about X, then Y, then Z

// 2D overlay: 800 x 600 units over the current viewport, origin top left, y
// downwards; one unit per pixel of the 800 x 600 frame. overlay_end pops
// both matrices and leaves model-view selected.
void overlay_begin();
void overlay_end();
