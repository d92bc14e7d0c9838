-- Pixel shader of the bumped environment effects: the normal map turned by
-- the tangent basis, the eye vector reflected about it into the cube map.

function EnvironmentBumpPS()
  return "<PixelShader>\n<Code><![CDATA[\n"
    .. "ps.1.0\n"
    .. "tex t0\n"
    .. "texm3x3pad t1, t0\n"
    .. "texm3x3pad t2, t0\n"
    .. "texm3x3vspec t3, t0\n"
    .. "mov r0, t3\n"
    .. "]]></Code>\n</PixelShader>\n"
end
