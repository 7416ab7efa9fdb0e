// X-FLASH linearisation upload.
#include "link/xflash.h"

int16_t linArray[2048];

int ReadLinDataFromFile(int16_t*) { return 1; }
int ClearXFLASH() { return 0; }
void WriteXFLASH(uint16_t, uint16_t, const int16_t*) {}
int WriteLinData2048ToFile() { return -1; }

int CC_BTNWriteXFMA(int, int, int, void*, int, int) { return 0; }
int CC_BTNWriteXFSL(int, int, int, void*, int, int) { return 0; }
