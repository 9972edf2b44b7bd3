// Compiles, but calls a function that no shader defines: the link fails.
vec4 shade_from_elsewhere();
void main() {
  gl_FragColor = shade_from_elsewhere();
}
