// The public identifier of ID3DXBuffer, in an object of its own (see
// D3DXBuffer.cpp).
#include "d3dx8core.h"

const IID IID_ID3DXBuffer = {0x932e6a7e, 0xc68e, 0x45dd, {0xa7, 0xbf, 0x53, 0xd1, 0x9c, 0x86, 0xdb, 0x1f}};
