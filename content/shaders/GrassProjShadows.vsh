vs.1.1
; Grass blades in the wind under the projected shadow. v0 position, v3 normal, v7 (u, v, copy scale).
; Four travelling waves: their phases from the position and the time.
mov r11, c1
mul r0, c14, v0.x
mad r0, c15, v0.y, r0
mul r11, r11.x, c16
add r0, r0, r11
frc r1.xy, r0
frc r2.xy, r0.zwzw
mov r1.zw, r2.xxxy
; a = (fraction x 1.07 - 0.5) x 2 pi, then its sine by a short series
mul r1, r1, c10.x
sub r1, r1, c0.y
mul r1, r1, c17.w
mul r2, r1, r1
mul r3, r2, r1
mul r4, r3, r2
mul r5, r4, r2
mul r6, r5, r2
mad r1, r3, c8.x, r1
mad r1, r4, c8.y, r1
mad r1, r5, c8.z, r1
mad r1, r6, c8.w, r1
; the sway: the tip (v = 0) moves most, the root (v = 1) stays
dp4 r2.x, r1, c11
dp4 r2.y, r1, c12
dp4 r2.z, r1, c13
sub r3.x, c0.z, v7.y
mul r3.x, r3.x, r3.x
mul r3.x, r3.x, v7.z
mov r4, v0
mad r4.xyz, r2.xyz, r3.x, v0.xyz
m4x4 oPos, r4, c4
; brightness flicker: red and blue share one factor, green and alpha the other
dp4 r5.x, r1, c18
mov r6, c19
mul r7, -r6.xzxz, r5.x
add oD0, r7, r6.y
mov oD1, c0.x
; light map coordinate over the ground grid, mirrored into place
sub r7.xy, r4.xy, c21.xy
mul r7.xy, r7.xy, c20.xy
sub r7.x, c0.z, r7.x
mov oT0.xy, r7.xy
mov oT2.xy, r7.xy
mov oT3.xy, v7.xy
; shadow coordinate: the blade in view space through the shadow matrix
m4x4 r9, r4, c23
m4x4 r10, r9, c27
rcp r10.w, r10.w
mul oT1.xy, r10.xy, r10.w
; fog by the distance of the still vertex
m4x4 r8, v0, c23
dp3 r8.x, r8, r8
rsq r8.y, r8.x
mul r8.x, r8.x, r8.y
sub r8.x, c22.y, r8.x
mul oFog.x, r8.x, c22.z
