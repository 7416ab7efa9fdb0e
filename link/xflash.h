// X-FLASH linearisation upload.
#pragma once
#include <cstddef>
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

// ---- Pieces of the upload ------------------------------------------------
constexpr int kLinValues = 2048;
constexpr int kXFlashFrames = 256;  // 8 pages x 32 frames of 8 words

// Results of reading a linearisation file (ReadLinDataFromFile returns them too).
constexpr int kLinOk = 0;
constexpr int kLinCancelled = 1;
constexpr int kLinUnreadable = -1;
constexpr int kLinTooFew = -2;
constexpr int kLinOutOfRange = -3;
constexpr int kLinNotANumber = -4;

struct LinParseResult {
  int error;  // kLinOk or one of the refusals above
  int count;  // values read
  int line;   // line (from 1) of the offending text
};
// Reads the first 2048 integers of a text (separated by blanks, tabs, line ends,
// commas or semicolons; anything after the 2048th value is ignored) into table.
// On a refusal, table may be partly written: parse into a scratch table.
LinParseResult ParseLinData(const char* text, size_t length, int16_t* table);
// Status-line text for a refused file.
void LinRefusalText(const LinParseResult& r, char* text, size_t size);

// Bytes 0..23 of a write frame (command 102); bytes 24..35 are left alone.
void BuildXFlashWriteFrame(unsigned char* frame, uint16_t offset, uint16_t page,
                           const int16_t* words8);

// Bookkeeping of one upload: frames without a reply in time, replies whose echo
// is not the frame sent, and whether the clear frame was answered.
struct XFlashUploadState {
  int framesSent;
  int unanswered;
  int wrongEcho;
  int clearUnanswered;
};
extern XFlashUploadState xflashUpload;
// 1 while an upload is running (it always runs to its end), else 0.
int XFLASHUploadRunning();
// Starts the bookkeeping of a new upload.
void BeginXFLASHUpload();
// Whether every frame of the upload so far was answered with its own echo.
bool XFLASHUploadConfirmed();
// The closing text of an upload that was not confirmed.
void XFLASHIncompleteText(char* text, size_t size);
