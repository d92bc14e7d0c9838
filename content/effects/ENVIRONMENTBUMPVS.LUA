-- Vertex shader of the bumped environment effects: the tangent basis as a
-- 3x3 matrix in oT1-oT3 for texm3x3vspec, the eye vector in their w.
--   c0-c3 world x view x projection (transposed)   c4 eye position
--   c5-c8 world (transposed)   c9-c11 world rotation (rows)
--   c30 (unused, distance bias, bump scale, unused)

function EnvironmentBumpVS(bIsFrensel)
  local code = {
    "vs.1.0",
    "m4x4 oPos, v0, c0",
    "mov oT0.xy, v2",
  }
  if bIsFrensel then
    table.insert(code, "mov r1.xyz, v5")
    table.insert(code, "mov r2.xyz, v6")
    table.insert(code, "mov r3.xyz, v1")
  else
    table.insert(code, "m3x3 r1.xyz, v5, c9")
    table.insert(code, "m3x3 r2.xyz, v6, c9")
    table.insert(code, "m3x3 r3.xyz, v1, c9")
  end
  for _, line in ipairs({
    "m4x4 r4, v0, c5",
    "add r5.xyz, c4, -r4",
    "dp3 r5.w, r5, r5",
    "rsq r8.w, r5.w",
    "mul r8.xyz, r5, r8.w",
    "add r6.w, r5.w, c30.y",
    "rsq r6.w, r6.w",
    "rcp r6.w, r6.w",
    "mul r6.w, r6.w, c30.z",
  }) do table.insert(code, line) end
  if bIsFrensel then
    table.insert(code, "rcp r7.w, r6.w")
    table.insert(code, "mul r1.xyz, r1, r7.w")
    table.insert(code, "mul r2.xyz, r2, r7.w")
  else
    table.insert(code, "mul r3.xyz, r3, r6.w")
  end
  local rows = { { "oT1", "x" }, { "oT2", "z" }, { "oT3", "y" } }
  for _, row in ipairs(rows) do
    local o, c = row[1], row[2]
    table.insert(code, "mov " .. o .. ".x, r1." .. c)
    table.insert(code, "mov " .. o .. ".y, r2." .. c)
    table.insert(code, "mov " .. o .. ".z, r3." .. c)
    table.insert(code, "mov " .. o .. ".w, r8." .. c)
  end
  return "<VertexShader>\n<Declaration>\n<Stream>\n"
    .. '<Register Type="Float3" Number="0" Semantics="Position"/>\n'
    .. '<Register Type="Float3" Number="1" Semantics="Normal"/>\n'
    .. '<Register Type="Float2" Number="2" Semantics="TexCoord1"/>\n'
    .. "</Stream>\n<Stream>\n"
    .. '<Register Type="Float3" Number="5" Semantics="Tangent"/>\n'
    .. '<Register Type="Float3" Number="6" Semantics="Binormal"/>\n'
    .. "</Stream>\n</Declaration>\n<Code><![CDATA[\n"
    .. table.concat(code, "\n") .. "\n]]></Code>\n</VertexShader>\n"
end
