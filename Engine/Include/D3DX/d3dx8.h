#pragma once
// Our D3DX 8 layer: everything in one include.
#include "d3dx8math.h"
#include "d3dx8err.h"
#include "d3dx8tex.h"
#include "d3dx8mesh.h"

#if __has_include("d3dx8core.h")
#include "d3dx8core.h"
#endif
#if __has_include("d3dx8shader.h")
#include "d3dx8shader.h"
#endif
