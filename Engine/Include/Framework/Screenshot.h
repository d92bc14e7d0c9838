#pragma once
// Saves the device's front buffer (the whole display of its adapter) as a
// 24-bit BMP; failures throw std::invalid_argument or std::runtime_error.
#include <d3d8.h>

#include <cstdio>
#include <string>

void Screenshot(IDirect3DDevice8* pDevice, const char* fileName, const char* prefix);

// The first free "<pictures>\<prefix> Screenshot NN.bmp".
std::string GetScreenshotFileName(const char* prefix);

// Writes a bottom-up 24-bit BMP. `getRow(y, out)` fills `width` pixels of the
// image row y (0 is the top row) as blue, green, red bytes. False on a short write.
typedef void (*BmpRowSource)(void* context, int y, unsigned char* out);
bool WriteBmp24(FILE* pFile, int width, int height, BmpRowSource getRow, void* context);
