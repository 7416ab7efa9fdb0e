// X-FLASH linearisation upload.
#pragma once
#include <cstdint>

extern int16_t linArray[2048];

int ReadLinDataFromFile(int16_t* table);
int ClearXFLASH();
void WriteXFLASH(uint16_t offset, uint16_t page, const int16_t* table);
int WriteLinData2048ToFile();

int CC_BTNWriteXFMA(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
int CC_BTNWriteXFSL(int panel, int control, int event, void* callbackData, int eventData1,
                    int eventData2);
