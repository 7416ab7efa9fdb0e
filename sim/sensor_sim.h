// A model of the sensor controller behind the RS-232 line: it takes the bytes the
// program writes, answers every request as the controller does, and hands its
// reply bytes out as they would arrive on the line. Standard C++ only.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace tarvo_sim {

using Set = std::array<uint16_t, 15>;

// One request as the controller received it.
struct Request {
  double time = 0;  // when its last byte arrived
  uint16_t sync = 0;
  uint16_t command = 0;
  uint16_t argument = 0;
  Set words{};
};

struct HardwareInfo {
  uint16_t ccdtype = 1;
  uint16_t ccdmaxpixel = 1024;
  uint16_t ccdresolution = 4096;
  uint16_t pcbtype = 0;
  uint16_t ccdvirtpixel = 4096;
  uint16_t ccdsubpixel = 4096;
  uint16_t ccdpixB = 1;
  uint16_t ccdpixE = 1024;
  uint16_t softversion = 303;
  uint16_t hwtype = 10055;  // 10000 + working range in mm
};

// Faults, each switchable on its own.
struct Faults {
  bool silent = false;          // answer nothing at all
  double lateReply = 0.0;       // extra seconds before every reply
  bool wrongEchoSync = false;   // echo reply starts 0xAA 0x00
  bool wrongHardwareEcho = false;  // hardware reply echoes 0 instead of 10
  int strayBytes = 0;           // this many stray bytes after each reply
  bool shortVideo = false;      // data blocks of 127 bytes
  int extraBytes = 0;           // this many extra bytes appended to each data block
  int dropEvery = 0;            // drop every N-th reply (0 = never)
  int silentAfter = -1;         // go silent after this many replies (-1 = never)
};

class SensorSim {
 public:
  SensorSim();

  // Bytes written by the program; `now` is when the write happened (seconds).
  void Receive(const uint8_t* data, size_t count, double now);
  // Appends to `out` every reply byte whose arrival time is <= now.
  void Collect(double now, std::vector<uint8_t>& out);
  // Arrival time of the next reply byte still held back, or -1 when none.
  double NextDue() const;
  // Forgets a partly received request (the line was re-opened).
  void ResetLine();

  // Line timing: pace both directions at 19200 baud 8N1 (10 bit times per byte).
  void SetPacing(bool on) { paced_ = on; }
  bool Pacing() const { return paced_; }
  void SetAnswerDelay(double seconds) { answerDelay_ = seconds; }
  static constexpr double kByteTime = 10.0 / 19200.0;

  Faults& faults() { return faults_; }
  HardwareInfo& hardware() { return hw_; }
  // Firmware version text (at most 36 characters for board type 0, 72 otherwise).
  void SetVersionText(const std::string& text) { version_ = text; }
  const std::string& VersionText() const { return version_; }

  // Memory of the controller.
  std::array<Set, 3> ram{};
  std::array<Set, 3> eeprom{};
  std::array<uint16_t, 2048> xflash{};  // pages 2..9, 256 words each
  int xflashClears = 0;

  // Physical model: edge positions in virtual pixels, peak widths, noise.
  double edgeA = 1000.0, edgeB = 1200.0;
  bool frozen = false;  // edges stand still, no noise (exact values for tests)
  uint16_t anaMax = 0, anaMin = 0xFFFF;
  // Current measurement words as the next measurement reply would carry them.
  std::array<uint16_t, 16> MeasurementWords();

  // Every request received, oldest first.
  const std::vector<Request>& requests() const { return requests_; }
  void ClearRequests() { requests_.clear(); }
  int RepliesSent() const { return replies_; }

 private:
  void Handle(const Request& req, double now);
  void Send(const std::vector<uint8_t>& bytes, double readyAt);
  std::vector<uint8_t> Frame(uint16_t sync, uint16_t command, uint16_t arg,
                             const uint16_t* words, int nwords);
  void Step(double now);  // moves the physical model to time `now`

  bool paced_ = false;
  double answerDelay_ = 0.0;
  Faults faults_;
  HardwareInfo hw_;
  std::string version_ = "TARVO-LT-MS V3.03";
  std::vector<uint8_t> partial_;
  double partialStart_ = 0;
  struct Pending { double at; uint8_t byte; };
  std::deque<Pending> out_;
  double lineFreeAt_ = 0;  // when the controller's transmitter is free again
  std::vector<Request> requests_;
  int replies_ = 0;
  int answered_ = 0;
  double lastStep_ = 0;
  std::mt19937 rng_{12345};
};

}  // namespace tarvo_sim
