// Line check and device identification.
#pragma once
#include <cstdint>

extern uint16_t ccdtype, ccdmaxpixel, ccdresolution, pcbtype, ccdvirtpixel, ccdsubpixel, ccdpixB,
    ccdpixE, softversion, hwtype, adcmax;
extern double xArray8[128];
extern uint16_t YMAXADC;
extern char szVersion[73];

int CheckComLine(int port);
int GetHARDWAREInfo();
int GetVERSIONInfo();

// The four lines of the sensor description for a hardware reply.
struct SensorDescription {
  const char* line[4];
};
SensorDescription DescribeSensor(uint16_t ccdtype, uint16_t hwtype);
