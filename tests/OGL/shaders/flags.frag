// Shows its switches as a colour: red from FLAG, green and blue from MODE
// (blue takes the uniform "level" in mode 2). Black unless built on Linux
// with the platform block in front.
uniform float level;
void main() {
#if FLAG
  float r = 1.0;
#else
  float r = 0.0;
#endif
#if !(LIN == 1 && APL == 0 && IBM == 0 && defined(LIMITED))
  gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
#elif MODE == 2
  gl_FragColor = vec4(r, 0.0, level, 1.0);
#elif MODE == 1
  gl_FragColor = vec4(r, 1.0, 0.0, 1.0);
#else
  gl_FragColor = vec4(r, 0.0, 0.0, 1.0);
#endif
}
