-- Vertex shader of the per-pixel bump effects: the declaration for the
-- material's texture-coordinate sets and the tangent-space light set-up.
-- Constants that the effect binds:
--   c0-c3  world x view x projection (transposed)
--   c4-c7  world (transposed)
--   c8     light position        c9  eye position
--   c10    light range values (attenuation 0, 1, 2, range)
--   c11-c14 inverse world (rows)  c15 (0.5, 0.5, 0.5, 0.25)
--   c18    texture-coordinate offset

function VSRegister(Type, Number, Semantics)
  return string.format('<Register Type="%s" Number="%i" Semantics="%s"/> \n', Type, Number, Semantics)
end

function BumpVS(DiffuseTexCoordIndex, BumpTexCoordIndex, LightTexCoordIndex)
  os.setlocale("windows-1251", "collate")
  local M = math.max(DiffuseTexCoordIndex, BumpTexCoordIndex, LightTexCoordIndex)
  local t = {}
  table.insert(t, '<VertexShader>\n<Declaration>\n<Stream>\n')
  table.insert(t, VSRegister("Float3", 0, "Position"))
  table.insert(t, VSRegister("Float3", 1, "Normal"))
  for i = 0, M do
    table.insert(t, VSRegister("Float2", i + 2, "TexCoord" .. (i + 1)))
  end
  table.insert(t, '</Stream>\n<Stream>\n')
  table.insert(t, VSRegister("Float3", M + 3, "Tangent"))
  table.insert(t, VSRegister("Float3", M + 4, "Binormal"))
  table.insert(t, '</Stream>\n</Declaration>\n<Code><![CDATA[\n')
  local tangent = "v" .. (M + 3)
  local binormal = "v" .. (M + 4)
  table.insert(t, table.concat({
    "vs.1.1",
    "m4x4 r0, v0, c4",
    "m3x3 r1.xyz, " .. tangent .. ", c11",
    "m3x3 r2.xyz, " .. binormal .. ", c11",
    "m3x3 r3.xyz, v1, c11",
    "add r4.xyz, c8, -r0",
    "dp3 r4.w, r4, r4",
    "rsq r5.w, r4.w",
    "mul r4.xyz, r4, r5.w",
    "rcp r6.x, r5.w",
    "dp3 r7.x, r4, r1",
    "dp3 r7.y, r4, r2",
    "dp3 r7.z, r4, r3",
    "add r8.xyz, c9, -r0",
    "dp3 r8.w, r8, r8",
    "rsq r8.w, r8.w",
    "mul r8.xyz, r8, r8.w",
    "dp3 r9.x, r8, r1",
    "dp3 r9.y, r8, r2",
    "dp3 r9.z, r8, r3",
    "add r10.xyz, r7, r9",
    "dp3 r10.w, r10, r10",
    "rsq r10.w, r10.w",
    "mul oT2.xyz, r10, r10.w",
    "mad r11.x, r6.x, c10.z, c10.y",
    "mad r11.x, r11.x, r6.x, c10.x",
    "rcp r11.x, r11.x",
    "slt r11.y, r6.x, c10.w",
    "mul r11.x, r11.x, r11.y",
    "mul oD0, r11.x, c15.w",
    "mad oD1.xyz, r7, c15, c15",
    "add oT0.xy, v" .. (DiffuseTexCoordIndex + 2) .. ", c18",
    "add oT1.xy, v" .. (BumpTexCoordIndex + 2) .. ", c18",
  }, "\n"))
  table.insert(t, "\n")
  if LightTexCoordIndex > -1 then
    table.insert(t, "mov oT3.xy, v" .. (LightTexCoordIndex + 2) .. "\n")
  end
  table.insert(t, "m4x4 oPos, v0, c0\n]]></Code>\n</VertexShader>\n")
  return table.concat(t)
end
