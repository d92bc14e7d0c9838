-- Pixel shader of the per-pixel bump effects.
--   t0 diffuse, t1 normal map, t2 half vector through the normalisation
--   cube map, t3 light map (with bLight); v0 attenuation, v1 light vector.
--   c0 ambient, c1 diffuse, c2 specular colour.
-- The specular power builds in the alpha pipe beside the colour work.

local SpecularSteps = {
  [8] = { "mul_x4_sat", "mul_x4_sat", "mul_x4_sat" },
  [7] = { "mul", "mul_x4_sat", "mul_x4_sat" },
  [6] = { "mul", "mul", "mul_x4_sat" },
  [5] = { "mul", "mul", "mul" },
  [4] = { "mul", "mul" },
}

function BumpPS(SpecularPow, bLight)
  local light, scale
  if bLight then light, scale = "t3", "mul_x2" else light, scale = "v0", "mul_x4" end
  local alpha = { "mul r1.a, r1.a, r1.a", "mul r1.a, r1.a, r1.a" }
  for _, op in ipairs(SpecularSteps[SpecularPow] or { "mul" }) do
    table.insert(alpha, op .. " r1.a, r1.a, r1.a")
  end
  local colour = {
    "mad r0.rgb, c1, r0, c0",
    "mul r0.rgb, r0, t0",
    scale .. " r0.rgb, r0, " .. light,
    scale .. " r1.rgb, c2, " .. light,
  }
  local code = { "ps.1.1", "tex t0", "tex t1", "tex t2" }
  if bLight then table.insert(code, "tex t3") end
  table.insert(code, "dp3_sat r0, t1_bx2, v1_bx2")
  table.insert(code, "dp3_sat r1, t1_bx2, t2_bx2")
  for i = 1, math.max(#alpha, #colour) do
    if colour[i] and alpha[i] then
      table.insert(code, colour[i] .. "\n+" .. alpha[i])
    else
      table.insert(code, colour[i] or alpha[i])
    end
  end
  local alphaOut
  if bLight then alphaOut = "+mov_x4 r0.a, v0.a" else alphaOut = "+mov r0.a, t0.a" end
  table.insert(code, "mad r0.rgb, r1, r1.a, r0\n" .. alphaOut)
  return "<PixelShader>\n<Code><![CDATA[\n" .. table.concat(code, "\n") .. "\n]]></Code>\n</PixelShader>\n"
end
