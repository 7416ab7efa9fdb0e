// Parameter file: 45 lines, one payload word per line.
#pragma once
#include <cstdint>

extern char file_name[261];

int SendParaToFile();
int ReadParaFromFile();
