; Smoke and steam particles: every corner of a square carries the
; particle's centre and turns it into view space, where the corner's own
; displacement is added, so the square always faces the camera.
;   v0 centre, v1 colour, v2 displacement in view space, v3 texture coordinate
;   c0-c3 view matrix, c4-c7 projection matrix (both transposed)
vs.1.1
m4x4 r0, v0, c0
add r0.xy, r0.xy, v2.xy
m4x4 oPos, r0, c4
mov oT0.xy, v3.xy
mov oD0, v1
