vs.1.1
m4x4 oPos, v0, c0
mov a0.x, c5.x
mov oD0, c[a0.x + 8]
mov oT0.xy, -v1.yx
def c10, 1.0, 0.5, 0, 1
