#version 110
// Opens with a version line, which must stay the first line the compiler sees.
void main() {
  gl_FragColor = vec4(0.0, 0.0, 1.0, 1.0);
}
