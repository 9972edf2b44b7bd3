// Passes the vertex through the fixed-function transform.
void main() {
  gl_Position = ftransform();
}
